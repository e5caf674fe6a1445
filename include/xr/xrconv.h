/* xrkit: Unicode transcoding: code-unit converters and whole-buffer drivers. */
#ifndef XR_XRCONV_H
#define XR_XRCONV_H

#include "xr/xrtypes.h"

XR_EXTERN_C_BEGIN

XR_EXTERN_C_END

#endif
