// Strict validation of whole buffers: UTF-8 by vector kernels chosen at run time, UTF-16
// and UTF-32 on the SSE2 baseline. A vector kernel only ever answers "every byte so far is
// well-formed"; where a block fails, the scalar reference takes over from the last
// character boundary before it and gives the exact verdict and offset.
#include <immintrin.h>

#include <cstring>

#include "internal/cpu.h"
#include "internal/target.h"
#include "internal/utf8_tables.h"
#include "internal/utf_strict.h"
#include "internal/utf_units.h"

namespace xr::strict {
namespace {

using utf8::bytesFromUTF8;
using utf8::isContinuation;
using utf8::valid_1st_utf8;

// The second byte's range for each lead: the leads of shortest-form limits (E0, F0), of
// the surrogates (ED) and of U+10FFFF (F4) narrow 80..BF from one side.
constexpr bool secondFits(std::uint8_t lead, std::uint8_t b) {
    const std::uint8_t lo = lead == 0xE0 ? 0xA0 : lead == 0xF0 ? 0x90 : 0x80;
    const std::uint8_t hi = lead == 0xED ? 0x9F : lead == 0xF4 ? 0x8F : 0xBF;
    return b >= lo && b <= hi;
}

// Characters of p[0..n) from the boundary i while they start before limit. Done carries
// the first boundary at or past limit.
Validation scalarRun(const std::uint8_t* p, std::size_t n, std::size_t i, std::size_t limit) {
    constexpr std::uint64_t kHighBits = 0x8080808080808080u;
    while (i < limit) {
        std::uint64_t word;
        if (i + 8 <= n && (std::memcpy(&word, p + i, 8), (word & kHighBits) == 0)) {
            i += 8;
            continue;
        }
        const std::uint8_t lead = p[i];
        if (lead < 0x80) {
            ++i;
            continue;
        }
        if (!valid_1st_utf8[lead]) return {i, Stop::Invalid};
        const std::size_t len = bytesFromUTF8[lead], have = len < n - i ? len : n - i;
        if (have >= 2 && !secondFits(lead, p[i + 1])) return {i, Stop::Invalid};
        for (std::size_t k = 2; k < have; ++k)
            if (!isContinuation(p[i + k])) return {i, Stop::Invalid};
        if (have < len) return {i, Stop::Incomplete};
        i += len;
    }
    return {i, Stop::Done};
}

Validation scalarFrom(const std::uint8_t* p, std::size_t n, std::size_t i) {
    return scalarRun(p, n, i, n);
}

// The start of the character that holds byte s - 1 when that character reaches s, else s.
// Everything before s must be known well-formed, so a lead is at most three bytes back.
std::size_t boundaryBefore(const std::uint8_t* p, std::size_t s) {
    for (std::size_t k = 1; k <= 3 && k <= s; ++k)
        if (!isContinuation(p[s - k])) return bytesFromUTF8[p[s - k]] > k ? s - k : s;
    return s;
}

// The error classes of a byte pair (previous, current), as bits shared by three tables:
// one by the high nibble of the previous byte, one by its low nibble, one by the high
// nibble of the current byte. A pair is wrong where all three agree on a bit.
enum : std::uint8_t {
    kShort = 0x01,    // a lead not followed by a continuation byte
    kLong = 0x02,     // a continuation byte after ASCII
    kOver3 = 0x04,    // E0 80..9F
    kLarge = 0x08,    // F4 90..BF, F5..FF 90..BF
    kSurr = 0x10,     // ED A0..BF
    kOver2 = 0x20,    // C0, C1 then any continuation byte
    kOver4 = 0x40,    // F0 80..8F, and F5..FF 80..8F
    kTwoConts = 0x80, // a continuation byte after one: right only two or three after a lead
    kAnyLow = kShort | kLong | kTwoConts,
};
struct Nibbles {
    std::uint8_t t[16];
};
constexpr Nibbles kPrevHigh = {{kLong, kLong, kLong, kLong, kLong, kLong, kLong, kLong, kTwoConts,
                                kTwoConts, kTwoConts, kTwoConts, kShort | kOver2, kShort,
                                kShort | kOver3 | kSurr, kShort | kLarge | kOver4}};
constexpr Nibbles kPrevLow = {
    {kAnyLow | kOver3 | kOver2 | kOver4, kAnyLow | kOver2, kAnyLow, kAnyLow, kAnyLow | kLarge,
     kAnyLow | kLarge | kOver4, kAnyLow | kLarge | kOver4, kAnyLow | kLarge | kOver4,
     kAnyLow | kLarge | kOver4, kAnyLow | kLarge | kOver4, kAnyLow | kLarge | kOver4,
     kAnyLow | kLarge | kOver4, kAnyLow | kLarge | kOver4, kAnyLow | kLarge | kOver4 | kSurr,
     kAnyLow | kLarge | kOver4, kAnyLow | kLarge | kOver4}};
constexpr std::uint8_t kContAll = kLong | kOver2 | kTwoConts;
constexpr Nibbles kCurHigh = {{kShort, kShort, kShort, kShort, kShort, kShort, kShort, kShort,
                               kContAll | kOver3 | kOver4, kContAll | kOver3 | kLarge,
                               kContAll | kSurr | kLarge, kContAll | kSurr | kLarge, kShort, kShort,
                               kShort, kShort}};

// The last bytes of a block that leave a character open: for saturating subtraction, so
// that any byte above its limit stays non-zero.
template <std::size_t N> struct OpenEnd { std::uint8_t t[N]; };
template <std::size_t N> constexpr OpenEnd<N> makeOpenEnd() {
    OpenEnd<N> e{};
    for (std::size_t i = 0; i < N; ++i)
        e.t[i] = 0xFF;
    e.t[N - 3] = 0xEF;
    e.t[N - 2] = 0xDF;
    e.t[N - 1] = 0xBF;
    return e;
}

} // namespace

XR_TARGET_BEGIN(XR_AVX2_FEATURES)
namespace avx2 {
namespace {
using V = __m256i;

XR_INLINE V lanes(const Nibbles& n) {
    return _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(n.t)));
}

struct Checker {
    V prevHigh, prevLow, curHigh, nibble, below3, below4, top;
    XR_INLINE Checker()
        : prevHigh(lanes(kPrevHigh)), prevLow(lanes(kPrevLow)), curHigh(lanes(kCurHigh)),
          nibble(_mm256_set1_epi8(0x0F)), below3(_mm256_set1_epi8(0x60)),
          below4(_mm256_set1_epi8(0x70)), top(_mm256_set1_epi8(static_cast<char>(0x80))) {}

    // Non-zero where a byte of cur breaks the rules, looking back into prev.
    XR_INLINE V errors(V prev, V cur) const {
        const V carry = _mm256_permute2x128_si256(prev, cur, 0x21);
        const V p1 = _mm256_alignr_epi8(cur, carry, 15), p2 = _mm256_alignr_epi8(cur, carry, 14);
        const V p3 = _mm256_alignr_epi8(cur, carry, 13);
        const V a =
            _mm256_shuffle_epi8(prevHigh, _mm256_and_si256(_mm256_srli_epi16(p1, 4), nibble));
        const V b = _mm256_shuffle_epi8(prevLow, _mm256_and_si256(p1, nibble));
        const V c =
            _mm256_shuffle_epi8(curHigh, _mm256_and_si256(_mm256_srli_epi16(cur, 4), nibble));
        const V pairs = _mm256_and_si256(_mm256_and_si256(a, b), c);
        // Two or three after a lead of E0 up (F0 up) a continuation byte is required.
        const V must = _mm256_or_si256(_mm256_subs_epu8(p2, below3), _mm256_subs_epu8(p3, below4));
        return _mm256_xor_si256(pairs, _mm256_and_si256(must, top));
    }
};

Validation utf8(const std::uint8_t* p, std::size_t n) {
    static constexpr OpenEnd<32> kOpen = makeOpenEnd<32>();
    const Checker c;
    const V open = _mm256_loadu_si256(reinterpret_cast<const V*>(kOpen.t));
    const auto at = [p](std::size_t i) {
        return _mm256_loadu_si256(reinterpret_cast<const V*>(p + i));
    };
    V prev = _mm256_setzero_si256();
    std::size_t i = 0;
    const auto ascii = [](V a, V b, V c, V d) {
        return !_mm256_movemask_epi8(_mm256_or_si256(_mm256_or_si256(a, b), _mm256_or_si256(c, d)));
    };
    while (i + 128 <= n) {
        const V b0 = at(i), b1 = at(i + 32), b2 = at(i + 64), b3 = at(i + 96);
        if (ascii(b0, b1, b2, b3)) {
            // A run of ASCII blocks: only the character before it can be left open.
            if (const V err = _mm256_subs_epu8(prev, open); !_mm256_testz_si256(err, err))
                return scalarFrom(p, n, boundaryBefore(p, i));
            for (i += 128; i + 128 <= n && ascii(at(i), at(i + 32), at(i + 64), at(i + 96));)
                i += 128;
            prev = at(i - 32);
            continue;
        }
        const V err = _mm256_or_si256(_mm256_or_si256(c.errors(prev, b0), c.errors(b0, b1)),
                                      _mm256_or_si256(c.errors(b1, b2), c.errors(b2, b3)));
        if (!_mm256_testz_si256(err, err)) return scalarFrom(p, n, boundaryBefore(p, i));
        prev = b3;
        i += 128;
    }
    for (; i + 32 <= n; i += 32) {
        const V cur = at(i);
        if (const V err = c.errors(prev, cur); !_mm256_testz_si256(err, err))
            return scalarFrom(p, n, boundaryBefore(p, i));
        prev = cur;
    }
    // The tail padded with ASCII NULs, so a character left open shows as an error.
    alignas(32) std::uint8_t tail[32] = {};
    if (n > i) std::memcpy(tail, p + i, n - i);
    const V err = c.errors(prev, _mm256_load_si256(reinterpret_cast<const V*>(tail)));
    return _mm256_testz_si256(err, err) ? Validation{n, Stop::Done}
                                        : scalarFrom(p, n, boundaryBefore(p, i));
}

// UTF-16, 32 units a block, as on AVX-512 but with byte masks (two bits a unit): each
// second half of a pair must follow a first half and each first half must precede a
// second half. The units are compared in their own byte order (H: the offset of the high
// byte). The boundary before the first block that breaks this is left to the SSE2 rules.
template <unsigned H> Validation utf16(const std::uint8_t* p, std::size_t n) {
    const V tens = _mm256_set1_epi16(static_cast<short>(H ? 0xFC00 : 0x00FC));
    const V first = _mm256_set1_epi16(static_cast<short>(H ? 0xD800 : 0x00D8));
    const V second = _mm256_set1_epi16(static_cast<short>(H ? 0xDC00 : 0x00DC));
    // Units below 0x8000 are no surrogates: 64 of them at a time skip the masks.
    const V top = _mm256_set1_epi16(static_cast<short>(H ? 0x8000 : 0x0080));
    std::uint64_t open = 0; // 3 when the last unit of the block before is a first half
    std::size_t i = 0;
    const auto at = [p](std::size_t k) {
        return _mm256_loadu_si256(reinterpret_cast<const V*>(p + k));
    };
    for (;; i += 64) {
        if (!open)
            while (i + 128 <= n &&
                   _mm256_testz_si256(_mm256_or_si256(_mm256_or_si256(at(i), at(i + 32)),
                                                      _mm256_or_si256(at(i + 64), at(i + 96))),
                                      top))
                i += 128;
        if (i + 64 > n) break;
        const V a = _mm256_and_si256(_mm256_loadu_si256(reinterpret_cast<const V*>(p + i)), tens);
        const V b =
            _mm256_and_si256(_mm256_loadu_si256(reinterpret_cast<const V*>(p + i + 32)), tens);
        const std::uint64_t high =
            static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi16(a, first))) |
            std::uint64_t{
                static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi16(b, first)))}
                << 32;
        const std::uint64_t low =
            static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi16(a, second))) |
            std::uint64_t{
                static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi16(b, second)))}
                << 32;
        if ((high << 2 | open) != low) break;
        open = high >> 62;
    }
    return {open ? i - 2 : i, Stop::Done};
}

} // namespace
} // namespace avx2
XR_TARGET_END

XR_TARGET_BEGIN(XR_AVX512_FEATURES)
namespace avx512 {
namespace {
using V = __m512i;

XR_INLINE V lanes(const Nibbles& n) {
    // The masked form: the plain one starts from an undefined vector, which GCC reports.
    return _mm512_maskz_broadcast_i32x4(0xFFFF,
                                        _mm_loadu_si128(reinterpret_cast<const __m128i*>(n.t)));
}

struct Checker {
    V prevHigh, prevLow, curHigh, nibble, below3, below4, top;
    XR_INLINE Checker()
        : prevHigh(lanes(kPrevHigh)), prevLow(lanes(kPrevLow)), curHigh(lanes(kCurHigh)),
          nibble(_mm512_set1_epi8(0x0F)), below3(_mm512_set1_epi8(0x60)),
          below4(_mm512_set1_epi8(0x70)), top(_mm512_set1_epi8(static_cast<char>(0x80))) {}

    XR_INLINE V errors(V prev, V cur) const {
        // carry holds, lane by lane, the 16 bytes before each lane of cur.
        const V carry = _mm512_alignr_epi64(cur, prev, 6);
        const V p1 = _mm512_alignr_epi8(cur, carry, 15), p2 = _mm512_alignr_epi8(cur, carry, 14);
        const V p3 = _mm512_alignr_epi8(cur, carry, 13);
        const V a =
            _mm512_shuffle_epi8(prevHigh, _mm512_and_si512(_mm512_srli_epi16(p1, 4), nibble));
        const V b = _mm512_shuffle_epi8(prevLow, _mm512_and_si512(p1, nibble));
        const V c =
            _mm512_shuffle_epi8(curHigh, _mm512_and_si512(_mm512_srli_epi16(cur, 4), nibble));
        const V pairs = _mm512_ternarylogic_epi32(a, b, c, 0x80); // a & b & c
        const V must = _mm512_or_si512(_mm512_subs_epu8(p2, below3), _mm512_subs_epu8(p3, below4));
        return _mm512_ternarylogic_epi32(pairs, must, top, 0x78); // pairs ^ (must & top)
    }
};

XR_INLINE bool anyNonZero(V v) {
    return _mm512_test_epi64_mask(v, v) != 0;
}

Validation utf8(const std::uint8_t* p, std::size_t n) {
    static constexpr OpenEnd<64> kOpen = makeOpenEnd<64>();
    const Checker c;
    const V open = _mm512_loadu_si512(kOpen.t);
    const auto at = [p](std::size_t i) { return _mm512_loadu_si512(p + i); };
    V prev = _mm512_setzero_si512();
    std::size_t i = 0;
    for (; i + 256 <= n; i += 256) {
        const V b0 = at(i), b1 = at(i + 64), b2 = at(i + 128), b3 = at(i + 192);
        const V any = _mm512_or_si512(_mm512_ternarylogic_epi32(b0, b1, b2, 0xFE), b3);
        V err;
        if (!_mm512_movepi8_mask(any))
            err = _mm512_subs_epu8(prev, open);
        else
            err = _mm512_ternarylogic_epi32(c.errors(prev, b0), c.errors(b0, b1),
                                            _mm512_or_si512(c.errors(b1, b2), c.errors(b2, b3)),
                                            0xFE);
        prev = b3;
        if (anyNonZero(err)) return scalarFrom(p, n, boundaryBefore(p, i));
    }
    for (; i + 64 <= n; i += 64) {
        const V cur = at(i);
        if (anyNonZero(c.errors(prev, cur))) return scalarFrom(p, n, boundaryBefore(p, i));
        prev = cur;
    }
    // The tail padded with ASCII NULs, so a character left open shows as an error.
    const __mmask64 rest = n > i ? ~__mmask64{0} >> (64 - (n - i)) : 0;
    const V err = c.errors(prev, _mm512_maskz_loadu_epi8(rest, p + i));
    return anyNonZero(err) ? scalarFrom(p, n, boundaryBefore(p, i)) : Validation{n, Stop::Done};
}

// UTF-16, 32 units a block: each second half of a pair must follow a first half and each
// first half must precede a second half, one shift of the masks apart (the last unit of
// a block carried into the next). A block that breaks this goes to the scalar rules from
// the boundary before it, which give the offset.
template <unsigned H> Validation utf16(const std::uint8_t* p, std::size_t n) {
    const V swap = _mm512_set_epi64(0x0E0F0C0D0A0B0809, 0x0607040502030001, 0x0E0F0C0D0A0B0809,
                                    0x0607040502030001, 0x0E0F0C0D0A0B0809, 0x0607040502030001,
                                    0x0E0F0C0D0A0B0809, 0x0607040502030001);
    const V tens = _mm512_set1_epi16(static_cast<short>(0xFC00));
    std::uint32_t open = 0; // the last unit of the block before is a first half
    std::size_t i = 0;
    for (; i + 64 <= n; i += 64) {
        V u = _mm512_loadu_si512(p + i);
        if (H == 0) u = _mm512_shuffle_epi8(u, swap);
        const V top = _mm512_and_si512(u, tens);
        const __mmask32 high =
            _mm512_cmpeq_epi16_mask(top, _mm512_set1_epi16(static_cast<short>(0xD800)));
        const __mmask32 low =
            _mm512_cmpeq_epi16_mask(top, _mm512_set1_epi16(static_cast<short>(0xDC00)));
        if (static_cast<__mmask32>(high << 1 | open) != low) break;
        open = high >> 31;
    }
    return {i - 2 * open, Stop::Done};
}

} // namespace
} // namespace avx512
XR_TARGET_END

namespace {

// The SSE2 baseline: ASCII 16 bytes at a time, other characters one by one.
Validation sse2Utf8(const std::uint8_t* p, std::size_t n) {
    std::size_t i = 0;
    while (i < n) {
        while (i + 16 <= n &&
               !_mm_movemask_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i))))
            i += 16;
        const Validation v = scalarRun(p, n, i, i + 16 < n ? i + 16 : n);
        if (v.stop != Stop::Done) return v;
        i = v.in;
    }
    return {n, Stop::Done};
}

using cvt::Kernel;

// Each answer is a load and test of the CPU model record: cheaper than a guarded static,
// which would also bring in the C++ run time.
Kernel widestUtf8() {
    return cpu::hasAvx512Vbmi2() ? Kernel::Avx512 : cpu::hasAvx2() ? Kernel::Avx2 : Kernel::Sse2;
}

// Surrogate units, each a pair's first half followed by a second half; H is the offset of
// a unit's high byte (0 big-endian, 1 little-endian).
template <unsigned H> Validation utf16Sse2(const std::uint8_t* p, std::size_t n) {
    // High bytes only: D8..DF marks a surrogate.
    constexpr int kHighLanes = H ? 0xAAAA : 0x5555;
    const __m128i f8 = _mm_set1_epi8(static_cast<char>(0xF8)),
                  d8 = _mm_set1_epi8(static_cast<char>(0xD8));
    std::size_t i = 0;
    const std::size_t whole = n & ~std::size_t{1};
    while (i < whole) {
        while (i + 16 <= whole) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
            if (_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_and_si128(v, f8), d8)) & kHighLanes) break;
            i += 16;
        }
        for (const std::size_t stop = i + 16 < whole ? i + 16 : whole; i < stop;) {
            const std::uint8_t hi = p[i + H];
            if ((hi & 0xF8) != 0xD8) {
                i += 2;
            } else if (hi >= 0xDC) {
                return {i, Stop::Invalid};
            } else if (i + 4 > n) {
                // A lone byte after the pair's first half must still be able to start the second.
                const bool open = i + 3 > n || H == 1 || (p[i + 2] & 0xFC) == 0xDC;
                return {i, open ? Stop::Incomplete : Stop::Invalid};
            } else if ((p[i + 2 + H] & 0xFC) != 0xDC) {
                return {i, Stop::Invalid};
            } else {
                i += 4;
            }
        }
    }
    return n == whole ? Validation{n, Stop::Done} : Validation{whole, Stop::Incomplete};
}

// The vector kernel's boundary before the first block it could not pass, then SSE2.
template <unsigned H> Validation utf16(Kernel k, const std::uint8_t* p, std::size_t n) {
    std::size_t from = 0;
    if (k == Kernel::Avx512) from = avx512::utf16<H>(p, n).in;
    if (k == Kernel::Avx2) from = avx2::utf16<H>(p, n).in;
    const Validation v = utf16Sse2<H>(p + from, n - from);
    return {from + v.in, v.stop};
}

template <units::Order O> Validation utf32(const std::uint8_t* p, std::size_t n) {
    std::size_t i = 0;
    for (; i + 4 <= n; i += 4) {
        const std::uint32_t u = units::load32<O>(p + i);
        if (u > 0x10FFFF || (u & 0xFFFFF800u) == 0xD800) return {i, Stop::Invalid};
    }
    if (i == n) return {n, Stop::Done};
    // A tail of one to three bytes that some unit completes into a scalar value: the
    // high bytes present must be 00 and 00..10, and no surrogate may be settled yet.
    std::uint8_t unit[4] = {0, 0, 0, 0};
    std::memcpy(unit, p + i, n - i);
    bool fits;
    if (O == units::Order::Big)
        fits = unit[0] == 0 && (n - i < 2 || unit[1] <= 0x10) &&
               (n - i < 3 || unit[1] != 0 || (unit[2] & 0xF8) != 0xD8);
    else
        fits = n - i < 3 || (unit[2] <= 0x10 && (unit[2] != 0 || (unit[1] & 0xF8) != 0xD8));
    return {i, fits ? Stop::Incomplete : Stop::Invalid};
}

} // namespace

Validation validateUtf8(Kernel k, const std::uint8_t* p, std::size_t n) {
    switch (k) {
    case Kernel::Avx512:
        return avx512::utf8(p, n);
    case Kernel::Avx2:
        return avx2::utf8(p, n);
    case Kernel::Scalar:
        return scalarFrom(p, n, 0);
    default:
        return sse2Utf8(p, n);
    }
}

Validation validateUtf8(const std::uint8_t* p, std::size_t n) {
    return validateUtf8(widestUtf8(), p, n);
}

Validation validate(Encoding e, const std::uint8_t* p, std::size_t n) {
    return validate(widestUtf8(), e, p, n);
}

Validation validate(Kernel k, Encoding e, const std::uint8_t* p, std::size_t n) {
    switch (e) {
    case Encoding::Utf8:
        return validateUtf8(k, p, n);
    case Encoding::Utf16Le:
        return utf16<1>(k, p, n);
    case Encoding::Utf16Be:
        return utf16<0>(k, p, n);
    case Encoding::Utf32Le:
        return utf32<units::Order::Little>(p, n);
    default:
        return utf32<units::Order::Big>(p, n);
    }
}

} // namespace xr::strict
