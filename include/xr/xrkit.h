/* xrkit: every public header. */
#ifndef XR_XRKIT_H
#define XR_XRKIT_H

#include "xr/xrcase.h"
#include "xr/xrconv.h"
#include "xr/xrdump.h"
#include "xr/xrentry.h"
#include "xr/xrfixed.h"
#include "xr/xrformat.h"
#include "xr/xrhost.h"
#include "xr/xrjournal.h"
#include "xr/xrlocale.h"
#include "xr/xrmem.h"
#include "xr/xrtypes.h"
#include "xr/xrutf8.h"

#endif
