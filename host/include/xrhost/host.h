// The reference host: a working host handle with its message formatter, catalog and
// system services, for running extension code outside the framework.
//
// Date-time scale (ConfigureSystem service 16): `gmt` is seconds since
// 1970-01-01 00:00:00 GMT, with sub-second precision; `offset` is the local time
// zone's distance from GMT in seconds, positive west of Greenwich (the sign of the
// C library's `timezone`), so New York in winter gives 18000.
#pragma once

#include <atomic>

#include "xr/xrhost.h"
#include "xrhost/catalog.h"
#include "xrhost/pool.h"

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

    // The Unicode-data extension that loadExtension("xrnlsudb") hands out (the only
    // extension this host serves; any other name gives null). Its general categories
    // are answered by the NLS extension's charIsCategory. unidataLoads() counts the
    // successful loads.
    XRExtensionh unidata() { return &unidata_; }
    int unidataLoads() const { return unidataLoads_.load(); }
    XRExtensionh loadUnidata() {
        ++unidataLoads_;
        return &unidata_;
    }

    // Captured and rendered messages go to the caller's pool, or with a null pool to
    // the host's own, which lives as long as the host (message.h describes them).
    XRPoolh poolOr(XRPoolh pool) { return pool ? pool : pool_.handle(); }

  private:
    XR_HNDL_S rec_; // first member: the handle is the object's address
    Catalog catalog_;
    SKNLS_GLOBAL_S nlsGlobal_{};
    XR_EXT_S unidata_;
    std::atomic<int> unidataLoads_{0};
    Pool pool_;
};

} // namespace xrhost
