// Strict conversion for streaming callers: a slice of input is validated at memory speed,
// then its well-formed part goes through the bulk kernels of the drivers, in batches of
// code points that stay in the first-level cache; ASCII between UTF-8 and UTF-16 skips
// the batch. Validation never runs ahead by more than a slice, so an error late in a
// large buffer costs no conversion work twice, and the output before it is complete.
#include <immintrin.h>

#include <cstring>

#include "internal/converters.h"
#include "internal/cpu.h"
#include "internal/cvtkernels.h"
#include "internal/target.h"
#include "internal/utf_strict.h"
#include "internal/utf_units.h"

XR_TARGET_BEGIN(XR_AVX2_FEATURES)
#include "internal/utf8_decode256.h"
#include "internal/utf8_encode256.h"
XR_TARGET_END
XR_TARGET_BEGIN(XR_AVX512_FEATURES)
#include "internal/utf8_encode512.h"
XR_TARGET_END

namespace xr::strict {
namespace {

using cvt::Kernel;
using cvt::Progress;
using units::Order;

constexpr std::size_t kSlice = 16 * 1024; // input bytes validated ahead of conversion
constexpr std::size_t kBatch = 512;       // code points per trip through the UTF-32 buffer

constexpr Order orderOf(Encoding e) {
    return e == Encoding::Utf16Be || e == Encoding::Utf32Be ? Order::Big : Order::Little;
}
constexpr bool isUtf16(Encoding e) {
    return e == Encoding::Utf16Le || e == Encoding::Utf16Be;
}
constexpr bool isUtf32(Encoding e) {
    return e == Encoding::Utf32Le || e == Encoding::Utf32Be;
}

cvt::Source sourceOf(Encoding e) {
    constexpr cvt::Source kSources[] = {cvt::Source::Utf8, cvt::Source::Utf16Little,
                                        cvt::Source::Utf16Big, cvt::Source::Utf32Little,
                                        cvt::Source::Utf32Big};
    return kSources[static_cast<int>(e)];
}
cvt::Target targetOf(Encoding e) {
    constexpr cvt::Target kTargets[] = {cvt::Target::Utf8, cvt::Target::Utf16Little,
                                        cvt::Target::Utf16Big, cvt::Target::Utf32Little,
                                        cvt::Target::Utf32Big};
    return kTargets[static_cast<int>(e)];
}

unsigned sizeIn(Encoding e, std::uint32_t cp) {
    if (isUtf32(e)) return 4;
    if (isUtf16(e)) return cp > 0xFFFF ? 4 : 2;
    return cp < 0x80 ? 1 : cp < 0x800 ? 2 : cp < 0x10000 ? 3 : 4;
}

// One character of well-formed input: its value and its length in bytes.
struct Char {
    std::uint32_t cp;
    unsigned len;
};
Char decodeOne(Encoding e, const std::uint8_t* p) {
    if (isUtf32(e))
        return {orderOf(e) == Order::Big ? units::load32<Order::Big>(p)
                                         : units::load32<Order::Little>(p),
                4};
    if (isUtf16(e)) {
        const bool big = orderOf(e) == Order::Big;
        const auto unit = [&](unsigned at) {
            return big ? units::load16<Order::Big>(p + at) : units::load16<Order::Little>(p + at);
        };
        const std::uint32_t u = unit(0);
        if ((u & 0xFC00) != 0xD800) return {u, 2};
        return {0x10000 + ((u & 0x3FF) << 10 | (unit(2) & 0x3FF)), 4};
    }
    const cvt::Utf8Decoded d = cvt::decodeUtf8(p, 4);
    return {d.cp, static_cast<unsigned>(d.used)};
}

// Writes cp when it fits in room bytes; returns its length, or 0 when it does not fit.
unsigned encodeOne(Encoding e, std::uint32_t cp, std::uint8_t* d, std::size_t room) {
    XRMemSize used = 0;
    XRStatus rc;
    switch (e) {
    case Encoding::Utf8:
        rc = cvt::utf8Write(cp, d, room, &used);
        break;
    case Encoding::Utf16Le:
        rc = cvt::utf16Write<Order::Little>(cp, d, room, &used);
        break;
    case Encoding::Utf16Be:
        rc = cvt::utf16Write<Order::Big>(cp, d, room, &used);
        break;
    case Encoding::Utf32Le:
        rc = cvt::utf32Write<Order::Little>(cp, d, room, &used);
        break;
    default:
        rc = cvt::utf32Write<Order::Big>(cp, d, room, &used);
        break;
    }
    return rc ? 0 : static_cast<unsigned>(used);
}

struct Plan {
    Encoding from, to;
    bool avx512;            // the direct UTF-8 <-> UTF-16 kernels may run
    bool avx2;              // the direct AVX2 UTF-8 <-> UTF-16 kernels may run
    cvt::ToKernel decode;   // well-formed input to little-endian UTF-32, or null
    cvt::FromKernel encode; // UTF-32 in the input's order (little-endian unless the input
                            // is big-endian UTF-32) to the output, or null
};

// Encodes `units` UTF-32 units of the given order; in = units taken (fewer only when the
// next one did not fit), out = bytes written.
Progress encodeUnits(const Plan& plan, bool bigIn, const std::uint8_t* src, std::size_t units,
                     std::uint8_t* dst, std::size_t cap) {
    std::size_t k = 0, out = 0;
    while (k < units) {
        if (plan.encode) {
            const Progress p = plan.encode(src + 4 * k, units - k, dst + out, cap - out);
            k += p.in;
            out += p.out;
            if (k == units) break;
        }
        const std::uint32_t cp = bigIn ? units::load32<Order::Big>(src + 4 * k)
                                       : units::load32<Order::Little>(src + 4 * k);
        const unsigned len = encodeOne(plan.to, cp, dst + out, cap - out);
        if (len == 0) break;
        out += len;
        ++k;
    }
    return {k, out};
}

// ASCII bytes into UTF-16 units, 32 at a time, while both sides have room.
std::size_t widenAscii(Encoding to, const std::uint8_t* src, std::size_t n, std::uint8_t* dst,
                       std::size_t cap) {
    std::size_t i = 0;
    const __m128i zero = _mm_setzero_si128();
    const bool big = to == Encoding::Utf16Be;
    for (; i + 32 <= n && 2 * (i + 32) <= cap; i += 32) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i + 16));
        if (_mm_movemask_epi8(_mm_or_si128(a, b))) break;
        auto* d = reinterpret_cast<__m128i*>(dst + 2 * i);
        if (big) {
            _mm_storeu_si128(d, _mm_unpacklo_epi8(zero, a));
            _mm_storeu_si128(d + 1, _mm_unpackhi_epi8(zero, a));
            _mm_storeu_si128(d + 2, _mm_unpacklo_epi8(zero, b));
            _mm_storeu_si128(d + 3, _mm_unpackhi_epi8(zero, b));
        } else {
            _mm_storeu_si128(d, _mm_unpacklo_epi8(a, zero));
            _mm_storeu_si128(d + 1, _mm_unpackhi_epi8(a, zero));
            _mm_storeu_si128(d + 2, _mm_unpacklo_epi8(b, zero));
            _mm_storeu_si128(d + 3, _mm_unpackhi_epi8(b, zero));
        }
    }
    return i;
}

// UTF-16 units below 0x80 into ASCII bytes, 16 units at a time; the high byte of a unit
// is at offset H.
template <unsigned H>
std::size_t narrowAscii(const std::uint8_t* src, std::size_t n, std::uint8_t* dst,
                        std::size_t cap) {
    std::size_t i = 0;
    const __m128i high = H ? _mm_set1_epi16(static_cast<short>(0xFF80)) : _mm_set1_epi16(0x80FF);
    const __m128i zero = _mm_setzero_si128();
    for (; i + 32 <= n && (i + 32) / 2 <= cap; i += 32) {
        __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
        __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i + 16));
        const __m128i wide = _mm_and_si128(_mm_or_si128(a, b), high);
        if (_mm_movemask_epi8(_mm_cmpeq_epi16(wide, zero)) != 0xFFFF) break;
        if (!H) a = _mm_srli_epi16(a, 8), b = _mm_srli_epi16(b, 8);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i / 2), _mm_packus_epi16(a, b));
    }
    return i;
}

} // namespace

// Direct kernels between well-formed UTF-8 and UTF-16 for AVX-512 with VBMI2. Each step
// decodes a character at every position of its window that holds one's first byte (or
// unit) and packs the results with a compress; a character that starts in one window and
// ends in the next is decoded whole by the first, and the second skips its tail bytes
// because they start nothing. Every step stores whole 64-byte vectors, so the loops keep
// room to spare; they stop at a character boundary.
XR_TARGET_BEGIN(XR_AVX512_FEATURES)
namespace avx512 {
namespace {
using V = __m512i;

XR_INLINE V splat16(std::uint16_t v) {
    return _mm512_set1_epi16(static_cast<short>(v));
}
XR_INLINE V splat32(std::uint32_t v) {
    return _mm512_set1_epi32(static_cast<int>(v));
}
XR_INLINE V swapUnits(V v) {
    const V swap = _mm512_set_epi64(0x0E0F0C0D0A0B0809, 0x0607040502030001, 0x0E0F0C0D0A0B0809,
                                    0x0607040502030001, 0x0E0F0C0D0A0B0809, 0x0607040502030001,
                                    0x0E0F0C0D0A0B0809, 0x0607040502030001);
    return _mm512_shuffle_epi8(v, swap);
}
XR_INLINE V widen8to16(const std::uint8_t* p) {
    return _mm512_cvtepu8_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)));
}
XR_INLINE V widen8to32(const std::uint8_t* p) {
    return _mm512_cvtepu8_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
}

// 32 positions of UTF-8 without four-byte characters, each as one UTF-16 unit.
template <bool Big> XR_INLINE unsigned bmpFromUtf8(const std::uint8_t* p, std::uint8_t* d) {
    const V b0 = widen8to16(p), b1 = widen8to16(p + 1), b2 = widen8to16(p + 2);
    const V low6 = splat16(0x3F);
    const __mmask32 lead =
        _mm512_cmpneq_epi16_mask(_mm512_and_si512(b0, splat16(0xC0)), splat16(0x80));
    // a = b0 << 6 | b1 & 3F: the two-byte value under a mask, and the top of a three-byte one.
    const V a = _mm512_ternarylogic_epi32(_mm512_slli_epi16(b0, 6), b1, low6, 0xF8);
    V cp = _mm512_mask_mov_epi16(b0, _mm512_cmpge_epu16_mask(b0, splat16(0xC0)),
                                 _mm512_and_si512(a, splat16(0x7FF)));
    cp = _mm512_mask_mov_epi16(cp, _mm512_cmpge_epu16_mask(b0, splat16(0xE0)),
                               _mm512_ternarylogic_epi32(_mm512_slli_epi16(a, 6), b2, low6, 0xF8));
    if (Big) cp = swapUnits(cp);
    _mm512_storeu_si512(d, _mm512_maskz_compress_epi16(lead, cp));
    return 2 * static_cast<unsigned>(__builtin_popcount(lead));
}

// 16 positions of any UTF-8, a surrogate pair for each four-byte character.
template <bool Big> XR_INLINE unsigned anyFromUtf8(const std::uint8_t* p, std::uint8_t* d) {
    const V b0 = widen8to32(p), low6 = splat32(0x3F);
    const V t1 = _mm512_and_si512(widen8to32(p + 1), low6);
    const V t2 = _mm512_and_si512(widen8to32(p + 2), low6);
    const V t3 = _mm512_and_si512(widen8to32(p + 3), low6);
    const __mmask16 lead =
        _mm512_cmpneq_epi32_mask(_mm512_and_si512(b0, splat32(0xC0)), splat32(0x80));
    const V tail2 = _mm512_or_si512(_mm512_slli_epi32(t1, 6), t2);
    V cp = b0;
    cp = _mm512_mask_mov_epi32(
        cp, _mm512_cmpge_epu32_mask(b0, splat32(0xC0)),
        _mm512_or_si512(_mm512_slli_epi32(_mm512_and_si512(b0, splat32(0x1F)), 6), t1));
    cp = _mm512_mask_mov_epi32(
        cp, _mm512_cmpge_epu32_mask(b0, splat32(0xE0)),
        _mm512_or_si512(_mm512_slli_epi32(_mm512_and_si512(b0, splat32(0x0F)), 12), tail2));
    const __mmask16 four = _mm512_cmpge_epu32_mask(b0, splat32(0xF0));
    cp = _mm512_mask_mov_epi32(
        cp, four,
        _mm512_or_si512(_mm512_slli_epi32(_mm512_and_si512(b0, splat32(0x07)), 18),
                        _mm512_or_si512(_mm512_slli_epi32(tail2, 6), t3)));
    // A pair as one 32-bit lane: the first unit in the low half.
    const V v = _mm512_sub_epi32(cp, splat32(0x10000));
    const V pair = _mm512_or_si512(_mm512_add_epi32(_mm512_srli_epi32(v, 10), splat32(0xD800)),
                                   _mm512_slli_epi32(_mm512_and_si512(v, splat32(0x3FF)), 16));
    V units = _mm512_mask_mov_epi32(_mm512_or_si512(pair, splat32(0xDC000000)), ~four, cp);
    if (Big) units = swapUnits(units);
    const std::uint32_t keep = _pdep_u32(lead, 0x55555555u) | _pdep_u32(lead & four, 0xAAAAAAAAu);
    _mm512_storeu_si512(d, _mm512_maskz_compress_epi16(keep, units));
    return 2 * static_cast<unsigned>(__builtin_popcount(keep));
}

template <bool Big>
Progress utf8ToUtf16(const std::uint8_t* src, std::size_t n, std::uint8_t* dst, std::size_t cap) {
    std::size_t in = 0, out = 0;
    // A window reads up to 3 bytes past its 64 and writes at most 134 bytes of output, the
    // last 64-byte store reaching no further than 192 bytes.
    while (in + 67 <= n && out + 192 <= cap) {
        const V block = _mm512_loadu_si512(src + in);
        if (!_mm512_movepi8_mask(block)) {
            V lo = _mm512_cvtepu8_epi16(_mm512_castsi512_si256(block));
            V hi = _mm512_cvtepu8_epi16(_mm512_extracti64x4_epi64(block, 1));
            if (Big) lo = swapUnits(lo), hi = swapUnits(hi);
            _mm512_storeu_si512(dst + out, lo);
            _mm512_storeu_si512(dst + out + 64, hi);
            in += 64, out += 128;
            continue;
        }
        for (unsigned half = 0; half < 64; half += 32) {
            const std::uint8_t* p = src + in + half;
            if (_mm512_cmpge_epu16_mask(widen8to16(p), splat16(0xF0)) == 0) {
                out += bmpFromUtf8<Big>(p, dst + out);
            } else {
                out += anyFromUtf8<Big>(p, dst + out);
                out += anyFromUtf8<Big>(p + 16, dst + out);
            }
        }
        in += 64;
    }
    // The bytes at `in` that end a character already written.
    while (in < n && (src[in] & 0xC0) == 0x80)
        ++in;
    return {in, out};
}

// 16 units of any UTF-16 (u, and next = the units one place on) as one to four bytes.
XR_INLINE unsigned anyFromUtf16(V u, V next, std::uint8_t* d) {
    const V low6 = splat32(0x3F), cont = splat32(0x80);
    const __mmask16 high =
        _mm512_cmpeq_epi32_mask(_mm512_and_si512(u, splat32(0xFC00)), splat32(0xD800));
    const __mmask16 low =
        _mm512_cmpeq_epi32_mask(_mm512_and_si512(u, splat32(0xFC00)), splat32(0xDC00));
    const __mmask16 two = _mm512_cmpge_epu32_mask(u, splat32(0x80));
    const __mmask16 three = _mm512_cmpge_epu32_mask(u, splat32(0x800)) & ~high;
    const V cp = _mm512_mask_add_epi32(
        u, high,
        _mm512_or_si512(_mm512_slli_epi32(_mm512_and_si512(u, splat32(0x3FF)), 10),
                        _mm512_and_si512(next, splat32(0x3FF))),
        splat32(0x10000));
    const V c0 = _mm512_and_si512(cp, low6);
    const V c1 = _mm512_and_si512(_mm512_srli_epi32(cp, 6), low6);
    const V c2 = _mm512_and_si512(_mm512_srli_epi32(cp, 12), low6);
    // Lanes of bytes in order: lead first.
    V bytes = cp;
    bytes = _mm512_mask_mov_epi32(
        bytes, two,
        _mm512_or_si512(_mm512_or_si512(_mm512_srli_epi32(cp, 6), splat32(0xC0)),
                        _mm512_slli_epi32(_mm512_or_si512(c0, cont), 8)));
    bytes = _mm512_mask_mov_epi32(
        bytes, three,
        _mm512_or_si512(_mm512_or_si512(_mm512_srli_epi32(cp, 12), splat32(0xE0)),
                        _mm512_or_si512(_mm512_slli_epi32(_mm512_or_si512(c1, cont), 8),
                                        _mm512_slli_epi32(_mm512_or_si512(c0, cont), 16))));
    bytes = _mm512_mask_mov_epi32(
        bytes, high,
        _mm512_or_si512(
            _mm512_or_si512(_mm512_srli_epi32(cp, 18), splat32(0xF0)),
            _mm512_or_si512(_mm512_slli_epi32(_mm512_or_si512(c2, cont), 8),
                            _mm512_or_si512(_mm512_slli_epi32(_mm512_or_si512(c1, cont), 16),
                                            _mm512_slli_epi32(_mm512_or_si512(c0, cont), 24)))));
    const std::uint32_t starts = static_cast<std::uint16_t>(~low);
    const std::uint64_t keep = _pdep_u64(starts, 0x1111111111111111u) |
                               _pdep_u64(starts & two, 0x2222222222222222u) |
                               _pdep_u64((starts & (three | high)), 0x4444444444444444u) |
                               _pdep_u64(high, 0x8888888888888888u);
    _mm512_storeu_si512(d, _mm512_maskz_compress_epi8(keep, bytes));
    return static_cast<unsigned>(__builtin_popcountll(keep));
}

template <bool Big>
Progress utf16ToUtf8(const std::uint8_t* src, std::size_t n, std::uint8_t* dst, std::size_t cap) {
    std::size_t in = 0, out = 0;
    const auto units = [&](std::size_t at) {
        const V v = _mm512_loadu_si512(src + at);
        return Big ? swapUnits(v) : v;
    };
    // A window reads one unit past its 32 and writes at most 99 bytes of output, the last
    // 64-byte store reaching no further than 163 bytes.
    while (in + 66 <= n && out + 192 <= cap) {
        const V u = units(in);
        const __mmask32 wide = _mm512_cmpge_epu16_mask(u, splat16(0x80));
        if (!wide) {
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + out), _mm512_cvtepi16_epi8(u));
            in += 64, out += 32;
        } else if (!_mm512_cmpeq_epi16_mask(_mm512_and_si512(u, splat16(0xF800)),
                                            splat16(0xD800))) {
            out += enc512::bmpLanes(u, dst + out);
            in += 64;
        } else {
            const V next = units(in + 2);
            out += anyFromUtf16(_mm512_cvtepu16_epi32(_mm512_castsi512_si256(u)),
                                _mm512_cvtepu16_epi32(_mm512_castsi512_si256(next)), dst + out);
            out +=
                anyFromUtf16(_mm512_cvtepu16_epi32(_mm512_extracti64x4_epi64(u, 1)),
                             _mm512_cvtepu16_epi32(_mm512_extracti64x4_epi64(next, 1)), dst + out);
            in += 64;
        }
    }
    // A second half of a pair at `in` was written with its first.
    if (in + 2 <= n && (src[in + (Big ? 0 : 1)] & 0xFC) == 0xDC) in += 2;
    return {in, out};
}

} // namespace
} // namespace avx512
XR_TARGET_END

// Well-formed UTF-8 into UTF-16 with AVX2, while blocks hold no four-byte character;
// stores up to 16 bytes past the output it reports.
XR_TARGET_BEGIN(XR_AVX2_FEATURES)
namespace avx2 {
namespace {
template <bool Big>
Progress utf8ToUtf16(const std::uint8_t* src, std::size_t n, std::uint8_t* dst, std::size_t cap) {
    std::size_t in = 0, out = 0;
    dec256::wellFormedToUtf16<Big>(src, n, dst, cap, in, out);
    return {in, out};
}

// The ASCII bytes at the start of src[0..n) into UTF-16 units, 64 at a time, while both
// sides have room; any UTF-8 input may come here, as ASCII needs no validation.
template <bool Big>
std::size_t widenAscii(const std::uint8_t* src, std::size_t n, std::uint8_t* dst,
                       std::size_t cap) {
    std::size_t i = 0;
    const auto half = [src](std::size_t at) {
        return _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + at));
    };
    for (; i + 64 <= n && 2 * (i + 64) <= cap; i += 64) {
        const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + i));
        const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + i + 32));
        if (_mm256_movemask_epi8(_mm256_or_si256(a, b))) break;
        for (unsigned q = 0; q < 4; ++q) {
            __m256i u = _mm256_cvtepu8_epi16(half(i + 16 * q));
            if (Big) u = _mm256_slli_epi16(u, 8);
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + 2 * i + 32 * q), u);
        }
    }
    return i;
}

// Direct kernel from well-formed UTF-16 to UTF-8 for AVX2, in blocks of 64 units: all four
// quarters of a block go by the narrowest path that fits the whole block, so that text
// mixing ASCII with other characters branches seldom. A block with a surrogate ends the
// run (the batches take it), so the run always ends at a character boundary.
using Y = __m256i;

XR_INLINE Y load(const std::uint8_t* p) {
    return _mm256_loadu_si256(reinterpret_cast<const Y*>(p));
}
template <bool Big> XR_INLINE Y unitsAt(const std::uint8_t* p) {
    const Y v = load(p);
    return Big ? _mm256_or_si256(_mm256_slli_epi16(v, 8), _mm256_srli_epi16(v, 8)) : v;
}
XR_INLINE bool allBelow(Y any, std::uint16_t limit) {
    return _mm256_testz_si256(any, enc256::set16(static_cast<std::uint16_t>(~(limit - 1))));
}
XR_INLINE Y surrogates(Y u) {
    return _mm256_cmpeq_epi16(_mm256_and_si256(u, enc256::set16(0xF800)), enc256::set16(0xD800));
}

// Pairs: the input is well-formed; without, it is not yet validated and the run stops at
// the first block with a surrogate, so that it only takes units that are characters.
template <bool Big, bool Pairs>
Progress utf16ToUtf8(const std::uint8_t* src, std::size_t n, std::uint8_t* dst, std::size_t cap) {
    std::size_t in = 0, out = 0;
    // A block writes at most 192 bytes, its stores reaching no further than 196.
    while (n - in >= 128 && cap - out >= 196) {
        const std::uint8_t* p = src + in;
        const Y a = unitsAt<Big>(p), b = unitsAt<Big>(p + 32);
        const Y c = unitsAt<Big>(p + 64), d = unitsAt<Big>(p + 96);
        const Y any = _mm256_or_si256(_mm256_or_si256(a, b), _mm256_or_si256(c, d));
        if (allBelow(any, 0x80)) {
            _mm256_storeu_si256(reinterpret_cast<Y*>(dst + out),
                                _mm256_permute4x64_epi64(_mm256_packus_epi16(a, b), 0xD8));
            _mm256_storeu_si256(reinterpret_cast<Y*>(dst + out + 32),
                                _mm256_permute4x64_epi64(_mm256_packus_epi16(c, d), 0xD8));
            in += 128, out += 64;
            continue;
        }
        if (allBelow(any, 0x800)) {
            for (unsigned q = 0; q < 128; q += 32)
                out += enc256::twoByteLanes(unitsAt<Big>(p + q), dst + out);
            in += 128;
            continue;
        }
        // Groups of four units in the order 0, 2 | 1, 3.
        if (_mm256_testz_si256(_mm256_or_si256(_mm256_or_si256(surrogates(a), surrogates(b)),
                                               _mm256_or_si256(surrogates(c), surrogates(d))),
                               enc256::set16(0xFFFF))) {
            out += enc256::threeByteLanes(_mm256_permute4x64_epi64(a, 0xD8), dst + out);
            out += enc256::threeByteLanes(_mm256_permute4x64_epi64(b, 0xD8), dst + out);
            out += enc256::threeByteLanes(_mm256_permute4x64_epi64(c, 0xD8), dst + out);
            out += enc256::threeByteLanes(_mm256_permute4x64_epi64(d, 0xD8), dst + out);
        } else if (!Pairs) {
            break;
        } else {
            // Each unit beside the one before it; the block before ended at a character
            // boundary unless its last unit opens a pair, which this block closes.
            Y prior = in ? unitsAt<Big>(p - 32) : _mm256_setzero_si256();
            for (const Y v : {a, b, c, d}) {
                const Y before =
                    _mm256_alignr_epi8(v, _mm256_permute2x128_si256(prior, v, 0x21), 14);
                out += enc256::slotLanes<true>(_mm256_permute4x64_epi64(v, 0xD8),
                                               _mm256_permute4x64_epi64(before, 0xD8), dst + out);
                prior = v;
            }
        }
        in += 128;
    }
    // A first half of a pair at the end gave two bytes of four: leave them as scratch.
    if (Pairs && in != 0 && (src[in - 2 + (Big ? 0 : 1)] & 0xFC) == 0xD8) in -= 2, out -= 2;
    return {in, out};
}

} // namespace
} // namespace avx2
XR_TARGET_END

namespace {

// Direct paths between UTF-8 and UTF-16 that skip the batch (for ASCII; from UTF-8 with
// AVX2 also blocks without four-byte characters; everything with AVX-512): bytes of input
// they took, output they wrote.
Progress asciiDirect(const Plan& plan, const std::uint8_t* src, std::size_t n, std::uint8_t* dst,
                     std::size_t cap) {
    if (plan.avx512) {
        if (plan.from == Encoding::Utf8 && plan.to == Encoding::Utf16Le)
            return avx512::utf8ToUtf16<false>(src, n, dst, cap);
        if (plan.from == Encoding::Utf8 && plan.to == Encoding::Utf16Be)
            return avx512::utf8ToUtf16<true>(src, n, dst, cap);
        if (plan.from == Encoding::Utf16Le && plan.to == Encoding::Utf8)
            return avx512::utf16ToUtf8<false>(src, n, dst, cap);
        if (plan.from == Encoding::Utf16Be && plan.to == Encoding::Utf8)
            return avx512::utf16ToUtf8<true>(src, n, dst, cap);
    }
    if (plan.avx2 && plan.from == Encoding::Utf8 && isUtf16(plan.to)) {
        const Progress p = plan.to == Encoding::Utf16Be
                               ? avx2::utf8ToUtf16<true>(src, n, dst, cap)
                               : avx2::utf8ToUtf16<false>(src, n, dst, cap);
        if (p.in) return p;
    }
    if (plan.avx2) {
        if (plan.from == Encoding::Utf16Le && plan.to == Encoding::Utf8)
            return avx2::utf16ToUtf8<false, true>(src, n, dst, cap);
        if (plan.from == Encoding::Utf16Be && plan.to == Encoding::Utf8)
            return avx2::utf16ToUtf8<true, true>(src, n, dst, cap);
    }
    if (plan.from == Encoding::Utf8 && isUtf16(plan.to)) {
        const std::size_t k = widenAscii(plan.to, src, n, dst, cap);
        return {k, 2 * k};
    }
    if (plan.to == Encoding::Utf8 && plan.from == Encoding::Utf16Le) {
        const std::size_t k = narrowAscii<1>(src, n, dst, cap);
        return {k, k / 2};
    }
    if (plan.to == Encoding::Utf8 && plan.from == Encoding::Utf16Be) {
        const std::size_t k = narrowAscii<0>(src, n, dst, cap);
        return {k, k / 2};
    }
    return {0, 0};
}

// Converts well-formed src[0..n) (whole characters); in == n unless the output filled.
Progress convertWellFormed(const Plan& plan, const std::uint8_t* src, std::size_t n,
                           std::uint8_t* dst, std::size_t cap) {
    if (isUtf32(plan.from)) {
        const Progress p = encodeUnits(plan, plan.from == Encoding::Utf32Be, src, n / 4, dst, cap);
        return {4 * p.in, p.out};
    }
    alignas(64) std::uint8_t batch[4 * kBatch];
    std::size_t in = 0, out = 0;
    while (in < n) {
        const Progress direct = asciiDirect(plan, src + in, n - in, dst + out, cap - out);
        in += direct.in;
        out += direct.out;
        const std::size_t start = in;
        std::size_t chars = 0;
        while (chars < kBatch && in < n) {
            if (plan.decode) {
                const Progress p = plan.decode(src + in, n - in, batch + 4 * chars, kBatch - chars);
                in += p.in;
                chars += p.out;
                if (chars == kBatch || in == n) break;
            }
            const Char c = decodeOne(plan.from, src + in);
            units::store32<Order::Little>(batch + 4 * chars++, c.cp);
            in += c.len;
        }
        const Progress p = encodeUnits(plan, false, batch, chars, dst + out, cap - out);
        out += p.out;
        if (p.in < chars) {
            std::size_t taken = start;
            for (std::size_t k = 0; k < p.in; ++k)
                taken += sizeIn(plan.from, units::load32<Order::Little>(batch + 4 * k));
            return {taken, out};
        }
    }
    return {n, out};
}

// The longest prefix of well-formed src[0..n) that fits in cap bytes, whole characters.
std::size_t fittingPrefix(Encoding e, const std::uint8_t* src, std::size_t n, std::size_t cap) {
    if (n <= cap) return n;
    const std::size_t unit = unitBytes(e);
    std::size_t k = cap / unit * unit;
    if (e == Encoding::Utf8) {
        while (k > 0 && (src[k] & 0xC0) == 0x80)
            --k;
    } else if (isUtf16(e) && k >= 2) {
        const std::uint8_t high = src[k - 2 + (e == Encoding::Utf16Le ? 1 : 0)];
        if ((high & 0xFC) == 0xD8) k -= 2;
    }
    return k;
}

} // namespace

Step convert(Kernel k, Encoding from, Encoding to, const std::uint8_t* src, std::size_t n,
             std::uint8_t* dst, std::size_t cap) {
    const bool bigIn = from == Encoding::Utf32Be;
    const Plan plan{from,
                    to,
                    k == Kernel::Avx512,
                    k == Kernel::Avx2,
                    isUtf32(from) ? nullptr : cvt::toUtf32Kernel(k, sourceOf(from), false),
                    cvt::fromUtf32Kernel(k, bigIn, targetOf(to))};
    std::size_t in = 0, out = 0;
    for (;;) {
        // UTF-16 into UTF-8 on AVX2 first takes what it can without validation: blocks
        // without surrogates hold only characters.
        if (plan.avx2 && isUtf16(from) && to == Encoding::Utf8) {
            const Progress p =
                from == Encoding::Utf16Le
                    ? avx2::utf16ToUtf8<false, false>(src + in, n - in, dst + out, cap - out)
                    : avx2::utf16ToUtf8<true, false>(src + in, n - in, dst + out, cap - out);
            in += p.in;
            out += p.out;
        }
        // Likewise UTF-8 into UTF-16: ASCII needs no validation.
        if (plan.avx2 && from == Encoding::Utf8 && isUtf16(to)) {
            const std::size_t k =
                to == Encoding::Utf16Be
                    ? avx2::widenAscii<true>(src + in, n - in, dst + out, cap - out)
                    : avx2::widenAscii<false>(src + in, n - in, dst + out, cap - out);
            in += k;
            out += 2 * k;
        }
        const std::size_t len = n - in < kSlice ? n - in : kSlice;
        const Validation v = validate(k, from, src + in, len);
        Progress p;
        if (from == to) {
            p.in = p.out = fittingPrefix(from, src + in, v.in, cap - out);
            if (p.in) std::memcpy(dst + out, src + in, p.in);
        } else {
            p = convertWellFormed(plan, src + in, v.in, dst + out, cap - out);
        }
        out += p.out;
        if (p.in < v.in) return {in + p.in, out, Stop::OutputFull};
        in += v.in;
        // A slice edge inside a character is no error while input follows it.
        const bool sliceEdge = v.stop == Stop::Incomplete && in - v.in + len < n;
        if (in == n || (v.stop != Stop::Done && !sliceEdge)) return {in, out, v.stop};
    }
}

Step convert(Encoding from, Encoding to, const std::uint8_t* src, std::size_t n, std::uint8_t* dst,
             std::size_t cap) {
    return convert(cvt::currentKernel(), from, to, src, n, dst, cap);
}

} // namespace xr::strict
