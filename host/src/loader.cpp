#include "xrhost/loader.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

#include "xr/xrentry.h"

namespace xrhost {
namespace {

std::string programDir() {
    std::string buf(4096, '\0');
    ssize_t n = readlink("/proc/self/exe", buf.data(), buf.size() - 1);
    if (n <= 0) return {};
    buf.resize(static_cast<std::size_t>(n));
    return buf.substr(0, buf.find_last_of('/'));
}

std::vector<std::string> candidates() {
    std::vector<std::string> list;
    if (const char* env = std::getenv("XRKIT_LIBRARY"); env && *env) list.emplace_back(env);
    if (std::string dir = programDir(); !dir.empty()) {
        list.push_back(dir + "/libxrkit.so.9");
        list.push_back(dir + "/../lib/libxrkit.so.9");
    }
#ifdef XRHOST_BUILD_LIBRARY
    list.emplace_back(XRHOST_BUILD_LIBRARY);
#endif
    list.emplace_back("libxrkit.so.9");
    return list;
}

} // namespace

Library::Library(const std::string& path) {
    std::string errors;
    for (const std::string& c : path.empty() ? candidates() : std::vector<std::string>{path}) {
        if (c.find('/') != std::string::npos && access(c.c_str(), F_OK) != 0) continue;
        dl_ = dlopen(c.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (dl_) {
            path_ = c;
            return;
        }
        errors += std::string("\n  ") + dlerror();
    }
    throw LoadError("cannot load libxrkit.so.9" +
                    (errors.empty() ? std::string(": not found") : errors));
}

Library::~Library() {
    if (dl_) dlclose(dl_);
}

void* Library::symbol(const char* name) const {
    return dlsym(dl_, name);
}

void Library::attach(XRHndlp host) {
    int rc = fn<decltype(xrextver)>("xrextver")(host, &major_, &minor_);
    if (rc != 0) throw LoadError("xrextver failed with " + std::to_string(rc));
    rc = fn<decltype(xrextent)>("xrextent")(host);
    if (rc != 0) throw LoadError("xrextent failed with " + std::to_string(rc));
}

} // namespace xrhost
