/* xrkit: message capture, formatting and rendering through the host's formatter and
 * loggers; the host's date-time.
 *
 * Which host is called. The operations that take a locale (directly, or as the
 * `locale` of a caller's XRZFmtInfo) call the host of that locale's NLS extension
 * (locale->xrnls->hndl); with no locale (a null locale, or a null fmtinfo) they call
 * Exported_XRHandle. xrzCapture calls the handle it is given. The operations with a
 * locale argument build an XRZFmtInfo on the stack ({locale, 0, 0}) and pass its
 * address; the "2" operations pass the caller's fmtinfo pointer on, null included.
 * A non-null locale must be a valid host locale: it is not tested.
 *
 * Default locale of the status operations. With no locale, when the host handle's
 * sknls_global block exists, its defaultLocale decides:
 *  - xrzStatusBuff(V): a null defaultLocale gives XRStatusNotAvailable without calling
 *    the host; otherwise the host gets the stack record, whose locale stays null.
 *  - xrzStatus2Buff(V): defaultLocale is first stored into fmtinfo->locale (the record
 *    keeps it), then a null one gives XRStatusNotAvailable; otherwise the host
 *    (still Exported_XRHandle) gets fmtinfo.
 *  - xrzStatus2Buff(V) with a null fmtinfo: treated as a null locale, as xrzStatusBuff
 *    does: a null defaultLocale gives XRStatusNotAvailable, otherwise the host gets the
 *    null fmtinfo. Nothing is written.
 * XRStatusNotAvailable leaves dest and *cnvL untouched. The other operations apply no
 * such rule and call the host with a null locale.
 *
 * No saved handle. While Exported_XRHandle is null (before the host called an entry
 * function), the operations that would call it call nothing: the "Buff" operations
 * return XRStatusNotAvailable, the render operations return null, and xrzdtgmt
 * returns 0.0 and stores -0.0 (a zero offset, negated) into *offset.
 *
 * Statuses and records come back exactly as the host made them; the library never
 * reads or releases a captured or rendered record. */
#ifndef XR_XRFORMAT_H
#define XR_XRFORMAT_H

#include <stdarg.h>

#include "xr/xrtypes.h"

XR_EXTERN_C_BEGIN

/* msgCaptureV of xr: (xr, pool, fmtStatus, values). xr must be a valid host handle. */
XR_API XRZCapturedp xrzCapture(XRHndlp xr, XRPoolh pool, XRStatus fmtStatus, ...);
XR_API XRZCapturedp xrzCaptureV(XRHndlp xr, XRPoolh pool, XRStatus fmtStatus, va_list args);

/* msgFormatBuffV: (host, info, fmt, fmtL, dest, destL, cnvL, null, values). */
XR_API XRStatus xrzFormatBuff(XRLocaleh locale, const XRChar* fmt, XRStrSize fmtL, XRChar* dest,
                              XRStrSize destL, XRStrSize* cnvL, ...);
XR_API XRStatus xrzFormatBuffV(XRLocaleh locale, const XRChar* fmt, XRStrSize fmtL, XRChar* dest,
                               XRStrSize destL, XRStrSize* cnvL, va_list args);

/* msgRender: (host, info, pool, captured). */
XR_API XRZRenderedp xrzRender(XRLocaleh locale, XRPoolh pool, XRZCapturedp captured);

/* msgRenderFmtV: (host, info, pool, fmt, fmtL, values). */
XR_API XRZRenderedp xrzRenderFmt(XRLocaleh locale, XRPoolh pool, const XRChar* fmt, XRStrSize fmtL,
                                 ...);
XR_API XRZRenderedp xrzRenderFmtV(XRLocaleh locale, XRPoolh pool, const XRChar* fmt, XRStrSize fmtL,
                                  va_list args);

/* msgStatusBuffV: (host, info, fmtStatus, dest, destL, cnvL, values); default-locale rule. */
XR_API XRStatus xrzStatusBuff(XRLocaleh locale, XRStatus fmtStatus, XRChar* dest, XRStrSize destL,
                              XRStrSize* cnvL, ...);
XR_API XRStatus xrzStatusBuffV(XRLocaleh locale, XRStatus fmtStatus, XRChar* dest, XRStrSize destL,
                               XRStrSize* cnvL, va_list args);

/* The same with the caller's formatter info record in place of the locale. */
XR_API XRStatus xrzFormat2Buff(XRZFmtInfop fmtinfo, const XRChar* fmt, XRStrSize fmtL, XRChar* dest,
                               XRStrSize destL, XRStrSize* cnvL, ...);
XR_API XRStatus xrzFormat2BuffV(XRZFmtInfop fmtinfo, const XRChar* fmt, XRStrSize fmtL,
                                XRChar* dest, XRStrSize destL, XRStrSize* cnvL, va_list args);
XR_API XRZRenderedp xrzRender2(XRZFmtInfop fmtinfo, XRPoolh pool, XRZCapturedp captured);
XR_API XRZRenderedp xrzRender2Fmt(XRZFmtInfop fmtinfo, XRPoolh pool, const XRChar* fmt,
                                  XRStrSize fmtL, ...);
XR_API XRZRenderedp xrzRender2FmtV(XRZFmtInfop fmtinfo, XRPoolh pool, const XRChar* fmt,
                                   XRStrSize fmtL, va_list args);
XR_API XRStatus xrzStatus2Buff(XRZFmtInfop fmtinfo, XRStatus fmtStatus, XRChar* dest,
                               XRStrSize destL, XRStrSize* cnvL, ...);
XR_API XRStatus xrzStatus2BuffV(XRZFmtInfop fmtinfo, XRStatus fmtStatus, XRChar* dest,
                                XRStrSize destL, XRStrSize* cnvL, va_list args);

/* The logger's CaptureV: (logger, status, values). */
XR_API XRZCapturedp LoggerCapture(Loggerp logger, XRStatus status, ...);
/* The logger's RenderV: (logger, null locale, msg, msgL, values); msg is a format string. */
XR_API XRZRenderedp LoggerRender(Loggerp logger, const XRChar* msg, XRStrSize msgL, ...);

/* The host's current date-time (GMT, on the host's date-time scale), from
 * ConfigureSystem service 16 of Exported_XRHandle. When offset is not null it receives
 * the negated time-zone offset of the host. */
XR_API double xrzdtgmt(double* offset);

XR_EXTERN_C_END

#endif
