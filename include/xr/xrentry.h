/* xrkit: extension entry points, the saved host handle and the version record. */
#ifndef XR_XRENTRY_H
#define XR_XRENTRY_H

#include "xr/xrtypes.h"

XR_EXTERN_C_BEGIN

/* The host handle saved by the last xrextver or xrextent call; null until then. */
XR_API extern XRHndlp Exported_XRHandle;

/* Saves handle (null included) and returns 0. */
XR_API int xrextent(XRHndlp handle);

/* Stores 9 into *major and 1 into *minor (interface 9.1), saves hndl, returns 0. */
XR_API int xrextver(XRHndlp hndl, size_t* major, size_t* minor);

/* Version record: 26 words. The texts belong to the library, valid while it is loaded. */
typedef struct XRSREVISION_S {
    const char* portdate;
    const char* track_lookthrough;
    const char* track_additional;
    int64_t build_epoch;
    const char* product_name;
    const char* script_name;
    const char* script_dvd;
    const char* script_loc;
    const char* maintenance;
    const char* version;
    const char* os_version;
    const char* hotfix;
    const char* hotfix_Install;
    const char* description;
    const char* description_Install;
    const char* environment;
    const char* build_time;
    int64_t prodid;
    void* expansion[8];
} XRS_Version_Info;

/* Copies the library's version record into *verinfo (text pointers, not copies). */
XR_API void xrvercn1(XRS_Version_Info* verinfo);

XR_EXTERN_C_END

#endif
