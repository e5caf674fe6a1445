/* xrkit: XRChar case mapping, case-blind comparison and the case tables. */
#ifndef XR_XRCASE_H
#define XR_XRCASE_H

#include "xr/xrtypes.h"

XR_EXTERN_C_BEGIN

XR_EXTERN_C_END

#endif
