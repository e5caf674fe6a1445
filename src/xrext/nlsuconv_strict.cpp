// Strict conversion for streaming callers: a slice of input is validated at memory speed,
// then its well-formed part goes through the bulk kernels of the drivers, in batches of
// code points that stay in the first-level cache; ASCII between UTF-8 and UTF-16 skips
// the batch. Validation never runs ahead by more than a slice, so an error late in a
// large buffer costs no conversion work twice, and the output before it is complete.
#include <immintrin.h>

#include <cstring>

#include "internal/converters.h"
#include "internal/cvtkernels.h"
#include "internal/utf_strict.h"
#include "internal/utf_units.h"

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

// Direct paths for ASCII between UTF-8 and UTF-16: bytes of input they took, output they
// wrote.
Progress asciiDirect(const Plan& plan, const std::uint8_t* src, std::size_t n, std::uint8_t* dst,
                     std::size_t cap) {
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

Validation validateWith(Kernel k, Encoding e, const std::uint8_t* p, std::size_t n) {
    return e == Encoding::Utf8 ? validateUtf8(k, p, n) : validate(e, p, n);
}

} // namespace

Step convert(Kernel k, Encoding from, Encoding to, const std::uint8_t* src, std::size_t n,
             std::uint8_t* dst, std::size_t cap) {
    const bool bigIn = from == Encoding::Utf32Be;
    const Plan plan{from, to,
                    isUtf32(from) ? nullptr : cvt::toUtf32Kernel(k, sourceOf(from), false),
                    cvt::fromUtf32Kernel(k, bigIn, targetOf(to))};
    std::size_t in = 0, out = 0;
    for (;;) {
        const std::size_t len = n - in < kSlice ? n - in : kSlice;
        const Validation v = validateWith(k, from, src + in, len);
        Progress p;
        if (from == to) {
            p.in = p.out = fittingPrefix(from, src + in, v.in, cap - out);
            std::memcpy(dst + out, src + in, p.in);
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
