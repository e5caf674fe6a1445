#include "utf8_scan.h"

#include "internal/utf_strict.h"

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

std::size_t wellFormedPrefix(const std::uint8_t* p, std::size_t n) {
    return xr::strict::validateUtf8(p, n).in;
}

} // namespace xrkit::utf8
