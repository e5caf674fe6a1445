/* xrkit: every public header. */
#ifndef XR_XRKIT_H
#define XR_XRKIT_H

#include "xr/xrtypes.h"
#include "xr/xrhost.h"
#include "xr/xrentry.h"
#include "xr/xrjournal.h"
#include "xr/xrdump.h"

#endif
