// Formatter forwarders: pick the host to call, build the formatter info record, and
// apply the default-locale rule of the status operations. The host does the formatting.
#include <cstdarg>

#include "xr/xrentry.h"
#include "xr/xrformat.h"
#include "xr/xrhost.h"

namespace {

// A locale belongs to an NLS extension, and through it to a host.
XRHndlp hostOf(XRLocaleh locale) {
    return locale ? locale->xrnls->hndl : Exported_XRHandle;
}

XRLocaleh localeOf(XRZFmtInfop info) {
    return info ? info->locale : nullptr;
}

const SKNLS_GLOBAL_S* nlsGlobal(XRHndlp h) {
    return static_cast<const SKNLS_GLOBAL_S*>(h->sknls_global);
}

XRStatus formatBuff(XRLocaleh locale, XRZFmtInfop info, const XRChar* fmt, XRStrSize fmtL,
                    XRChar* dest, XRStrSize destL, XRStrSize* cnvL, va_list args) {
    XRHndlp h = hostOf(locale);
    if (!h) return XRStatusNotAvailable;
    return h->msgFormatBuffV(h, info, fmt, fmtL, dest, destL, cnvL, nullptr, args);
}

XRZRenderedp render(XRLocaleh locale, XRZFmtInfop info, XRPoolh pool, XRZCapturedp captured) {
    XRHndlp h = hostOf(locale);
    return h ? h->msgRender(h, info, pool, captured) : nullptr;
}

XRZRenderedp renderFmt(XRLocaleh locale, XRZFmtInfop info, XRPoolh pool, const XRChar* fmt,
                       XRStrSize fmtL, va_list args) {
    XRHndlp h = hostOf(locale);
    return h ? h->msgRenderFmtV(h, info, pool, fmt, fmtL, args) : nullptr;
}

XRStatus statusBuff(XRHndlp h, XRZFmtInfop info, XRStatus fmtStatus, XRChar* dest, XRStrSize destL,
                    XRStrSize* cnvL, va_list args) {
    return h->msgStatusBuffV(h, info, fmtStatus, dest, destL, cnvL, args);
}

} // namespace

extern "C" {

XRZCapturedp xrzCaptureV(XRHndlp xr, XRPoolh pool, XRStatus fmtStatus, va_list args) {
    return xr->msgCaptureV(xr, pool, fmtStatus, args);
}

XRZCapturedp xrzCapture(XRHndlp xr, XRPoolh pool, XRStatus fmtStatus, ...) {
    va_list args;
    va_start(args, fmtStatus);
    XRZCapturedp r = xrzCaptureV(xr, pool, fmtStatus, args);
    va_end(args);
    return r;
}

XRStatus xrzFormatBuffV(XRLocaleh locale, const XRChar* fmt, XRStrSize fmtL, XRChar* dest,
                        XRStrSize destL, XRStrSize* cnvL, va_list args) {
    XRZFmtInfo info{locale, 0, 0};
    return formatBuff(locale, &info, fmt, fmtL, dest, destL, cnvL, args);
}

XRStatus xrzFormatBuff(XRLocaleh locale, const XRChar* fmt, XRStrSize fmtL, XRChar* dest,
                       XRStrSize destL, XRStrSize* cnvL, ...) {
    va_list args;
    va_start(args, cnvL);
    XRStatus rc = xrzFormatBuffV(locale, fmt, fmtL, dest, destL, cnvL, args);
    va_end(args);
    return rc;
}

XRZRenderedp xrzRender(XRLocaleh locale, XRPoolh pool, XRZCapturedp captured) {
    XRZFmtInfo info{locale, 0, 0};
    return render(locale, &info, pool, captured);
}

XRZRenderedp xrzRenderFmtV(XRLocaleh locale, XRPoolh pool, const XRChar* fmt, XRStrSize fmtL,
                           va_list args) {
    XRZFmtInfo info{locale, 0, 0};
    return renderFmt(locale, &info, pool, fmt, fmtL, args);
}

XRZRenderedp xrzRenderFmt(XRLocaleh locale, XRPoolh pool, const XRChar* fmt, XRStrSize fmtL, ...) {
    va_list args;
    va_start(args, fmtL);
    XRZRenderedp r = xrzRenderFmtV(locale, pool, fmt, fmtL, args);
    va_end(args);
    return r;
}

XRStatus xrzStatusBuffV(XRLocaleh locale, XRStatus fmtStatus, XRChar* dest, XRStrSize destL,
                        XRStrSize* cnvL, va_list args) {
    XRZFmtInfo info{locale, 0, 0};
    XRHndlp h = hostOf(locale);
    if (!h) return XRStatusNotAvailable;
    if (!locale)
        if (const SKNLS_GLOBAL_S* g = nlsGlobal(h); g && !g->defaultLocale)
            return XRStatusNotAvailable;
    return statusBuff(h, &info, fmtStatus, dest, destL, cnvL, args);
}

XRStatus xrzStatusBuff(XRLocaleh locale, XRStatus fmtStatus, XRChar* dest, XRStrSize destL,
                       XRStrSize* cnvL, ...) {
    va_list args;
    va_start(args, cnvL);
    XRStatus rc = xrzStatusBuffV(locale, fmtStatus, dest, destL, cnvL, args);
    va_end(args);
    return rc;
}

XRStatus xrzFormat2BuffV(XRZFmtInfop fmtinfo, const XRChar* fmt, XRStrSize fmtL, XRChar* dest,
                         XRStrSize destL, XRStrSize* cnvL, va_list args) {
    return formatBuff(localeOf(fmtinfo), fmtinfo, fmt, fmtL, dest, destL, cnvL, args);
}

XRStatus xrzFormat2Buff(XRZFmtInfop fmtinfo, const XRChar* fmt, XRStrSize fmtL, XRChar* dest,
                        XRStrSize destL, XRStrSize* cnvL, ...) {
    va_list args;
    va_start(args, cnvL);
    XRStatus rc = xrzFormat2BuffV(fmtinfo, fmt, fmtL, dest, destL, cnvL, args);
    va_end(args);
    return rc;
}

XRZRenderedp xrzRender2(XRZFmtInfop fmtinfo, XRPoolh pool, XRZCapturedp captured) {
    return render(localeOf(fmtinfo), fmtinfo, pool, captured);
}

XRZRenderedp xrzRender2FmtV(XRZFmtInfop fmtinfo, XRPoolh pool, const XRChar* fmt, XRStrSize fmtL,
                            va_list args) {
    return renderFmt(localeOf(fmtinfo), fmtinfo, pool, fmt, fmtL, args);
}

XRZRenderedp xrzRender2Fmt(XRZFmtInfop fmtinfo, XRPoolh pool, const XRChar* fmt, XRStrSize fmtL,
                           ...) {
    va_list args;
    va_start(args, fmtL);
    XRZRenderedp r = xrzRender2FmtV(fmtinfo, pool, fmt, fmtL, args);
    va_end(args);
    return r;
}

XRStatus xrzStatus2BuffV(XRZFmtInfop fmtinfo, XRStatus fmtStatus, XRChar* dest, XRStrSize destL,
                         XRStrSize* cnvL, va_list args) {
    const XRLocaleh locale = localeOf(fmtinfo);
    XRHndlp h = hostOf(locale);
    if (!h) return XRStatusNotAvailable;
    if (!locale)
        if (const SKNLS_GLOBAL_S* g = nlsGlobal(h)) {
            // The caller's record keeps the default locale after the call.
            if (fmtinfo) fmtinfo->locale = g->defaultLocale;
            if (!g->defaultLocale) return XRStatusNotAvailable;
        }
    return statusBuff(h, fmtinfo, fmtStatus, dest, destL, cnvL, args);
}

XRStatus xrzStatus2Buff(XRZFmtInfop fmtinfo, XRStatus fmtStatus, XRChar* dest, XRStrSize destL,
                        XRStrSize* cnvL, ...) {
    va_list args;
    va_start(args, cnvL);
    XRStatus rc = xrzStatus2BuffV(fmtinfo, fmtStatus, dest, destL, cnvL, args);
    va_end(args);
    return rc;
}

} // extern "C"
