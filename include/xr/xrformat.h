/* xrkit: message capture, formatting and rendering through the host's formatter and loggers; the host's date-time. */
#ifndef XR_XRFORMAT_H
#define XR_XRFORMAT_H

#include "xr/xrtypes.h"

XR_EXTERN_C_BEGIN

XR_EXTERN_C_END

#endif
