// The reference host's ICU service object (XRNLS_COLLATE_S), which the NLS extension
// hands out through getIcu once Nls::setIcuService has been given it.
//
// normalize(in, inL, mode, opts, out, outL, cvtL): in must be well-formed UTF-8
// (XRStatusIllegalSequence otherwise, *cvtL = 0). Modes: NFC, NFD, NFKC, NFKD, FCD
// through ICU's normalizers, NONE copies the text unchanged; any other mode gives
// XRStatusUnsupported. opts carries no bits today and is ignored. When the result
// fits, it is written to out and *cvtL holds its length; otherwise the status is
// XRStatusBufferTooSmall, out is left untouched and *cvtL holds the length needed.
//
// compare(s1, l1, s2, l2, opts, result): canonical-equivalence comparison of two
// well-formed UTF-8 texts (ICU's unorm_compare): *result is -1, 0 or 1. opts are
// unorm_compare's bits: 0x10000 ignores case, 0x8000 orders by code point rather than
// UTF-16 code unit, 0x20000 promises FCD input. An ill-formed text gives
// XRStatusIllegalSequence and leaves *result untouched.
#pragma once

#include "xr/xrhost.h"

namespace xrhost {

class Icu {
  public:
    Icu();
    Icu(const Icu&) = delete;
    Icu& operator=(const Icu&) = delete;
    XRNLSIcup handle() { return &rec_; }

  private:
    XRNLS_COLLATE_S rec_; // first member: the handle is the object's address
};

} // namespace xrhost
