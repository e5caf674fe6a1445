// Test-only reference of the UTF-8 kit: each rule written out plainly from byte ranges,
// without the library's tables or fast paths, so the two can be held together.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace xrref {

using Bytes = std::basic_string<std::uint8_t>;

inline int announced(std::uint8_t b) {
    if (b < 0xC0) return 1;
    if (b < 0xE0) return 2;
    if (b < 0xF0) return 3;
    if (b < 0xF8) return 4;
    return b < 0xFC ? 5 : 6;
}
inline bool isCont(std::uint8_t b) { return (b & 0xC0) == 0x80; }
inline bool canLead(std::uint8_t b) { return b < 0x80 || (b >= 0xC2 && b <= 0xF4); }

struct Size {
    int size;
    bool valid;
};

// Rule 1, with the library's choice for a NUL right after E0, ED or F0.
inline Size charSize(const std::uint8_t* p) {
    const std::uint8_t b = p[0];
    if (b < 0x80) return {1, true};
    const int n = announced(b);
    bool bad = !canLead(b);
    int used = 1;
    if (b == 0xE0 || b == 0xED || b == 0xF0) {
        if (p[1] == 0) return {1, false};
        const std::uint8_t lo = b == 0xE0 ? 0xA0 : b == 0xED ? 0x80 : 0x90;
        const std::uint8_t hi = b == 0xED ? 0x9F : 0xBF;
        if (p[1] < lo || p[1] > hi) bad = true;
        used = 2;
    }
    if (b == 0xF4 && p[1] >= 0x90 && p[1] <= 0xBF) bad = true;
    for (; used < n; ++used)
        if (!isCont(p[used])) return {used, false};
    return {n, !bad};
}

inline std::uint64_t slenb(const std::uint8_t* s, std::uint64_t l) {
    std::uint64_t count = 0;
    for (std::uint64_t i = 0; i < l; i += announced(s[i])) ++count;
    return count;
}

inline std::uint64_t blenb(const std::uint8_t* s, std::uint64_t l) {
    if (l == 0 || s[l - 1] < 0x80) return l;
    std::uint64_t p = l - 1;
    while (p > 0 && isCont(s[p])) --p;
    if (!canLead(s[p])) return 0;
    return p + announced(s[p]) <= l ? p + announced(s[p]) : p;
}

// Rule 4: one step within avail bytes.
inline std::uint64_t contStep(const std::uint8_t* s, std::uint64_t avail) {
    std::uint64_t k = 1;
    while (k < static_cast<std::uint64_t>(announced(s[0])) && k < avail && isCont(s[k])) ++k;
    return k;
}

inline std::uint64_t numChars(const std::uint8_t* s, std::uint64_t l) {
    std::uint64_t count = 0;
    for (std::uint64_t i = 0; i < l; ++count) i += contStep(s + i, l - i);
    return count;
}

struct Decoded {
    std::uint32_t cp;
    std::uint64_t used;
};

// The lax UTF-8 reader: U+FFFD for a bad lead (stepping over its continuation bytes)
// or a cut sequence; continuation bytes of a complete sequence are not checked.
inline Decoded decode(const std::uint8_t* p, std::uint64_t avail) {
    const std::uint8_t b = p[0];
    if (b < 0x80) return {b, 1};
    const std::uint64_t n = announced(b);
    if (!canLead(b)) {
        std::uint64_t k = 1;
        while (k < n && k < avail && isCont(p[k])) ++k;
        return {0xFFFD, k};
    }
    if (avail < n) return {0xFFFD, avail};
    std::uint32_t cp = b & (0xFFu >> (n + 1));
    for (std::uint64_t i = 1; i < n; ++i) cp = cp << 6 | (p[i] & 0x3F);
    return {cp, n};
}

using Fold = std::function<std::int32_t(std::uint32_t)>;

// Case-blind order, step by step as written, with no shortcut beyond the ones that
// decide the tie-break.
inline int normCompare(const Bytes& x, const Bytes& y, const Fold& hostFold) {
    std::size_t i = 0, j = 0;
    int tie = 0;
    auto lower = [](std::uint8_t c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; };
    while (i < x.size() && j < y.size()) {
        const std::uint8_t b1 = x[i], b2 = y[j];
        if (b1 == b2) {
            const std::size_t n = static_cast<std::size_t>(announced(b1));
            if (x.size() - i >= n && y.size() - j >= n && x.compare(i, n, y, j, n) == 0) {
                i += n, j += n;
                continue;
            }
        } else if (b1 < 0x80 && b2 < 0x80) {
            if (lower(b1) != lower(b2)) return lower(b1) < lower(b2) ? -2 : 2;
            if (!tie) tie = b1 > b2 ? 1 : -1;
            ++i, ++j;
            continue;
        }
        const Decoded c1 = decode(&x[i], x.size() - i), c2 = decode(&y[j], y.size() - j);
        if (!tie) tie = c1.cp < c2.cp ? -1 : 1;
        const std::int32_t f1 = hostFold(c1.cp), f2 = hostFold(c2.cp);
        if (f1 != f2) return f1 < f2 ? -2 : 2;
        i += c1.used, j += c2.used;
    }
    const Bytes& rest = i < x.size() ? x : y;
    const std::size_t from = i < x.size() ? i : j;
    if (rest.find_first_not_of(std::uint8_t{' '}, from) == Bytes::npos) return tie;
    return i < x.size() ? 2 : -2;
}

inline bool normEqual(const Bytes& x, const Bytes& y, const Fold& bmpFold, const Fold& hostFold) {
    if (x.empty() || y.empty()) return x.empty() && y.empty();
    std::size_t i = 0, j = 0;
    while (i < x.size() && j < y.size()) {
        const std::size_t n = static_cast<std::size_t>(announced(x[i]));
        if (x[i] == y[j] && x.size() - i >= n && y.size() - j >= n &&
            x.compare(i, n, y, j, n) == 0) {
            i += n, j += n;
            continue;
        }
        const Decoded c1 = decode(&x[i], x.size() - i), c2 = decode(&y[j], y.size() - j);
        auto fold = [&](std::uint32_t c) { return c < 0x10000 ? bmpFold(c) : hostFold(c); };
        if (fold(c1.cp) != fold(c2.cp)) return false;
        i += c1.used, j += c2.used;
    }
    return i == x.size() && j == y.size();
}

inline bool isBlankCp(std::uint32_t c, unsigned options) {
    const bool space = c == 0x20 || c == 0xA0 || c == 0x1680 || (c >= 0x2000 && c <= 0x200A) ||
                       c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F || c == 0x3000;
    if (options == 0) return c == 0x20;
    if (options == 2) return space;
    return space || (c >= 0x09 && c <= 0x0D) || c == 0x85;
}

// Trailing blanks: the last character (lead plus following continuation bytes) must be
// a shortest-form encoding of a blank.
inline std::uint64_t stripBlanks(const Bytes& s, unsigned options) {
    std::size_t len = s.size();
    while (len > 0) {
        std::size_t lead = len - 1;
        while (lead > 0 && isCont(s[lead])) --lead;
        if (isCont(s[lead])) break;
        const std::size_t n = len - lead;
        if (n != static_cast<std::size_t>(announced(s[lead])) || !canLead(s[lead])) break;
        const Decoded d = decode(&s[lead], n);
        const bool shortest = n == 1 || (n == 2 && d.cp >= 0x80) || (n == 3 && d.cp >= 0x800);
        if (!shortest || !isBlankCp(d.cp, options)) break;
        if (options == 0 && n != 1) break;
        len = lead;
    }
    return len;
}

// UTF-16 units of a code point.
inline std::vector<std::uint16_t> utf16(std::uint32_t cp) {
    if (cp < 0x10000) return {static_cast<std::uint16_t>(cp)};
    cp -= 0x10000;
    return {static_cast<std::uint16_t>(0xD800 + (cp >> 10)),
            static_cast<std::uint16_t>(0xDC00 + (cp & 0x3FF))};
}

// Modified UTF-8 of well-formed UTF-8, built from its UTF-16 units: every unit in its
// own one-, two- or three-byte form; NUL as C0 80 when modifiedNul.
inline Bytes modifiedUtf8(const Bytes& wellFormed, bool modifiedNul) {
    Bytes out;
    for (std::size_t i = 0; i < wellFormed.size();) {
        const Decoded d = decode(&wellFormed[i], wellFormed.size() - i);
        i += d.used;
        for (std::uint16_t u : utf16(d.cp)) {
            if (u == 0 && modifiedNul) out += Bytes{0xC0, 0x80};
            else if (u < 0x80) out += static_cast<std::uint8_t>(u);
            else if (u < 0x800)
                out += Bytes{static_cast<std::uint8_t>(0xC0 | u >> 6),
                             static_cast<std::uint8_t>(0x80 | (u & 0x3F))};
            else
                out += Bytes{static_cast<std::uint8_t>(0xE0 | u >> 12),
                             static_cast<std::uint8_t>(0x80 | (u >> 6 & 0x3F)),
                             static_cast<std::uint8_t>(0x80 | (u & 0x3F))};
        }
    }
    return out;
}

// UTF-8 of a code point (no checks).
inline Bytes utf8(std::uint32_t cp) {
    if (cp < 0x80) return Bytes(1, static_cast<std::uint8_t>(cp));
    if (cp < 0x800)
        return {static_cast<std::uint8_t>(0xC0 | cp >> 6), static_cast<std::uint8_t>(0x80 | (cp & 0x3F))};
    if (cp < 0x10000)
        return {static_cast<std::uint8_t>(0xE0 | cp >> 12),
                static_cast<std::uint8_t>(0x80 | (cp >> 6 & 0x3F)),
                static_cast<std::uint8_t>(0x80 | (cp & 0x3F))};
    return {static_cast<std::uint8_t>(0xF0 | cp >> 18), static_cast<std::uint8_t>(0x80 | (cp >> 12 & 0x3F)),
            static_cast<std::uint8_t>(0x80 | (cp >> 6 & 0x3F)), static_cast<std::uint8_t>(0x80 | (cp & 0x3F))};
}

} // namespace xrref
