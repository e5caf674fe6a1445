// Leftmost occurrence of a token in an XRChar string.
#include "internal/memkernels.h"
#include "xr/xrmem.h"

extern "C" XRStrSize xrzsndx(const XRChar* str, XRStrSize slen, const XRChar* tok, XRStrSize tlen) {
    if (tlen <= 0) return 0;
    if (slen < tlen) return -1;
    const auto n = static_cast<std::size_t>(slen);
    std::size_t at = xr::mem::findToken(str, n, tok, static_cast<std::size_t>(tlen));
    return at < n ? static_cast<XRStrSize>(at) : -1;
}
