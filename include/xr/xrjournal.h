/* xrkit: journal forwarders. Each passes its arguments, the journal first and the
 * variable values last as a va_list, to one operation of the journal record and
 * returns that operation's result unchanged. The journal is not tested for null. */
#ifndef XR_XRJOURNAL_H
#define XR_XRJOURNAL_H

#include "xr/xrtypes.h"

XR_EXTERN_C_BEGIN

XR_API XRStatus xrlMessageToBuf(XRJnlh jnl, const XRChar* fmt, XRStrSize fmtL, XRChar* msg,
                                XRStrSize msgL, XRStrSize* cnvL, ...);
XR_API XRStatus xrlMessageToJnl(XRJnlh jnl, XRSeverity sev, const XRChar* fmt, XRStrSize fmtL, ...);
XR_API XRStatus xrlStatusToBuf(XRJnlh jnl, XRStatus inStatus, XRChar* msg, XRStrSize msgL,
                               XRStrSize* cnvL, ...);
XR_API XRStatus xrlStatusToJnl(XRJnlh jnl, XRSeverity sev, XRStatus inStatus, ...);
XR_API XRLocaleh xrlGetLocale(XRJnlh jnl);

XR_EXTERN_C_END

#endif
