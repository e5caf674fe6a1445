#include "xrhost/loader.h"

#include <dlfcn.h>
#include <link.h>
#include <stdlib.h>

#include <cstdlib>

#include "xr/xrentry.h"

namespace xrhost {

Library::Library(const std::string& path) {
    std::string name = path;
    if (name.empty()) {
        const char* env = std::getenv("XRKIT_LIBRARY");
        name = env && *env ? env : "libxrkit.so.9";
    }
    dl_ = dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!dl_) {
        const char* why = dlerror();
        throw LoadError(why ? why : name + ": cannot be loaded");
    }
    // The file the dynamic linker found, for a name it searched for.
    link_map* map = nullptr;
    path_ = dlinfo(dl_, RTLD_DI_LINKMAP, &map) == 0 && map && map->l_name && *map->l_name
                ? map->l_name
                : name;
    if (char* real = realpath(path_.c_str(), nullptr)) {
        path_ = real;
        std::free(real);
    }
}

Library::~Library() {
    if (dl_) dlclose(dl_);
}

void* Library::symbol(const char* name) const {
    return dlsym(dl_, name);
}

void Library::attach(XRHndlp host) {
    int rc = fn<decltype(xrextver)>("xrextver")(host, &major_, &minor_);
    if (rc != 0) throw LoadError(path_ + ": xrextver failed with " + std::to_string(rc));
    rc = fn<decltype(xrextent)>("xrextent")(host);
    if (rc != 0) throw LoadError(path_ + ": xrextent failed with " + std::to_string(rc));
}

} // namespace xrhost
