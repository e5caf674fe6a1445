// Test-only reference of the UTF-8 kit: each rule written out plainly from byte ranges,
// without the library's tables or fast paths, so the two can be held together.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace xrref {

using Bytes = std::basic_string<std::uint8_t>;

inline constexpr auto announced = [](std::uint8_t b) {
    return b < 0xC0 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : b < 0xF8 ? 4 : b < 0xFC ? 5 : 6;
};
inline constexpr auto isCont = [](std::uint8_t b) { return (b & 0xC0) == 0x80; };
inline constexpr auto canLead = [](std::uint8_t b) { return b < 0x80 || (b >= 0xC2 && b <= 0xF4); };

struct Size {
    int size;
    bool valid;
};

// The validating size, with the library's choice for a NUL right after E0, ED or F0.
inline Size charSize(const std::uint8_t* p) {
    const std::uint8_t b = p[0];
    if (b < 0x80) return {1, true};
    const int n = announced(b);
    bool bad = !canLead(b);
    int used = 1;
    if (b == 0xE0 || b == 0xED || b == 0xF0) {
        if (p[1] == 0) return {1, false};
        const int lo = b == 0xE0 ? 0xA0 : (b == 0xF0 ? 0x90 : 0x80), hi = b == 0xED ? 0x9F : 0xBF;
        bad = bad || p[1] < lo || p[1] > hi;
        used = 2;
    }
    if (b == 0xF4 && p[1] >= 0x90 && p[1] <= 0xBF) bad = true;
    for (; used < n; ++used)
        if (!isCont(p[used])) return {used, false};
    return {n, !bad};
}

inline std::uint64_t slenb(const std::uint8_t* s, std::uint64_t l) {
    std::uint64_t count = 0;
    for (std::uint64_t i = 0; i < l; i += announced(s[i]))
        ++count;
    return count;
}

inline std::uint64_t blenb(const std::uint8_t* s, std::uint64_t l) {
    if (l == 0 || s[l - 1] < 0x80) return l;
    std::uint64_t p = l - 1;
    while (p > 0 && isCont(s[p]))
        --p;
    if (!canLead(s[p])) return 0;
    return p + announced(s[p]) <= l ? p + announced(s[p]) : p;
}

// Counting by continuation bytes: steps of a lead plus the continuation bytes it
// announces, within l bytes.
inline std::uint64_t numChars(const std::uint8_t* s, std::uint64_t l) {
    std::uint64_t count = 0;
    for (std::uint64_t i = 0; i < l; ++count) {
        const std::uint64_t end = i + static_cast<std::uint64_t>(announced(s[i]));
        for (++i; i < end && i < l && isCont(s[i]);)
            ++i;
    }
    return count;
}

// The bytes that the first `chars` such steps take, with no bound: the text holds that
// many characters or ends in a readable byte that is no continuation byte.
inline std::uint64_t byteLength(const std::uint8_t* s, std::uint64_t chars) {
    std::uint64_t i = 0;
    for (; chars > 0; --chars) {
        const std::uint64_t end = i + static_cast<std::uint64_t>(announced(s[i]));
        for (++i; i < end && isCont(s[i]);)
            ++i;
    }
    return i;
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
    std::uint64_t k = 1;
    if (!canLead(b)) {
        while (k < n && k < avail && isCont(p[k]))
            ++k;
        return {0xFFFD, k};
    }
    if (avail < n) return {0xFFFD, avail};
    std::uint32_t cp = b & (0xFFu >> (n + 1));
    for (std::uint64_t i = 1; i < n; ++i)
        cp = cp << 6 | (p[i] & 0x3F);
    return {cp, n};
}

using Fold = std::function<std::int32_t(std::uint32_t)>;

// Where a case-blind walk of x and y stopped, the tie-break, and the order of the first
// pair that folds differently (0 if none).
struct Walk {
    std::size_t i, j;
    int tie, order;
};

// Steps over equal runs of a lead's announced length; decodes and folds everything else,
// ASCII included (fold must lower A-Z as the built-in table does). The first decoded pair
// sets the tie-break.
inline Walk walk(const Bytes& x, const Bytes& y, const Fold& fold) {
    Walk w{0, 0, 0, 0};
    while (w.i < x.size() && w.j < y.size()) {
        const std::size_t n = static_cast<std::size_t>(announced(x[w.i]));
        if (x[w.i] == y[w.j] && x.size() - w.i >= n && y.size() - w.j >= n &&
            x.compare(w.i, n, y, w.j, n) == 0) {
            w.i += n, w.j += n;
            continue;
        }
        const Decoded c1 = decode(&x[w.i], x.size() - w.i), c2 = decode(&y[w.j], y.size() - w.j);
        if (!w.tie) w.tie = c1.cp < c2.cp ? -1 : 1;
        const std::int32_t f1 = fold(c1.cp), f2 = fold(c2.cp);
        if (f1 != f2) return {w.i, w.j, w.tie, f1 < f2 ? -2 : 2};
        w.i += c1.used, w.j += c2.used;
    }
    return w;
}

// Case-blind order: the first difference, else the tie-break if the rest is all blanks.
inline int normCompare(const Bytes& x, const Bytes& y, const Fold& hostFold) {
    const Walk w = walk(x, y, hostFold);
    const bool xLeft = w.i < x.size();
    if (w.order) return w.order;
    const bool blankRest =
        (xLeft ? x : y).find_first_not_of(std::uint8_t{' '}, xLeft ? w.i : w.j) == Bytes::npos;
    return blankRest ? w.tie : xLeft ? 2 : -2;
}

inline bool normEqual(const Bytes& x, const Bytes& y, const Fold& bmpFold, const Fold& hostFold) {
    if (x.empty() || y.empty()) return x.empty() && y.empty();
    const Walk w =
        walk(x, y, [&](std::uint32_t c) { return c < 0x10000 ? bmpFold(c) : hostFold(c); });
    return !w.order && w.i == x.size() && w.j == y.size();
}

// Trailing blanks: the last character (lead plus following continuation bytes) must be
// a shortest-form encoding of a blank. Options 0: the space only; 2: the Unicode spaces;
// 1: those and the controls 09-0D and U+0085.
inline std::uint64_t stripBlanks(const Bytes& s, unsigned options) {
    std::size_t len = s.size();
    while (len > 0) {
        std::size_t lead = len - 1;
        while (lead > 0 && isCont(s[lead]))
            --lead;
        const std::size_t n = len - lead;
        if (isCont(s[lead]) || n != static_cast<std::size_t>(announced(s[lead])) ||
            !canLead(s[lead]))
            break;
        const std::uint32_t c = decode(&s[lead], n).cp;
        const bool space = c == 0x20 || c == 0xA0 || c == 0x1680 || (c >= 0x2000 && c <= 0x200A) ||
                           c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F || c == 0x3000;
        const bool blank = options == 0
                               ? c == 0x20
                               : space || (options != 2 && ((c >= 9 && c <= 13) || c == 0x85));
        if (!blank || n == 4 || (n == 3 && c < 0x800) || (n == 2 && c < 0x80))
            break; // or not in shortest form
        len = lead;
    }
    return len;
}

} // namespace xrref
