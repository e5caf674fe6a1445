/* xrkit: helpers for blank-padded fixed-width byte fields. */
#ifndef XR_XRFIXED_H
#define XR_XRFIXED_H

#include "xr/xrtypes.h"

XR_EXTERN_C_BEGIN

XR_EXTERN_C_END

#endif
