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
    // Opens path; with an empty path, $XRKIT_LIBRARY when it is set, and otherwise
    // libxrkit.so.9 where the dynamic linker would find it for this program
    // (LD_LIBRARY_PATH, the program's RUNPATH, the system's directories and cache).
    // Nothing else is tried: a library that cannot be loaded is a LoadError that names
    // it, in dlerror's words.
    explicit Library(const std::string& path = {});
    ~Library();
    Library(const Library&) = delete;
    Library& operator=(const Library&) = delete;

    const std::string& path() const { return path_; } // the file loaded
    void* symbol(const char* name) const;             // null when absent

    // The exported function name, typed by its declaration: fn<decltype(dumpBuffer)>("dumpBuffer").
    template <class F> F* fn(const char* name) const {
        void* p = symbol(name);
        if (!p) throw LoadError(path_ + ": does not export " + name);
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
