// xrkit dump: a file through the library's memory dumps to a journal on stdout.
#include <cstdio>
#include <string>
#include <vector>

#include "commands.h"
#include "xr/xrdump.h"
#include "xrhost/journal.h"
#include "xrhost/text.h"

namespace xrkit {
namespace {

int runDump(Args& args) {
    std::string prefixText;
    const bool hasPrefix = takeOption(args, "--prefix", prefixText);
    const bool owner = takeFlag(args, "--owner");
    const bool reverse = takeFlag(args, "--reverse");
    const std::string name = takeInputName(args);

    Runtime rt;
    MappedInput input(name);
    xrhost::XRText prefix = xrhost::zText(prefixText);
    static std::vector<char> outBuf(1 << 20);
    std::setvbuf(stdout, outBuf.data(), _IOFBF, outBuf.size());
    xrhost::Journal journal(rt.host.catalog(), stdout);

    auto dump = reverse ? rt.lib.fn<decltype(dumpBufferReversed)>("dumpBufferReversed")
                        : rt.lib.fn<decltype(dumpBuffer)>("dumpBuffer");
    // The owner is opaque to the dump; the input's own record serves as one.
    XRStatus rc = dump(journal.handle(), hasPrefix ? prefix.data() : nullptr,
                       owner ? static_cast<XRMemPtr>(&input) : nullptr,
                       const_cast<std::uint8_t*>(input.data()), input.size());
    if (std::fflush(stdout) != 0 || rc != 0)
        throw DataError("writing the dump failed (status " + std::to_string(rc) + ")");
    return 0;
}

} // namespace

const Command kDumpCommand = {
    "dump",
    "dump [--prefix TEXT] [--owner] [--reverse] [FILE|-]\n"
    "Dumps FILE (standard input for - or none) through the library's memory dump to a\n"
    "journal on standard output, one line per 16 bytes: the absolute address of the\n"
    "line, the bytes in hex and their renderings (0x20-0x7E as themselves, all else\n"
    "'.'), as hexdump -C shows them.\n"
    "  --prefix TEXT  label every line with TEXT\n"
    "  --owner        pass an owner pointer; the line shows it\n"
    "  --reverse      lines in descending address order",
    &runDump};

} // namespace xrkit
