// xrkit dump: a file through the library's memory dumps to a journal on stdout.
#include <cstdio>
#include <string>
#include <vector>

#include "commands.h"
#include "xr/xrdump.h"
#include "xrhost/journal.h"
#include "xrhost/logger.h"
#include "xrhost/text.h"

namespace xrkit {
namespace {

LoggerLevel levelOption(const std::string& option, const std::string& value) {
    LoggerLevel level;
    if (!xrhost::parseLevel(value, level)) throw UsageError(option + ": unknown level " + value);
    return level;
}

int runDump(Args& args) {
    std::string prefixText;
    const bool hasPrefix = takeOption(args, "--prefix", prefixText);
    const bool owner = takeFlag(args, "--owner");
    const bool reverse = takeFlag(args, "--reverse");
    std::string levelText, thresholdText;
    const bool toLogger = takeOption(args, "--logger", levelText);
    const bool hasThreshold = takeOption(args, "--threshold", thresholdText);
    const bool force = takeFlag(args, "--force");
    const std::string name = takeInputName(args);
    if (toLogger && force) throw UsageError("--logger and --force exclude each other");
    if (reverse && (toLogger || force)) throw UsageError("--reverse dumps to a journal only");
    if (hasThreshold && !toLogger && !force) throw UsageError("--threshold needs --logger");
    const LoggerLevel level = toLogger ? levelOption("--logger", levelText) : LL_Null;
    const LoggerLevel threshold =
        hasThreshold ? levelOption("--threshold", thresholdText) : LL_Null;

    Runtime rt;
    MappedInput input(name);
    xrhost::XRText prefix = xrhost::zText(prefixText);
    static std::vector<char> outBuf(1 << 20);
    std::setvbuf(stdout, outBuf.data(), _IOFBF, outBuf.size());
    XRChar* prefixArg = hasPrefix ? prefix.data() : nullptr;
    // The owner is opaque to the dump; the input's own record serves as one.
    XRMemPtr ownerArg = owner ? static_cast<XRMemPtr>(&input) : nullptr;
    auto* bytes = const_cast<std::uint8_t*>(input.data());
    if (toLogger || force) {
        xrhost::Logger logger(rt.host, "dump", nullptr, stdout);
        logger.setLevel(threshold);
        if (force)
            rt.lib.fn<decltype(dumpBufferLoggerForce)>("dumpBufferLoggerForce")(
                logger.handle(), prefixArg, ownerArg, bytes, input.size());
        else
            rt.lib.fn<decltype(dumpBufferLogger)>("dumpBufferLogger")(
                logger.handle(), level, prefixArg, ownerArg, bytes, input.size());
        if (std::fflush(stdout) != 0) throw DataError("writing the dump failed");
        return 0;
    }
    xrhost::Journal journal(rt.host.catalog(), stdout);

    auto dump = reverse ? rt.lib.fn<decltype(dumpBufferReversed)>("dumpBufferReversed")
                        : rt.lib.fn<decltype(dumpBuffer)>("dumpBuffer");
    XRStatus rc = dump(journal.handle(), prefixArg, ownerArg, bytes, input.size());
    if (std::fflush(stdout) != 0 || rc != 0)
        throw DataError("writing the dump failed (status " + std::to_string(rc) + ")");
    return 0;
}

} // namespace

const Command kDumpCommand = {
    "dump",
    "dump [--prefix TEXT] [--owner] [--reverse | --logger LEVEL [--threshold LEVEL] | --force]\n"
    "     [FILE|-]\n"
    "Dumps FILE (standard input for - or none) through the library's memory dump to a\n"
    "journal on standard output, one line per 16 bytes: the absolute address of the\n"
    "line, the bytes in hex and their renderings (0x20-0x7E as themselves, all else\n"
    "'.'), as hexdump -C shows them.\n"
    "  --prefix TEXT  label every line with TEXT\n"
    "  --owner        pass an owner pointer; the line shows it\n"
    "  --reverse      lines in descending address order\n"
    "  --logger LEVEL to a logger instead, as events of LEVEL (TRACE, DEBUG, INFO, WARN,\n"
    "                 ERROR, FATAL, ...); each line shows \"[LEVEL] \" before the dump line\n"
    "  --threshold LEVEL  the logger's own level: lines below it are left out (without\n"
    "                 it the logger has none and lets INFO and above through)\n"
    "  --force        to a logger, every line, whatever its level (shown as FORCED)",
    &runDump};

} // namespace xrkit
