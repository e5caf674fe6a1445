// Extension entry: the host hands over its handle here, once or twice, before any
// other call. The last store wins; nothing else is initialised.
#include "xr/xrentry.h"

extern "C" {

XRHndlp Exported_XRHandle = nullptr;

int xrextent(XRHndlp handle) {
    Exported_XRHandle = handle;
    return 0;
}

int xrextver(XRHndlp hndl, size_t* major, size_t* minor) {
    *major = 9;
    *minor = 1;
    Exported_XRHandle = hndl;
    return 0;
}

} // extern "C"
