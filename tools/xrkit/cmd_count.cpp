// xrkit count: bytes, characters by the library's two counting rules, bad sequences.
#include <cstdio>
#include <string>

#include "commands.h"
#include "utf8_walk.h"

namespace xrkit {
namespace {

int runCount(Args& args) {
    const std::string name = takeInputName(args);
    Runtime rt;
    MappedInput input(name);
    auto* numChars = rt.lib.fn<decltype(xrzsu8NumChars)>("xrzsu8NumChars");
    auto* announced = rt.lib.fn<decltype(UTF8_SLENB)>("UTF8_SLENB");
    const Utf8Walk walk(rt.lib, input.data(), input.size());
    std::uint64_t pos = 0, invalid = 0;
    int size = 0;
    bool valid = false;
    for (; walk.next(pos, size, valid); pos += static_cast<std::uint64_t>(size))
        invalid += !valid;
    auto* bytes = const_cast<std::uint8_t*>(input.data());
    std::printf("bytes: %llu\ncharacters: %llu\nannounced: %llu\ninvalid: %llu\n",
                static_cast<unsigned long long>(input.size()),
                static_cast<unsigned long long>(numChars(bytes, input.size())),
                static_cast<unsigned long long>(announced(bytes, input.size())),
                static_cast<unsigned long long>(invalid));
    return 0;
}

} // namespace

const Command kCountCommand = {
    "count",
    "count [FILE|-]\n"
    "Counts FILE (standard input for - or none):\n"
    "  bytes       the input's length\n"
    "  characters  lead bytes with their continuation bytes (a malformed sequence ends\n"
    "              at the first byte that does not continue it)\n"
    "  announced   characters stepped by the length each lead byte announces\n"
    "  invalid     malformed sequences (not well-formed UTF-8)",
    &runCount};

} // namespace xrkit
