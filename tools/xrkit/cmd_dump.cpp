// xrkit dump: an input through the library's memory dumps, to a journal or a logger,
// streamed: each chunk of whole lines is dumped from the buffer it was read into, with
// its line addresses moved to go on from the chunk before.
#include <cstring>
#include <string>
#include <vector>

#include "commands.h"
#include "xr/xrdump.h"
#include "xrhost/journal.h"
#include "xrhost/logger.h"
#include "xrhost/text.h"

namespace xrkit {
namespace {

const Option kOptions[] = {
    {"prefix", 0, true},    {"owner", 0, false}, {"reverse", 0, false}, {"logger", 0, true},
    {"threshold", 0, true}, {"force", 0, false}, {"offsets", 0, false}, {"output", 'o', true},
};

constexpr std::size_t kLine = 16;

LoggerLevel levelOption(const Options& o, const char* name) {
    LoggerLevel level;
    const std::string value = o.value(name);
    if (!xrhost::parseLevel(value, level))
        throw UsageError(value + ": unknown level (--" + name + ")");
    return level;
}

// Sends the lines of one stretch of bytes to the journal or the logger.
class Dumper {
  public:
    Dumper(Runtime& rt, const Options& o, Output& out, void* owner)
        : rt_(rt), prefix_(xrhost::zText(o.value("prefix"))), hasPrefix_(o.has("prefix")),
          owner_(o.has("owner") ? owner : nullptr), toLogger_(o.has("logger") || o.has("force")),
          force_(o.has("force")), journal_(rt.host.catalog(), out.stream()),
          logger_(rt.host, "dump", nullptr, out.stream()), out_(out) {
        if (o.has("logger")) level_ = levelOption(o, "logger");
        if (o.has("threshold")) logger_.setLevel(levelOption(o, "threshold"));
    }

    // The stretch p[0, n) lies at `offset` in the input; its lines show origin + offset.
    void dump(const std::uint8_t* p, std::size_t n, std::uint64_t origin, std::uint64_t offset,
              bool reversed = false) {
        if (n == 0) return;
        rt_.host.catalog().setDumpAddressShift(
            static_cast<std::intptr_t>(origin + offset - reinterpret_cast<std::uintptr_t>(p)));
        auto* addr = const_cast<std::uint8_t*>(p);
        XRChar* prefix = hasPrefix_ ? prefix_.data() : nullptr;
        XRStatus rc;
        if (force_)
            rc = fn<decltype(dumpBufferLoggerForce)>("dumpBufferLoggerForce")(
                logger_.handle(), prefix, owner_, addr, n);
        else if (toLogger_)
            rc = fn<decltype(dumpBufferLogger)>("dumpBufferLogger")(logger_.handle(), level_,
                                                                    prefix, owner_, addr, n);
        else if (reversed)
            rc = fn<decltype(dumpBufferReversed)>("dumpBufferReversed")(journal_.handle(), prefix,
                                                                        owner_, addr, n);
        else
            rc = fn<decltype(dumpBuffer)>("dumpBuffer")(journal_.handle(), prefix, owner_, addr, n);
        out_.settle(); // a failed write surfaces here, named by the output
        if (rc != 0)
            throw DataError(out_.name() + ": the dump failed with status " + std::to_string(rc));
    }

  private:
    Runtime& rt_;
    xrhost::XRText prefix_;
    bool hasPrefix_;
    void* owner_;
    bool toLogger_, force_;
    LoggerLevel level_ = LL_Null;
    xrhost::Journal journal_;
    xrhost::Logger logger_;
    Output& out_;

    template <class F> F* fn(const char* name) const { return rt_.lib.fn<F>(name); }
};

// hexdump -C's folding: a line equal to the one before it is left out, and the first
// of a run of such lines is shown as "*".
class Folder {
  public:
    // Dumps whole lines (and the last, partial one) of p[0, n), at `offset`.
    void dump(Dumper& d, Output& out, const std::uint8_t* p, std::size_t n, std::uint64_t offset) {
        std::size_t run = 0; // the lines from here on are shown
        for (std::size_t at = 0; at < n; at += kLine) {
            const bool full = n - at >= kLine;
            if (full && havePrevious_ && std::memcmp(p + at, previous_, kLine) == 0) {
                d.dump(p + run, at - run, 0, offset + run);
                if (!starred_) out.write("*\n", 2);
                starred_ = true;
                run = at + kLine;
            } else {
                starred_ = false;
            }
            if (full) std::memcpy(previous_, p + at, kLine), havePrevious_ = true;
        }
        d.dump(p + run, n - run, 0, offset + run);
    }

  private:
    std::uint8_t previous_[kLine];
    bool havePrevious_ = false, starred_ = false;
};

// From the end of a regular file to its start, a chunk at a time.
void dumpReversed(Dumper& d, Input& in, Output& out) {
    const std::size_t span = std::max(kLine, Input::chunkSize() / kLine * kLine);
    std::vector<std::uint8_t> buf(span);
    const auto origin = reinterpret_cast<std::uintptr_t>(buf.data());
    auto end = static_cast<std::uint64_t>(in.status().st_size);
    while (end > 0) {
        const std::uint64_t start = (end - 1) / span * span;
        const std::size_t got = in.readAt(start, buf.data(), end - start);
        d.dump(buf.data(), got, origin, start, true);
        out.flush();
        end = start;
    }
}

int runDump(const Args& args) {
    Options o(args, kOptions);
    limitOperands(o, 1);
    const bool toLogger = o.has("logger"), force = o.has("force"), offsets = o.has("offsets");
    if (toLogger && force) throw UsageError("--force: not with --logger");
    if (o.has("reverse") && (toLogger || force))
        throw UsageError("--reverse: dumps to a journal only");
    if (o.has("threshold") && !toLogger && !force)
        throw UsageError("--threshold: needs --logger or --force");
    if (offsets && (o.has("reverse") || toLogger || force))
        throw UsageError("--offsets: not with --reverse, --logger or --force");

    Runtime rt;
    Input in(o.operands.empty() ? "-" : o.operands[0]);
    Output out(o.value("output", "-"));
    out.refuseSameFile(in);
    if (offsets) rt.host.catalog().setDumpAddressDigits(8);
    // The owner is opaque to the dump; the input's own record serves as one.
    Dumper dumper(rt, o, out, &in);
    if (o.has("reverse")) {
        if (!in.regular()) throw DataError(in.name() + ": --reverse needs a regular file");
        dumpReversed(dumper, in, out);
        out.finish();
        return 0;
    }
    Folder folder;
    std::uintptr_t origin = 0;
    do {
        in.fill();
        if (!offsets && origin == 0) origin = reinterpret_cast<std::uintptr_t>(in.data());
        const std::size_t n = in.ended() ? in.size() : in.size() / kLine * kLine;
        if (offsets)
            folder.dump(dumper, out, in.data(), n, in.offset());
        else
            dumper.dump(in.data(), n, origin, in.offset());
        out.flush();
        in.consume(n);
    } while (!in.ended());
    if (offsets && in.offset() > 0)
        out.print("%08llx\n", static_cast<unsigned long long>(in.offset()));
    out.finish();
    return 0;
}

} // namespace

const Command kDumpCommand = {
    "dump",
    "dump [--offsets] [--prefix TEXT] [--owner] [--reverse | --logger LEVEL [--threshold LEVEL]\n"
    "     | --force] [-o OUT] [FILE|-]\n"
    "Dumps FILE (standard input for - or none) through the library's memory dump to a\n"
    "journal on OUT (standard output without -o), one line per 16 bytes: the address of\n"
    "the line, the bytes in hex and their renderings (0x20-0x7E as themselves, all else\n"
    "'.'), as hexdump -C shows them. The address is the absolute one of the line in\n"
    "memory: the input streams through a buffer, and the lines count on from the address\n"
    "its first byte was read to.\n"
    "  --offsets      exactly the lines of hexdump -C: offsets from 0, a line equal to the\n"
    "                 one before it folded into \"*\", and the input's length at the end\n"
    "  --prefix TEXT  label every line with TEXT\n"
    "  --owner        pass an owner pointer; the line shows it\n"
    "  --reverse      lines in descending address order (a regular file only)\n"
    "  --logger LEVEL to a logger instead, as events of LEVEL (TRACE, DEBUG, INFO, WARN,\n"
    "                 ERROR, FATAL, ...); each line shows \"[LEVEL] \" before the dump line\n"
    "  --threshold LEVEL  the logger's own level: lines below it are left out (without\n"
    "                 it the logger has none and lets INFO and above through)\n"
    "  --force        to a logger, every line, whatever its level (shown as FORCED)\n"
    "  -o, --output OUT  a regular OUT is replaced only when the command succeeds",
    &runDump};

} // namespace xrkit
