// Text helpers of the reference host: XRChar strings and their UTF-8 form.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "xr/xrtypes.h"

namespace xrhost {

using XRText = std::vector<XRChar>;

// UTF-8 to XRChar units; an ill-formed sequence becomes U+FFFD.
XRText fromUtf8(std::string_view utf8);
// Strict UTF-8 to XRChar units, appended to out up to the first ill-formed sequence;
// returns that sequence's byte offset, or utf8.size() when every character is well formed.
std::size_t decodeStrict(std::string_view utf8, XRText& out);
// XRChar units to UTF-8; a unit that is no scalar value becomes U+FFFD.
std::string toUtf8(const XRChar* text, std::size_t len);
inline std::string toUtf8(const XRText& t) {
    return toUtf8(t.data(), t.size());
}
// A NUL-terminated copy, for the formatter's %s.
XRText zText(std::string_view utf8);

} // namespace xrhost
