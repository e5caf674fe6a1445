// Journal forwarders: the journal formats and writes; these only hand the values on.
#include <cstdarg>

#include "xr/xrhost.h"
#include "xr/xrjournal.h"

extern "C" {

XRStatus xrlMessageToBuf(XRJnlh jnl, const XRChar* fmt, XRStrSize fmtL, XRChar* msg, XRStrSize msgL,
                         XRStrSize* cnvL, ...) {
    va_list args;
    va_start(args, cnvL);
    XRStatus rc = jnl->messageToBuf(jnl, fmt, fmtL, msg, msgL, cnvL, args);
    va_end(args);
    return rc;
}

XRStatus xrlMessageToJnl(XRJnlh jnl, XRSeverity sev, const XRChar* fmt, XRStrSize fmtL, ...) {
    va_list args;
    va_start(args, fmtL);
    XRStatus rc = jnl->messageToJnl(jnl, sev, fmt, fmtL, args);
    va_end(args);
    return rc;
}

XRStatus xrlStatusToBuf(XRJnlh jnl, XRStatus inStatus, XRChar* msg, XRStrSize msgL, XRStrSize* cnvL,
                        ...) {
    va_list args;
    va_start(args, cnvL);
    XRStatus rc = jnl->statusToBuf(jnl, inStatus, msg, msgL, cnvL, args);
    va_end(args);
    return rc;
}

XRStatus xrlStatusToJnl(XRJnlh jnl, XRSeverity sev, XRStatus inStatus, ...) {
    va_list args;
    va_start(args, inStatus);
    XRStatus rc = jnl->statusToJnl(jnl, sev, inStatus, args);
    va_end(args);
    return rc;
}

XRLocaleh xrlGetLocale(XRJnlh jnl) {
    return jnl->getLocale(jnl);
}

} // extern "C"
