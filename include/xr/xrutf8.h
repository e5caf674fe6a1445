/* xrkit: the UTF-8 text kit: sizing, counting, comparison, copying, stripping, modified UTF-8, character classes. */
#ifndef XR_XRUTF8_H
#define XR_XRUTF8_H

#include "xr/xrtypes.h"

XR_EXTERN_C_BEGIN

XR_EXTERN_C_END

#endif
