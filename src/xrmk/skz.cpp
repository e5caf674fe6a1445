// Letter case of XRChar strings in place. ASCII always goes through the tables;
// everything else goes to the host's NLS extension when the host has one, so that
// the host's notion of case wins wherever it has one.
#include "internal/skztbl.h"
#include "xr/xrcase.h"
#include "xr/xrentry.h"
#include "xr/xrhost.h"

namespace {

using xrkit::casetab::tableLower;
using xrkit::casetab::tableUpper;

enum class Direction { Lower, Upper };

// Null when the library has not been entered or the host has no NLS extension.
XRNLS_EXT_S* nlsExtension() {
    XRHndlp host = Exported_XRHandle;
    return host ? reinterpret_cast<XRNLS_EXT_S*>(host->xrnls) : nullptr;
}

template <Direction D> XRChar tableCase(XRChar c) {
    return D == Direction::Lower ? tableLower(c) : tableUpper(c);
}

template <Direction D> void tableCaseAll(XRChar* s, XRStrSize n) {
    for (XRStrSize i = 0; i < n; ++i)
        s[i] = tableCase<D>(s[i]);
}

template <Direction D> void nlsCaseAll(XRNLS_EXT_S* nls, XRChar* s, XRStrSize n) {
    auto hostCase = D == Direction::Lower ? nls->charDowncase : nls->charUpcase;
    for (XRStrSize i = 0; i < n; ++i) {
        // Negative units have high bits set too, so they go to the host as well.
        if (static_cast<uint32_t>(s[i]) & ~0x7Fu)
            s[i] = hostCase(&nls->ext, s[i], 1);
        else
            s[i] = tableCase<D>(s[i]);
    }
}

template <Direction D> void mapCase(XRChar* s, XRStrSize n) {
    if (n <= 0) return;
    if (XRNLS_EXT_S* nls = nlsExtension())
        nlsCaseAll<D>(nls, s, n);
    else
        tableCaseAll<D>(s, n);
}

} // namespace

extern "C" {

void xrzstlo(XRChar* string, XRStrSize slen) {
    mapCase<Direction::Lower>(string, slen);
}

void xrzstup(XRChar* string, XRStrSize slen) {
    mapCase<Direction::Upper>(string, slen);
}

XRChar xrtolower(XRChar ch) {
    mapCase<Direction::Lower>(&ch, 1);
    return ch;
}

XRChar xrtoupper(XRChar ch) {
    mapCase<Direction::Upper>(&ch, 1);
    return ch;
}

} // extern "C"
