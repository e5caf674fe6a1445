#include "xrhost/text.h"

#include <unicode/utf8.h>

namespace xrhost {

namespace {

// Calls take(c, start) for each character; c is negative for an ill-formed sequence.
// Stops early when take returns false and returns the offset reached.
template <class Take> std::size_t walk(std::string_view utf8, Take take) {
    const auto* s = reinterpret_cast<const uint8_t*>(utf8.data());
    const int64_t n = static_cast<int64_t>(utf8.size());
    int64_t i = 0;
    while (i < n) {
        const int64_t start = i;
        UChar32 c;
        U8_NEXT(s, i, n, c);
        if (!take(c)) return static_cast<std::size_t>(start);
    }
    return utf8.size();
}

} // namespace

XRText fromUtf8(std::string_view utf8) {
    XRText out;
    out.reserve(utf8.size());
    walk(utf8, [&](UChar32 c) {
        out.push_back(c < 0 ? 0xFFFD : c);
        return true;
    });
    return out;
}

std::size_t decodeStrict(std::string_view utf8, XRText& out) {
    out.reserve(out.size() + utf8.size());
    return walk(utf8, [&](UChar32 c) {
        if (c < 0) return false;
        out.push_back(c);
        return true;
    });
}

std::string toUtf8(const XRChar* text, std::size_t len) {
    std::string out;
    out.reserve(len);
    for (std::size_t i = 0; i < len; ++i) {
        UChar32 c = text[i];
        if (c < 0 || c > 0x10FFFF || U_IS_SURROGATE(c)) c = 0xFFFD;
        uint8_t buf[4];
        int32_t k = 0;
        U8_APPEND_UNSAFE(buf, k, c);
        out.append(reinterpret_cast<const char*>(buf), static_cast<std::size_t>(k));
    }
    return out;
}

XRText zText(std::string_view utf8) {
    XRText t = fromUtf8(utf8);
    t.push_back(0);
    return t;
}

} // namespace xrhost
