// The commands' common frame: options, the command table entry and the loaded library.
#pragma once

#include <span>
#include <string>
#include <vector>

#include "io.h"
#include "xrhost/host.h"
#include "xrhost/loader.h"

namespace xrkit {

using Args = std::vector<std::string>;

struct Option {
    const char* name; // long name without "--"
    char letter;      // short name, or 0
    bool takesValue;
};

// A command line parsed as GNU programs parse theirs: --name, --name=VALUE, --name VALUE,
// -x, -xVALUE, -x VALUE, options and operands in any order, "--" ending the options and
// "-" an operand. An option that is not in the list is a usage error.
class Options {
  public:
    Options(const Args& args, std::span<const Option> known);
    bool has(const char* name) const;
    // The value last given to the option, or fallback.
    std::string value(const char* name, const std::string& fallback = {}) const;
    std::vector<std::string> operands;

  private:
    std::vector<std::pair<std::string, std::string>> given_; // name, value
};

struct Command {
    const char* name;
    const char* usage; // first line: synopsis; the rest: details
    int (*run)(const Args& args);
};

// Rejects operands past the first `most`.
void limitOperands(const Options& options, std::size_t most);

// text as a JSON string: quoted, escaped, with ill-formed UTF-8 as U+FFFD.
std::string jsonString(const std::string& text);

// The commands that report on several files (validate, count): each(name, in, out),
// given each FILE operand (standard input for "-" or none) open, prints the file's line
// and says whether the file was good. A file that cannot be read is reported on standard error
// (and, with --json, as an "error" line) and the others go on; the result is 1 when any
// file was not good, else 0.
template <class Each> int reportPerFile(std::vector<std::string> names, bool json, Each each) {
    if (names.empty()) names.push_back("-");
    Output out("-");
    int rc = 0;
    for (const std::string& name : names) {
        try {
            Input in(name);
            rc |= !each(name, in, out);
        } catch (const DataError& e) {
            rc = 1;
            out.flush();
            report(e.what());
            if (json)
                out.print("{\"file\":%s,\"error\":%s}\n", jsonString(name).c_str(),
                          jsonString(e.what()).c_str());
        }
        out.flush();
    }
    out.finish();
    return rc;
}

// The library loaded and attached to a reference host, as the framework does it.
struct Runtime {
    xrhost::Host host;
    xrhost::Library lib;
    Runtime() { lib.attach(host.handle()); }
};

} // namespace xrkit
