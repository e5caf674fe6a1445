#include "encodings.h"

#include <algorithm>
#include <cstdio>

#include "io.h"

namespace xrkit {
namespace {

const Encoding kEncodings[] = {
    {"UTF-8", "utf8", Form::Utf8, Order::None, ""},
    {"UTF-16", "utf16", Form::Utf16, Order::Marked,
     "byte order from a byte-order mark (big-endian without one); written with a mark, "
     "little-endian"},
    {"UTF-16LE", "utf16le", Form::Utf16, Order::Little, ""},
    {"UTF-16BE", "utf16be", Form::Utf16, Order::Big, ""},
    {"UTF-32", "utf32", Form::Utf32, Order::Marked, "byte order as UTF-16"},
    {"UTF-32LE", "utf32le", Form::Utf32, Order::Little, ""},
    {"UTF-32BE", "utf32be", Form::Utf32, Order::Big, ""},
    {"UCS-2", "ucs2", Form::Ucs2, Order::Marked, "the BMP in single units; byte order as UTF-16"},
    {"UCS-2LE", "ucs2le", Form::Ucs2, Order::Little, ""},
    {"UCS-2BE", "ucs2be", Form::Ucs2, Order::Big, ""},
    {"CESU-8", "cesu8", Form::Cesu8, Order::None,
     "UTF-8 with each character above U+FFFF as two 3-byte surrogates"},
    {"MUTF-8", "mutf8 modified-utf-8", Form::Mutf8, Order::None, "CESU-8 with NUL as C0 80"},
};

// Lower case without '-' and '_': the spelling names are compared in.
std::string squeezed(const std::string& name) {
    std::string out;
    for (char c : name)
        if (c != '-' && c != '_') out += static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    return out;
}

bool isNameOf(const Encoding& e, const std::string& key) {
    if (squeezed(e.name) == key) return true;
    std::string alias;
    for (const char* a = e.aliases;; ++a) {
        if (*a == ' ' || *a == '\0') {
            if (!alias.empty() && squeezed(alias) == key) return true;
            alias.clear();
            if (*a == '\0') return false;
        } else {
            alias += *a;
        }
    }
}

struct Range {
    std::uint8_t lo, hi;
};

// Matches p against the byte ranges of one well-formed sequence.
Sequence match(const std::uint8_t* p, std::size_t n, bool ended, std::initializer_list<Range> rs) {
    std::uint8_t i = 0;
    for (const Range& r : rs) {
        if (i == n) return {ended ? Verdict::Truncated : Verdict::Incomplete, i, 0xFFFD};
        if (p[i] < r.lo || p[i] > r.hi) return {Verdict::Bad, std::max(i, std::uint8_t{1}), 0xFFFD};
        ++i;
    }
    return {Verdict::Good, i, 0};
}

std::uint32_t threeByteValue(const std::uint8_t* p) {
    return (p[0] & 0x0Fu) << 12 | (p[1] & 0x3Fu) << 6 | (p[2] & 0x3Fu);
}

// CESU-8 and modified UTF-8: UTF-8 of the BMP, a character above it as the two 3-byte
// forms of its surrogates, and in modified UTF-8 NUL also as C0 80.
Sequence decodeCesu(const std::uint8_t* p, std::size_t n, bool ended, bool modifiedNul) {
    constexpr Range kCont{0x80, 0xBF};
    const std::uint8_t b = p[0];
    if (b == 0xC0 && modifiedNul) {
        Sequence s = match(p, n, ended, {{0xC0, 0xC0}, {0x80, 0x80}});
        if (s.verdict == Verdict::Good) s.cp = 0;
        return s;
    }
    if (b >= 0xF0) return {Verdict::Bad, 1, 0xFFFD}; // no four-byte forms
    if (b != 0xED || n == 1) return utf8::next(p, n, ended);
    if (p[1] >= 0x80 && p[1] <= 0x9F) return utf8::next(p, n, ended);
    Sequence s =
        match(p, n, ended, {{0xED, 0xED}, {0xA0, 0xAF}, kCont, {0xED, 0xED}, {0xB0, 0xBF}, kCont});
    if (s.verdict == Verdict::Good)
        s.cp = 0x10000 + ((threeByteValue(p) - 0xD800) << 10) + (threeByteValue(p + 3) - 0xDC00);
    return s;
}

std::uint32_t unit16(const std::uint8_t* p, bool little) {
    return little ? p[0] | p[1] << 8 : p[0] << 8 | p[1];
}

Sequence cut(std::size_t n, bool ended) {
    return {ended ? Verdict::Truncated : Verdict::Incomplete, static_cast<std::uint8_t>(n), 0xFFFD};
}

Sequence decodeUtf16(const std::uint8_t* p, std::size_t n, bool ended, bool little, bool pairs) {
    if (n < 2) return cut(n, ended);
    const std::uint32_t u = unit16(p, little);
    if (u < 0xD800 || u > 0xDFFF) return {Verdict::Good, 2, u};
    if (!pairs || u >= 0xDC00) return {Verdict::Bad, 2, 0xFFFD};
    if (n < 4) return cut(n, ended);
    const std::uint32_t v = unit16(p + 2, little);
    // A high surrogate without its low one is bad alone; what follows it is read afresh.
    if (v < 0xDC00 || v > 0xDFFF) return {Verdict::Bad, 2, 0xFFFD};
    return {Verdict::Good, 4, 0x10000 + ((u - 0xD800) << 10) + (v - 0xDC00)};
}

Sequence decodeUtf32(const std::uint8_t* p, std::size_t n, bool ended, bool little) {
    if (n < 4) return cut(n, ended);
    const std::uint32_t v = little ? p[0] | p[1] << 8 | p[2] << 16 | std::uint32_t{p[3]} << 24
                                   : std::uint32_t{p[0]} << 24 | p[1] << 16 | p[2] << 8 | p[3];
    if (v > 0x10FFFF || (v >= 0xD800 && v <= 0xDFFF)) return {Verdict::Bad, 4, 0xFFFD};
    return {Verdict::Good, 4, v};
}

} // namespace

std::span<const Encoding> encodings() {
    return kEncodings;
}

const Encoding& findEncoding(const std::string& name) {
    const std::string key = squeezed(name);
    for (const Encoding& e : kEncodings)
        if (isNameOf(e, key)) return e;
    throw UsageError(name + ": unknown encoding ('xrkit --list' shows the known ones)");
}

const Encoding& inOrder(const Encoding& e, Order order) {
    for (const Encoding& c : kEncodings)
        if (c.form == e.form && c.order == order) return c;
    return e;
}

unsigned unitSize(Form form) {
    return form == Form::Utf32 ? 4 : form == Form::Utf16 || form == Form::Ucs2 ? 2 : 1;
}

bool bmpOnly(Form form) {
    return form == Form::Ucs2 || form == Form::Cesu8 || form == Form::Mutf8;
}

std::size_t byteOrderMark(const Encoding& e, std::uint8_t* out) {
    const bool little = e.order == Order::Little;
    switch (unitSize(e.form)) {
    case 1:
        out[0] = 0xEF, out[1] = 0xBB, out[2] = 0xBF;
        return 3;
    case 2:
        out[0] = little ? 0xFF : 0xFE, out[1] = little ? 0xFE : 0xFF;
        return 2;
    default:
        out[0] = little ? 0xFF : 0, out[1] = little ? 0xFE : 0;
        out[2] = little ? 0 : 0xFE, out[3] = little ? 0 : 0xFF;
        return 4;
    }
}

Sequence decodeOne(const Encoding& e, const std::uint8_t* p, std::size_t n, bool ended) {
    const bool little = e.order == Order::Little;
    switch (e.form) {
    case Form::Utf8:
        return utf8::next(p, n, ended);
    case Form::Utf16:
        return decodeUtf16(p, n, ended, little, true);
    case Form::Ucs2:
        return decodeUtf16(p, n, ended, little, false);
    case Form::Utf32:
        return decodeUtf32(p, n, ended, little);
    case Form::Cesu8:
        return decodeCesu(p, n, ended, false);
    case Form::Mutf8:
        return decodeCesu(p, n, ended, true);
    }
    return {Verdict::Bad, 1, 0xFFFD};
}

std::string hexBytes(const std::uint8_t* p, std::size_t n) {
    std::string bytes;
    char hex[4];
    for (std::size_t i = 0; i < n; ++i) {
        std::snprintf(hex, sizeof hex, i ? " %02X" : "%02X", p[i]);
        bytes += hex;
    }
    return bytes;
}

std::string describeBad(const char* encodingName, const Sequence& s, const std::uint8_t* p,
                        std::uint64_t offset) {
    const std::string bytes = hexBytes(p, s.size);
    const std::string at = "byte offset " + std::to_string(offset);
    if (s.verdict == Verdict::Truncated)
        return std::string("incomplete ") + encodingName + " sequence " + bytes +
               " at the end of the input (" + at + ")";
    return std::string("ill-formed ") + encodingName + " sequence " + bytes + " at " + at;
}

} // namespace xrkit
