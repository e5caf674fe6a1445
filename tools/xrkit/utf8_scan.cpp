#include "utf8_scan.h"

#include <cstring>

namespace xrkit::utf8 {

Sequence next(const std::uint8_t* p, std::size_t n, bool ended) {
    const std::uint8_t b = p[0];
    if (b < 0x80) return {Verdict::Good, 1, b};
    // The second byte's range depends on the lead; later ones are any continuation byte.
    std::uint8_t lo = 0x80, hi = 0xBF;
    std::uint8_t len;
    std::uint32_t cp;
    if (b >= 0xC2 && b <= 0xDF) {
        len = 2, cp = b & 0x1Fu;
    } else if (b >= 0xE0 && b <= 0xEF) {
        len = 3, cp = b & 0x0Fu;
        if (b == 0xE0)
            lo = 0xA0; // no overlong form
        else if (b == 0xED)
            hi = 0x9F; // no surrogate
    } else if (b >= 0xF0 && b <= 0xF4) {
        len = 4, cp = b & 0x07u;
        if (b == 0xF0)
            lo = 0x90; // no overlong form
        else if (b == 0xF4)
            hi = 0x8F; // nothing above U+10FFFF
    } else {
        return {Verdict::Bad, 1, 0xFFFD};
    }
    for (std::uint8_t i = 1; i < len; ++i) {
        if (i == n) return {ended ? Verdict::Truncated : Verdict::Incomplete, i, 0xFFFD};
        const std::uint8_t c = p[i];
        if (c < lo || c > hi) return {Verdict::Bad, i, 0xFFFD};
        lo = 0x80, hi = 0xBF;
        cp = cp << 6 | (c & 0x3Fu);
    }
    return {Verdict::Good, len, cp};
}

namespace {

// The second byte's range after each lead (0xC2-0xF4); leads outside have none.
struct SecondByte {
    std::uint8_t lo, hi;
};
constexpr SecondByte secondByte(std::uint8_t lead) {
    return lead == 0xE0   ? SecondByte{0xA0, 0xBF}
           : lead == 0xED ? SecondByte{0x80, 0x9F}
           : lead == 0xF0 ? SecondByte{0x90, 0xBF}
           : lead == 0xF4 ? SecondByte{0x80, 0x8F}
                          : SecondByte{0x80, 0xBF};
}

bool continues(std::uint8_t b) {
    return (b & 0xC0) == 0x80;
}

} // namespace

std::size_t wellFormedPrefix(const std::uint8_t* p, std::size_t n) {
    std::size_t i = 0;
    while (i < n) {
        for (std::uint64_t w; i + 8 <= n; i += 8) {
            std::memcpy(&w, p + i, 8);
            if (w & 0x8080808080808080u) break;
        }
        if (i == n) break;
        const std::uint8_t b = p[i];
        if (b < 0x80) {
            ++i;
            continue;
        }
        const std::size_t len = b < 0xC2 ? 0 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : b < 0xF5 ? 4 : 0;
        if (len == 0 || n - i < len) break;
        const SecondByte second = secondByte(b);
        if (p[i + 1] < second.lo || p[i + 1] > second.hi) break;
        if (len > 2 && !continues(p[i + 2])) break;
        if (len > 3 && !continues(p[i + 3])) break;
        i += len;
    }
    return i;
}

} // namespace xrkit::utf8
