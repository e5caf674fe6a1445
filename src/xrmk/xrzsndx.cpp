// Leftmost occurrence of a token in an XRChar string: candidates are found by their
// first unit, then the remaining units are compared in order.
#include <cstring>

#include "internal/memkernels.h"
#include "xr/xrmem.h"

extern "C" XRStrSize xrzsndx(const XRChar* str, XRStrSize slen, const XRChar* tok,
                             XRStrSize tlen) {
    if (tlen <= 0) return 0;
    if (slen < tlen) return -1;
    const auto rest = static_cast<std::size_t>(tlen - 1);
    const auto starts = static_cast<std::size_t>(slen - tlen + 1);
    for (std::size_t pos = 0; pos < starts; ++pos) {
        pos += xr::mem::scan<xr::mem::Want::Equal>(str + pos, starts - pos, tok[0]);
        if (pos == starts) break;
        if (std::memcmp(str + pos + 1, tok + 1, rest * sizeof(XRChar)) == 0)
            return static_cast<XRStrSize>(pos);
    }
    return -1;
}
