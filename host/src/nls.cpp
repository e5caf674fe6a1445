#include "xrhost/nls.h"

#include <unicode/uchar.h>

#include "xrhost/host.h"

namespace xrhost {
namespace {

constexpr XRUnidataGC kByIcuCategory[U_CHAR_CATEGORY_COUNT] = {
    gc::Cn, gc::Lu, gc::Ll, gc::Lt, gc::Lm, gc::Lo, gc::Mn, gc::Me, gc::Mc, gc::Nd,
    gc::Nl, gc::No, gc::Zs, gc::Zl, gc::Zp, gc::Cc, gc::Cf, gc::Co, gc::Cs, gc::Pd,
    gc::Ps, gc::Pe, gc::Pc, gc::Po, gc::Sm, gc::Sc, gc::Sk, gc::So, gc::Pi, gc::Pf,
};

bool isCodePoint(XRChar c) {
    return c >= 0 && c <= 0x10FFFF;
}

XRChar upcase(XRExtensionh, XRChar c, int32_t) {
    return isCodePoint(c) ? u_toupper(c) : c;
}
XRChar downcase(XRExtensionh, XRChar c, int32_t) {
    return isCodePoint(c) ? u_tolower(c) : c;
}

XRStatus getIcu(XRExtensionh e, XRNLSIcup* icu, void*) {
    XRNLSIcup service = Nls::from(e)->icuService();
    if (!service) return XRStatusFailed;
    *icu = service;
    return 0;
}

XRBoolean isCategory(XRExtensionh, XRChar c, XRUnidataGC mask) {
    return (categoryOf(c) & mask) != 0;
}

} // namespace

XRUnidataGC categoryOf(XRChar c) {
    if (!isCodePoint(c)) return gc::Cn;
    return kByIcuCategory[u_charType(c)];
}

Nls::Nls(Host& host)
    : rec_{{{1, "xrhost.nls", nullptr}, host.handle()},
           &upcase,
           &downcase,
           &getIcu,
           &isCategory,
           nullptr,
           nullptr},
      host_(host) {}

void Nls::attach() {
    host_.record().xrnls = handle();
}

} // namespace xrhost
