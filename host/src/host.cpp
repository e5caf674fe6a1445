#include "xrhost/host.h"

#include <algorithm>
#include <cstring>
#include <ctime>

#include "xrhost/format.h"
#include "xrhost/journal.h"
#include "xrhost/message.h"

namespace xrhost {
namespace {

XRStatus configureSystem(XRHndlp, int32_t service, void* data, XRFlags) {
    if (service != XR_CONFIG_SERVICE_TIME || !data) return XRStatusUnsupported;
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    tm local{};
    localtime_r(&now.tv_sec, &local);
    auto* t = static_cast<xrzTime_t*>(data);
    t->gmt = static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
    t->offset = -static_cast<double>(local.tm_gmtoff);
    return 0;
}

XRExtensionh loadExtension(XRHndlp h, const char* name, XRMemSize nameL, XRJnlh) {
    static constexpr char kUnidata[] = "xrnlsudb";
    if (!name || nameL != sizeof kUnidata - 1 || std::memcmp(name, kUnidata, nameL) != 0)
        return nullptr;
    return Host::from(h)->loadUnidata();
}

XRZCapturedp msgCaptureV(XRHndlp h, XRPoolh pool, XRStatus status, va_list args) {
    Host* host = Host::from(h);
    return capture(host->catalog(), host->poolOr(pool), status, args);
}

XRStatus msgFormatBuffV(XRHndlp, XRZFmtInfop, const XRChar* fmt, XRStrSize fmtL, XRChar* dest,
                        XRStrSize destL, XRStrSize* cnvL, void*, va_list args) {
    XRText text;
    formatTo(text, fmt, static_cast<std::size_t>(std::max<XRStrSize>(fmtL, 0)), args);
    return copyOut(text, dest, destL, cnvL);
}

XRZRenderedp msgRender(XRHndlp h, XRZFmtInfop, XRPoolh pool, XRZCapturedp captured) {
    if (!captured) return nullptr;
    Host* host = Host::from(h);
    return makeRendered(host->poolOr(pool), renderText(host->catalog(), *captured));
}

XRZRenderedp msgRenderFmtV(XRHndlp h, XRZFmtInfop, XRPoolh pool, const XRChar* fmt, XRStrSize fmtL,
                           va_list args) {
    if (!fmt && fmtL > 0) return nullptr;
    XRText text;
    formatTo(text, fmt, static_cast<std::size_t>(std::max<XRStrSize>(fmtL, 0)), args);
    return makeRendered(Host::from(h)->poolOr(pool), text);
}

XRStatus msgStatusBuffV(XRHndlp h, XRZFmtInfop, XRStatus status, XRChar* dest, XRStrSize destL,
                        XRStrSize* cnvL, va_list args) {
    return copyOut(catalogMessage(Host::from(h)->catalog(), status, args), dest, destL, cnvL);
}

} // namespace

Host::Host()
    : rec_{nullptr,         nullptr,    &configureSystem, &loadExtension, &msgCaptureV,
           &msgFormatBuffV, &msgRender, &msgRenderFmtV,   &msgStatusBuffV},
      unidata_{{1, "xrnlsudb", nullptr}, &rec_} {}

void Host::setDefaultLocale(XRLocaleh locale) {
    nlsGlobal_.defaultLocale = locale;
    rec_.sknls_global = &nlsGlobal_;
}

} // namespace xrhost
