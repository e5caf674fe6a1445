// Locale-aware UTF-8 conversion and ICU normalization: the host's locale and ICU
// services do the work; these select the entry and add its fixed argument.
#include "xr/xrentry.h"
#include "xr/xrhost.h"
#include "xr/xrlocale.h"

namespace {

// The cached service object, else a fresh one from getIcu. Not stored back: the
// extension record is the host's, and a concurrent getIcu must stay harmless.
XRNLSIcup icuService() {
    XRHndlp h = Exported_XRHandle;
    if (!h || !h->xrnls) return nullptr;
    auto* nls = reinterpret_cast<XRNLS_EXT_S*>(h->xrnls);
    if (nls->icu) return nls->icu;
    XRNLSIcup icu = nullptr;
    return nls->getIcu(h->xrnls, &icu, nullptr) == 0 ? icu : nullptr;
}

XRStatus normCompare(UTF8ConstStr str1, UTF8ByteLength str1L, UTF8ConstStr str2,
                     UTF8ByteLength str2L, int32_t opts, int32_t& result) {
    XRNLSIcup icu = icuService();
    if (!icu) return XRStatusFailed;
    return icu->ivtbl->compare(icu, str1, str1L, str2, str2L, static_cast<uint32_t>(opts), &result);
}

} // namespace

extern "C" {

XRStatus xrzsu8DoubleFormat(XRLocaleh l, double v, int32_t w, int32_t p, XRFlags opt, UTF8Str s,
                            UTF8ByteLength sL, UTF8ByteLength* cvtL) {
    return l->doubleFormatUWithExOpts(l, v, w, p, opt, s, sL, cvtL, nullptr);
}

XRStatus xrzsu8IntfastFormat(XRLocaleh l, intfast_t v, int32_t w, int32_t p, XRFlags opt, UTF8Str s,
                             UTF8ByteLength sL, UTF8ByteLength* cvtL) {
    return l->intfastFormatU(l, v, w, p, opt, s, sL, cvtL);
}

XRStatus xrzsu8IntmaxFormat(XRLocaleh l, intmax_t v, int32_t w, int32_t p, XRFlags opt, UTF8Str s,
                            UTF8ByteLength sL, UTF8ByteLength* cvtL) {
    return l->intmaxFormatU(l, v, w, p, opt, s, sL, cvtL);
}

XRStatus xrzsu8UintfastFormat(XRLocaleh l, uintfast_t v, int32_t w, int32_t p, XRFlags opt,
                              UTF8Str s, UTF8ByteLength sL, UTF8ByteLength* cvtL) {
    return l->uintfastFormatU(l, v, w, p, opt, s, sL, cvtL);
}

XRStatus xrzsu8UintmaxFormat(XRLocaleh l, uintmax_t v, int32_t w, int32_t p, XRFlags opt, UTF8Str s,
                             UTF8ByteLength sL, UTF8ByteLength* cvtL) {
    return l->uintmaxFormatU(l, v, w, p, opt, s, sL, cvtL);
}

XRStatus xrzsu8LongFormat(XRLocaleh l, long v, int32_t w, int32_t p, XRFlags opt, UTF8Str s,
                          UTF8ByteLength sL, UTF8ByteLength* cvtL) {
    return l->longFormatU(l, v, w, p, opt, s, sL, cvtL);
}

XRStatus xrzsu8ULongFormat(XRLocaleh l, unsigned long v, int32_t w, int32_t p, XRFlags opt,
                           UTF8Str s, UTF8ByteLength sL, UTF8ByteLength* cvtL) {
    return l->ulongFormatU(l, v, w, p, opt, s, sL, cvtL);
}

XRStatus xrzsu8IntFormat(XRLocaleh l, int v, int32_t w, int32_t p, XRFlags opt, UTF8Str s,
                         UTF8ByteLength sL, UTF8ByteLength* cvtL) {
    return l->intFormatU(l, v, w, p, opt, s, sL, cvtL);
}

XRStatus xrzsu8UIntFormat(XRLocaleh l, unsigned int v, int32_t w, int32_t p, XRFlags opt, UTF8Str s,
                          UTF8ByteLength sL, UTF8ByteLength* cvtL) {
    return l->uintFormatU(l, v, w, p, opt, s, sL, cvtL);
}

XRStatus xrzsu8ToIntfast(XRLocaleh l, UTF8ConstStr b, UTF8ByteLength bL, XRFlags o, intfast_t* ift,
                         UTF8ByteLength* cvtL) {
    return l->bufToIntfastU(l, b, bL, o, ift, cvtL);
}

XRStatus xrzsu8ToIntmax(XRLocaleh l, UTF8ConstStr b, UTF8ByteLength bL, XRFlags o, intmax_t* im,
                        UTF8ByteLength* cvtL) {
    return l->bufToIntmaxU(l, b, bL, o, im, cvtL);
}

XRStatus xrzsu8ToUintfast(XRLocaleh l, UTF8ConstStr b, UTF8ByteLength bL, XRFlags o,
                          uintfast_t* uif, UTF8ByteLength* cvtL) {
    return l->bufToUintfastU(l, b, bL, o, uif, cvtL);
}

XRStatus xrzsu8ToUintmax(XRLocaleh l, UTF8ConstStr b, UTF8ByteLength bL, XRFlags o, uintmax_t* uim,
                         UTF8ByteLength* cvtL) {
    return l->bufToUintmaxU(l, b, bL, o, uim, cvtL);
}

XRStatus xrzsu8ToLong(XRLocaleh l, UTF8ConstStr b, UTF8ByteLength bL, XRFlags o, long* im,
                      UTF8ByteLength* cvtL) {
    return l->bufToLongU(l, b, bL, o, im, cvtL);
}

XRStatus xrzsu8ToULong(XRLocaleh l, UTF8ConstStr b, UTF8ByteLength bL, XRFlags o,
                       unsigned long* uif, UTF8ByteLength* cvtL) {
    return l->bufToULongU(l, b, bL, o, uif, cvtL);
}

XRStatus xrzsu8ToInt(XRLocaleh l, UTF8ConstStr b, UTF8ByteLength bL, XRFlags o, int* im,
                     UTF8ByteLength* cvtL) {
    return l->bufToIntU(l, b, bL, o, im, cvtL);
}

XRStatus xrzsu8ToUInt(XRLocaleh l, UTF8ConstStr b, UTF8ByteLength bL, XRFlags o, unsigned int* uif,
                      UTF8ByteLength* cvtL) {
    return l->bufToUIntU(l, b, bL, o, uif, cvtL);
}

XRStatus xrzsu8ToDouble(XRLocaleh l, UTF8Str s, UTF8ByteLength sL, double* v,
                        UTF8ByteLength* cvtL) {
    return l->bufToDoubleU(l, s, sL, v, cvtL, nullptr);
}

XRStatus xrzsu8DateFormat(XRLocaleh locale, uint32_t month, uint32_t day, uint32_t year,
                          XRFlags options, UTF8Str fmtbuf, UTF8ByteLength fmtbufL,
                          UTF8ByteLength* cnvL) {
    return locale->dateFormatU(locale, month, day, year, options, fmtbuf, fmtbufL, cnvL);
}

XRStatus xrzsu8DatetimeFormat(XRLocaleh locale, double value, XRFlags options, UTF8Str fmtbuf,
                              UTF8ByteLength fmtbufL, UTF8ByteLength* cnvL) {
    return locale->datetimeFormatU(locale, value, options, fmtbuf, fmtbufL, cnvL);
}

XRStatus xrzsu8TimeFormat(XRLocaleh locale, double value, XRFlags options, UTF8Str fmtbuf,
                          UTF8ByteLength fmtbufL, UTF8ByteLength* cnvL) {
    return locale->timeFormatU(locale, value, options, fmtbuf, fmtbufL, cnvL);
}

XRStatus xrzsu8ToDatetime(XRLocaleh locale, const UTF8Str src, UTF8ByteLength srcL, XRFlags options,
                          double* datetime, UTF8ByteLength* usedL) {
    return locale->bufToDatetimeU(locale, src, srcL, options, datetime, usedL);
}

XRStatus xrzsu8ToDate(XRLocaleh locale, const UTF8Str src, UTF8ByteLength srcL, XRFlags options,
                      uint32_t* month, uint32_t* day, uint32_t* year, UTF8ByteLength* usedL) {
    return locale->bufToDateU(locale, src, srcL, options, month, day, year, usedL);
}

XRStatus xrzsu8ToTime(XRLocaleh locale, const UTF8Str src, UTF8ByteLength srcL, XRFlags options,
                      double* datetime, UTF8ByteLength* usedL) {
    return locale->bufToTimeU(locale, src, srcL, options, datetime, usedL);
}

XRStatus xrzsu8ICUNormalize(UTF8ConstStr in, UTF8ByteLength inL, XRNLSUNormMode mode, int32_t opts,
                            UTF8Str out, UTF8ByteLength outL, UTF8ByteLength* cvtL) {
    XRNLSIcup icu = icuService();
    if (!icu) return XRStatusFailed;
    return icu->ivtbl->normalize(icu, in, inL, mode, opts, out, outL, cvtL);
}

int32_t xrzsu8ICUNormCompare(UTF8ConstStr str1, UTF8ByteLength str1L, UTF8ConstStr str2,
                             UTF8ByteLength str2L, int32_t opts, XRStatus* stat) {
    int32_t result = 0;
    XRStatus rc = normCompare(str1, str1L, str2, str2L, opts, result);
    if (stat) *stat = rc;
    return result;
}

XRBoolean xrzsu8ICUNormEqual(UTF8ConstStr str1, UTF8ByteLength str1L, UTF8ConstStr str2,
                             UTF8ByteLength str2L, int32_t opts, XRStatus* stat) {
    int32_t result = 0;
    XRStatus rc = normCompare(str1, str1L, str2, str2L, opts, result);
    if (stat) *stat = rc;
    return rc == 0 && result == 0;
}

} // extern "C"
