// The host's current date-time, through ConfigureSystem service 16.
#include "xr/xrentry.h"
#include "xr/xrformat.h"
#include "xr/xrhost.h"

extern "C" double xrzdtgmt(double* offset) {
    xrzTime_t now{0.0, 0.0};
    if (XRHndlp h = Exported_XRHandle)
        (void)h->ConfigureSystem(h, XR_CONFIG_SERVICE_TIME, &now, XR_CONFIG_TIME_FLAGS);
    if (offset) *offset = -now.offset;
    return now.gmt;
}
