#include "xrhost/text.h"

#include <unicode/utf8.h>

namespace xrhost {

XRText fromUtf8(std::string_view utf8) {
    XRText out;
    out.reserve(utf8.size());
    const auto* s = reinterpret_cast<const uint8_t*>(utf8.data());
    const int32_t n = static_cast<int32_t>(utf8.size());
    for (int32_t i = 0; i < n;) {
        UChar32 c;
        U8_NEXT(s, i, n, c);
        out.push_back(c < 0 ? 0xFFFD : c);
    }
    return out;
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
