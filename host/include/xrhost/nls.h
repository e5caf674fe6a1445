// The reference host's NLS extension, backed by ICU: character case mapping and
// general categories, and the ICU service object handed out by getIcu.
//
// charIsCategory(nls, c, mask) is true when the general category of c has its bit
// set in mask. The bits of an XRUnidataGC:
//
//   0 Lu   1 Ll   2 Lt   3 Mn   4 Mc   5 Me   6 Lm   7 Lo   8 Nd   9 Nl
//  10 No  11 Zs  12 Zl  13 Zp  14 Cc  15 Cf  16 Co  17 Cs  18 Cn  19 Pc
//  20 Pd  21 Ps  22 Pe  23 Pi  24 Pf  25 Po  26 Sm  27 Sc  28 Sk  29 So
//
// so 0x38 asks for the combining marks (Mn, Mc, Me). A value that is no code point
// belongs to Cn.
#pragma once

#include "xr/xrhost.h"

namespace xrhost {

class Host;

namespace gc {
enum : XRUnidataGC {
    Lu = 1u << 0,
    Ll = 1u << 1,
    Lt = 1u << 2,
    Mn = 1u << 3,
    Mc = 1u << 4,
    Me = 1u << 5,
    Lm = 1u << 6,
    Lo = 1u << 7,
    Nd = 1u << 8,
    Nl = 1u << 9,
    No = 1u << 10,
    Zs = 1u << 11,
    Zl = 1u << 12,
    Zp = 1u << 13,
    Cc = 1u << 14,
    Cf = 1u << 15,
    Co = 1u << 16,
    Cs = 1u << 17,
    Cn = 1u << 18,
    Pc = 1u << 19,
    Pd = 1u << 20,
    Ps = 1u << 21,
    Pe = 1u << 22,
    Pi = 1u << 23,
    Pf = 1u << 24,
    Po = 1u << 25,
    Sm = 1u << 26,
    Sc = 1u << 27,
    Sk = 1u << 28,
    So = 1u << 29,
    Marks = Mn | Mc | Me,
};
} // namespace gc

// The category bit of c, as charIsCategory sees it.
XRUnidataGC categoryOf(XRChar c);

class Nls {
  public:
    // An NLS extension of host; attach() makes it the host's xrnls.
    explicit Nls(Host& host);
    Nls(const Nls&) = delete;
    Nls& operator=(const Nls&) = delete;

    XRExtensionh handle() { return &rec_.ext; }
    XRNLS_EXT_S& record() { return rec_; }
    static Nls* from(XRExtensionh h) { return reinterpret_cast<Nls*>(h); }
    void attach();

    // What getIcu hands out (null: getIcu fails with XRStatusFailed).
    void setIcuService(XRNLSIcup icu) { icuService_ = icu; }
    XRNLSIcup icuService() const { return icuService_; }

  private:
    XRNLS_EXT_S rec_; // first member: the handle is the object's address
    Host& host_;
    XRNLSIcup icuService_ = nullptr;
};

} // namespace xrhost
