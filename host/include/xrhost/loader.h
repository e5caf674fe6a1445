// Loads libxrkit.so with dlopen and attaches it to a host, as the framework does.
#pragma once

#include <stdexcept>
#include <string>

#include "xr/xrtypes.h"

namespace xrhost {

class LoadError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

class Library {
  public:
    // Opens path; with an empty path, the first of: $XRKIT_LIBRARY, libxrkit.so.9 beside
    // the running program or in its ../lib, the build tree's library, the system search.
    explicit Library(const std::string& path = {});
    ~Library();
    Library(const Library&) = delete;
    Library& operator=(const Library&) = delete;

    const std::string& path() const { return path_; }
    void* symbol(const char* name) const; // null when absent

    // The exported function name, typed by its declaration: fn<decltype(dumpBuffer)>("dumpBuffer").
    template <class F> F* fn(const char* name) const {
        void* p = symbol(name);
        if (!p) throw LoadError(path_ + " does not export " + name);
        return reinterpret_cast<F*>(p);
    }

    // Calls xrextver and then xrextent with host; records the interface version.
    void attach(XRHndlp host);
    std::size_t major() const { return major_; }
    std::size_t minor() const { return minor_; }

  private:
    void* dl_ = nullptr;
    std::string path_;
    std::size_t major_ = 0, minor_ = 0;
};

} // namespace xrhost
