// Logger forwarders: the logger's own services capture and render.
#include <cstdarg>

#include "xr/xrformat.h"
#include "xr/xrhost.h"

extern "C" {

XRZCapturedp LoggerCapture(Loggerp logger, XRStatus status, ...) {
    va_list args;
    va_start(args, status);
    XRZCapturedp r = logger->logSvcs->CaptureV(logger, status, args);
    va_end(args);
    return r;
}

XRZRenderedp LoggerRender(Loggerp logger, const XRChar* msg, XRStrSize msgL, ...) {
    va_list args;
    va_start(args, msgL);
    XRZRenderedp r = logger->logSvcs->RenderV(logger, nullptr, msg, msgL, args);
    va_end(args);
    return r;
}

} // extern "C"
