/* xrkit: locale-aware UTF-8 number and date conversion, and normalization through the
 * host's ICU services.
 *
 * The locale operations call the entry of the same kind in the locale record with the
 * locale first and their own arguments after it, unchanged and in order, and return
 * its status unchanged. xrzsu8DoubleFormat appends a null extended-options pointer,
 * xrzsu8ToDouble a null pipeline pointer. The locale must be a valid host locale: it is
 * not tested. Widths, precisions, option bits and every formatting and parsing rule
 * are the host locale's; dates travel as month, day, year; date-times and times as a
 * double on the host's date-time scale.
 *
 * The ICU operations reach the ICU service object through the NLS extension of
 * Exported_XRHandle: its cached `icu` member, else a fresh object from its getIcu
 * (which the library does not cache). When there is no object (getIcu fails, or no
 * handle or NLS extension has been attached) xrzsu8ICUNormalize returns XRStatusFailed
 * and leaves out and *cvtL untouched; the comparisons store XRStatusFailed into *stat
 * (when stat is not null) and return 0. */
#ifndef XR_XRLOCALE_H
#define XR_XRLOCALE_H

#include "xr/xrtypes.h"

XR_EXTERN_C_BEGIN

/* Formatting into s (sL bytes); *cvtL receives the bytes produced. */
XR_API XRStatus xrzsu8DoubleFormat(XRLocaleh l, double v, int32_t w, int32_t p, XRFlags opt,
                                   UTF8Str s, UTF8ByteLength sL, UTF8ByteLength* cvtL);
XR_API XRStatus xrzsu8IntfastFormat(XRLocaleh l, intfast_t v, int32_t w, int32_t p, XRFlags opt,
                                    UTF8Str s, UTF8ByteLength sL, UTF8ByteLength* cvtL);
XR_API XRStatus xrzsu8IntmaxFormat(XRLocaleh l, intmax_t v, int32_t w, int32_t p, XRFlags opt,
                                   UTF8Str s, UTF8ByteLength sL, UTF8ByteLength* cvtL);
XR_API XRStatus xrzsu8UintfastFormat(XRLocaleh l, uintfast_t v, int32_t w, int32_t p, XRFlags opt,
                                     UTF8Str s, UTF8ByteLength sL, UTF8ByteLength* cvtL);
XR_API XRStatus xrzsu8UintmaxFormat(XRLocaleh l, uintmax_t v, int32_t w, int32_t p, XRFlags opt,
                                    UTF8Str s, UTF8ByteLength sL, UTF8ByteLength* cvtL);
XR_API XRStatus xrzsu8LongFormat(XRLocaleh l, long v, int32_t w, int32_t p, XRFlags opt, UTF8Str s,
                                 UTF8ByteLength sL, UTF8ByteLength* cvtL);
XR_API XRStatus xrzsu8ULongFormat(XRLocaleh l, unsigned long v, int32_t w, int32_t p, XRFlags opt,
                                  UTF8Str s, UTF8ByteLength sL, UTF8ByteLength* cvtL);
XR_API XRStatus xrzsu8IntFormat(XRLocaleh l, int v, int32_t w, int32_t p, XRFlags opt, UTF8Str s,
                                UTF8ByteLength sL, UTF8ByteLength* cvtL);
XR_API XRStatus xrzsu8UIntFormat(XRLocaleh l, unsigned int v, int32_t w, int32_t p, XRFlags opt,
                                 UTF8Str s, UTF8ByteLength sL, UTF8ByteLength* cvtL);

/* Parsing bL bytes at b; *cvtL receives the bytes consumed. */
XR_API XRStatus xrzsu8ToIntfast(XRLocaleh l, UTF8ConstStr b, UTF8ByteLength bL, XRFlags o,
                                intfast_t* ift, UTF8ByteLength* cvtL);
XR_API XRStatus xrzsu8ToIntmax(XRLocaleh l, UTF8ConstStr b, UTF8ByteLength bL, XRFlags o,
                               intmax_t* im, UTF8ByteLength* cvtL);
XR_API XRStatus xrzsu8ToUintfast(XRLocaleh l, UTF8ConstStr b, UTF8ByteLength bL, XRFlags o,
                                 uintfast_t* uif, UTF8ByteLength* cvtL);
XR_API XRStatus xrzsu8ToUintmax(XRLocaleh l, UTF8ConstStr b, UTF8ByteLength bL, XRFlags o,
                                uintmax_t* uim, UTF8ByteLength* cvtL);
XR_API XRStatus xrzsu8ToLong(XRLocaleh l, UTF8ConstStr b, UTF8ByteLength bL, XRFlags o, long* im,
                             UTF8ByteLength* cvtL);
XR_API XRStatus xrzsu8ToULong(XRLocaleh l, UTF8ConstStr b, UTF8ByteLength bL, XRFlags o,
                              unsigned long* uif, UTF8ByteLength* cvtL);
XR_API XRStatus xrzsu8ToInt(XRLocaleh l, UTF8ConstStr b, UTF8ByteLength bL, XRFlags o, int* im,
                            UTF8ByteLength* cvtL);
XR_API XRStatus xrzsu8ToUInt(XRLocaleh l, UTF8ConstStr b, UTF8ByteLength bL, XRFlags o,
                             unsigned int* uif, UTF8ByteLength* cvtL);
XR_API XRStatus xrzsu8ToDouble(XRLocaleh l, UTF8Str s, UTF8ByteLength sL, double* v,
                               UTF8ByteLength* cvtL);

/* Dates (month, day, year) and date-times/times (a double). */
XR_API XRStatus xrzsu8DateFormat(XRLocaleh locale, uint32_t month, uint32_t day, uint32_t year,
                                 XRFlags options, UTF8Str fmtbuf, UTF8ByteLength fmtbufL,
                                 UTF8ByteLength* cnvL);
XR_API XRStatus xrzsu8DatetimeFormat(XRLocaleh locale, double value, XRFlags options,
                                     UTF8Str fmtbuf, UTF8ByteLength fmtbufL, UTF8ByteLength* cnvL);
XR_API XRStatus xrzsu8TimeFormat(XRLocaleh locale, double value, XRFlags options, UTF8Str fmtbuf,
                                 UTF8ByteLength fmtbufL, UTF8ByteLength* cnvL);
XR_API XRStatus xrzsu8ToDatetime(XRLocaleh locale, const UTF8Str src, UTF8ByteLength srcL,
                                 XRFlags options, double* datetime, UTF8ByteLength* usedL);
XR_API XRStatus xrzsu8ToDate(XRLocaleh locale, const UTF8Str src, UTF8ByteLength srcL,
                             XRFlags options, uint32_t* month, uint32_t* day, uint32_t* year,
                             UTF8ByteLength* usedL);
XR_API XRStatus xrzsu8ToTime(XRLocaleh locale, const UTF8Str src, UTF8ByteLength srcL,
                             XRFlags options, double* datetime, UTF8ByteLength* usedL);

/* normalize of the ICU object: in (inL bytes) into out (outL bytes) in the form mode. */
XR_API XRStatus xrzsu8ICUNormalize(UTF8ConstStr in, UTF8ByteLength inL, XRNLSUNormMode mode,
                                   int32_t opts, UTF8Str out, UTF8ByteLength outL,
                                   UTF8ByteLength* cvtL);
/* compare of the ICU object: negative, zero or positive; its status goes to *stat.
 * When compare fails without storing a result, 0 is returned: decide by *stat. */
XR_API int32_t xrzsu8ICUNormCompare(UTF8ConstStr str1, UTF8ByteLength str1L, UTF8ConstStr str2,
                                    UTF8ByteLength str2L, int32_t opts, XRStatus* stat);
/* 1 exactly when compare succeeds and finds the texts equal, else 0. */
XR_API XRBoolean xrzsu8ICUNormEqual(UTF8ConstStr str1, UTF8ByteLength str1L, UTF8ConstStr str2,
                                    UTF8ByteLength str2L, int32_t opts, XRStatus* stat);

XR_EXTERN_C_END

#endif
