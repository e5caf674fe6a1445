#include "xrhost/loader.h"

#include <dlfcn.h>
#include <link.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>
#include <vector>

#include "xr/xrentry.h"

namespace xrhost {
namespace {

constexpr const char* kSoname = "libxrkit.so.9";

// The directories the dynamic linker searches for this program, in its order:
// LD_LIBRARY_PATH, the program's RUNPATH (with $ORIGIN resolved), the system's. A dlopen
// by name searches them from the caller's point of view, but a sanitizer's dlopen calls
// from its own library, which has no RUNPATH: so the program looks through them itself.
std::vector<std::string> searchPath() {
    std::vector<std::string> dirs;
    void* self = dlopen(nullptr, RTLD_NOW);
    Dl_serinfo size;
    if (!self || dlinfo(self, RTLD_DI_SERINFOSIZE, &size) != 0) return dirs;
    std::unique_ptr<char[]> block(new char[size.dls_size]);
    auto* info = reinterpret_cast<Dl_serinfo*>(block.get());
    *info = size;
    if (dlinfo(self, RTLD_DI_SERINFO, info) == 0)
        for (unsigned i = 0; i < info->dls_cnt; ++i)
            dirs.emplace_back(info->dls_serpath[i].dls_name);
    return dirs;
}

std::string lastError(const std::string& name) {
    const char* why = dlerror();
    return why ? why : name + ": cannot be loaded";
}

} // namespace

Library::Library(const std::string& path) {
    std::string name = path;
    if (name.empty()) {
        const char* env = std::getenv("XRKIT_LIBRARY");
        if (env && *env) name = env;
    }
    if (name.empty()) {
        for (const std::string& dir : searchPath())
            if (access((dir + "/" + kSoname).c_str(), F_OK) == 0) {
                name = dir + "/" + kSoname;
                break;
            }
    }
    if (name.empty()) name = kSoname; // left to the linker's cache
    dl_ = dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!dl_) throw LoadError(lastError(name));
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
