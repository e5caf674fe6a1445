// The reference host: a working host handle with its message formatter, catalog and
// system services, for running extension code outside the framework.
//
// Date-time scale (ConfigureSystem service 16): `gmt` is seconds since
// 1970-01-01 00:00:00 GMT, with sub-second precision; `offset` is the local time
// zone's distance from GMT in seconds, positive west of Greenwich (the sign of the
// C library's `timezone`), so New York in winter gives 18000.
#pragma once

#include "xr/xrhost.h"
#include "xrhost/catalog.h"

namespace xrhost {

class Host {
  public:
    Host();
    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;

    XRHndlp handle() { return &rec_; }
    static Host* from(XRHndlp h) { return reinterpret_cast<Host*>(h); }
    XR_HNDL_S& record() { return rec_; }

    Catalog& catalog() { return catalog_; }
    const Catalog& catalog() const { return catalog_; }

    // Sets sknls_global to a block whose defaultLocale is locale (null included);
    // detachNlsGlobal() sets it back to null.
    void setDefaultLocale(XRLocaleh locale);
    void detachNlsGlobal() { rec_.sknls_global = nullptr; }

  private:
    XR_HNDL_S rec_; // first member: the handle is the object's address
    Catalog catalog_;
    SKNLS_GLOBAL_S nlsGlobal_{};
};

} // namespace xrhost
