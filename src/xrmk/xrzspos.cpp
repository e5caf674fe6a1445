// Position of a character in an XRChar string.
#include "internal/memkernels.h"
#include "xr/xrmem.h"

extern "C" XRStrSize xrzspos(const XRChar* str, XRStrSize len, XRChar c) {
    if (!str || len < 1) return -1;
    const auto n = static_cast<std::size_t>(len);
    std::size_t at = xr::mem::scan<xr::mem::Want::Equal>(str, n, c);
    return at < n ? static_cast<XRStrSize>(at) : -1;
}
