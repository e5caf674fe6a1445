// Shared pieces of the xrkit commands.
#pragma once

#include <cstdint>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

#include "xrhost/host.h"
#include "xrhost/loader.h"

namespace xrkit {

// Bad usage: the command's usage is printed and the exit code is 2.
struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};
// Bad or unreadable input: the message is printed and the exit code is 1.
struct DataError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

using Args = std::vector<std::string>;

struct Command {
    const char* name;
    const char* usage; // first line: synopsis; the rest: details
    int (*run)(Args& args);
};

// The library loaded and attached to a reference host, as the framework does it.
struct Runtime {
    xrhost::Host host;
    xrhost::Library lib;
    Runtime() { lib.attach(host.handle()); }
};

// Takes "--name" from args; true if it was there.
bool takeFlag(Args& args, const std::string& name);
// Takes "--name VALUE" (or "--name=VALUE") from args into value; true if it was there.
bool takeOption(Args& args, const std::string& name, std::string& value);
// The single optional FILE operand ("-" or none: standard input); rejects leftovers.
std::string takeInputName(Args& args);
void rejectLeftovers(const Args& args);

// An input file mapped into memory whole. Standard input and other non-regular files
// are first spooled to an unlinked temporary file, so inputs of any size work.
class MappedInput {
  public:
    explicit MappedInput(const std::string& name); // throws DataError
    ~MappedInput();
    MappedInput(const MappedInput&) = delete;
    MappedInput& operator=(const MappedInput&) = delete;
    const std::uint8_t* data() const { return data_; }
    std::uint64_t size() const { return size_; }
    const std::string& displayName() const { return display_; }

  private:
    const std::uint8_t* data_ = nullptr;
    std::uint64_t size_ = 0;
    std::string display_;
};

} // namespace xrkit
