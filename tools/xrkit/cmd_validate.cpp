// xrkit validate: is the input well-formed UTF-8? Names the first bad sequence.
#include <cstdio>
#include <string>

#include "commands.h"
#include "utf8_walk.h"

namespace xrkit {
namespace {

std::string hexBytes(const std::uint8_t* p, int n) {
    std::string out;
    char buf[4];
    for (int i = 0; i < n; ++i) {
        std::snprintf(buf, sizeof buf, i ? " %02X" : "%02X", p[i]);
        out += buf;
    }
    return out;
}

int runValidate(Args& args) {
    const std::string name = takeInputName(args);
    Runtime rt;
    MappedInput input(name);
    const Utf8Walk walk(rt.lib, input.data(), input.size());
    std::uint64_t pos = 0, chars = 0;
    int size = 0;
    bool valid = false;
    for (; walk.next(pos, size, valid); pos += static_cast<std::uint64_t>(size), ++chars) {
        if (!valid)
            throw DataError(input.displayName() + ": byte offset " + std::to_string(pos) +
                            ": malformed UTF-8 sequence " + hexBytes(input.data() + pos, size));
    }
    std::printf("%s: well-formed UTF-8, %llu bytes, %llu characters\n", input.displayName().c_str(),
                static_cast<unsigned long long>(input.size()),
                static_cast<unsigned long long>(chars));
    return 0;
}

} // namespace

const Command kValidateCommand = {
    "validate",
    "validate [FILE|-]\n"
    "Checks that FILE (standard input for - or none) is well-formed UTF-8: shortest\n"
    "forms only, no surrogates, nothing above U+10FFFF. Prints the byte and character\n"
    "counts and exits 0; otherwise names the byte offset and the bytes of the first\n"
    "malformed sequence and exits 1.",
    &runValidate};

} // namespace xrkit
