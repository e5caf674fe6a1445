// A host whose NLS extension folds case by a small fixed rule (ASCII, Latin-1, Greek
// capitals, the Kelvin sign, the Deseret capitals above U+FFFF), so that case-blind
// results can be held to the reference without ICU.
#pragma once

#include <cstdint>

#include "xr/xrentry.h"
#include "xr/xrhost.h"

namespace xrref {

inline std::int32_t testFold(std::uint32_t c) {
    if ((c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7) ||
        (c >= 0x391 && c <= 0x3A9))
        return static_cast<std::int32_t>(c + 0x20);
    if (c == 0x212A) return 'k';
    if (c >= 0x10400 && c <= 0x10427) return static_cast<std::int32_t>(c + 0x28);
    return static_cast<std::int32_t>(c);
}

// Entered (xrextent) by enter(); the saved handle is cleared again by leave().
struct FoldingHost {
    XRNLS_EXT_S nls{};
    XR_HNDL_S host{};
    FoldingHost() {
        nls.charDowncase = [](XRExtensionh, XRChar c, int32_t) {
            return static_cast<XRChar>(testFold(static_cast<std::uint32_t>(c)));
        };
        host.xrnls = &nls.ext;
    }
    void enter() { xrextent(&host); }
    static void leave() { xrextent(nullptr); }
};

} // namespace xrref
