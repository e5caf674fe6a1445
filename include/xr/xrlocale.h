/* xrkit: locale-aware UTF-8 number and date conversion, and normalization through the host's ICU services. */
#ifndef XR_XRLOCALE_H
#define XR_XRLOCALE_H

#include "xr/xrtypes.h"

XR_EXTERN_C_BEGIN

XR_EXTERN_C_END

#endif
