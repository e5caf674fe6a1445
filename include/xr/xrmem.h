/* xrkit: byte and XRChar memory and string primitives. */
#ifndef XR_XRMEM_H
#define XR_XRMEM_H

#include "xr/xrtypes.h"

XR_EXTERN_C_BEGIN

XR_EXTERN_C_END

#endif
