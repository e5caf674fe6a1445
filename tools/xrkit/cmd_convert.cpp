// xrkit convert: from one Unicode encoding to another through the library's converters.
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "commands.h"
#include "transcode.h"

namespace xrkit {
namespace {

const Option kOptions[] = {
    {"from", 'f', true},     {"to", 't', true},     {"output", 'o', true},  {"replace", 0, false},
    {"strip-bom", 0, false}, {"add-bom", 0, false}, {"progress", 0, false}, {"list", 'l', false},
};

double now() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

std::string humanBytes(double n) {
    const char* const units[] = {"B", "KiB", "MiB", "GiB", "TiB"};
    int u = 0;
    for (; n >= 1024 && u < 4; ++u)
        n /= 1024;
    char text[32];
    std::snprintf(text, sizeof text, u ? "%.1f %s" : "%.0f %s", n, units[u]);
    return text;
}

// One line on a terminal's standard error, redrawn at most four times a second: bytes
// read, rate and, for a file of known size, the share done and the time left. A quick
// conversion shows none.
class Progress {
  public:
    Progress(bool wanted, std::uint64_t total)
        : on_(wanted && isatty(STDERR_FILENO)), total_(total), start_(now()), shown_(start_) {}
    ~Progress() {
        if (drawn_) std::fputc('\n', stderr);
    }
    void update(std::uint64_t done, bool last = false) {
        if (!on_ || (last && !drawn_)) return;
        const double t = now();
        if (!last && t - shown_ < 0.25) return;
        shown_ = t;
        drawn_ = true;
        const double rate = done / std::max(t - start_, 1e-3);
        std::string line = humanBytes(static_cast<double>(done));
        if (total_) {
            char share[64];
            const auto left =
                static_cast<long>((total_ - std::min(done, total_)) / std::max(rate, 1.0));
            std::snprintf(share, sizeof share, " of %s (%d%%)",
                          humanBytes(static_cast<double>(total_)).c_str(),
                          static_cast<int>(100.0 * done / total_));
            line += share;
            std::snprintf(share, sizeof share, ", %ld:%02ld left", left / 60, left % 60);
            line += ", " + humanBytes(rate) + "/s" + share;
        } else {
            line += ", " + humanBytes(rate) + "/s";
        }
        std::fprintf(stderr, "\r%s\033[K", line.c_str());
    }

  private:
    bool on_;
    std::uint64_t total_;
    double start_, shown_;
    bool drawn_ = false;
};

const Encoding& encodingOption(const Options& o, const char* name, const char* what) {
    if (!o.has(name))
        throw UsageError(std::string("convert: the ") + what + " encoding (--" + name +
                         ") is required");
    return findEncoding(o.value(name));
}

int runConvert(const Args& args) {
    Options o(args, kOptions);
    if (o.has("list")) {
        Output out("-");
        listEncodings(out);
        out.finish();
        return 0;
    }
    const Encoding& from = encodingOption(o, "from", "source");
    const Encoding& to = encodingOption(o, "to", "target");
    limitOperands(o, o.has("output") ? 1 : 2);
    const std::string inName = o.operands.empty() ? "-" : o.operands[0];
    const std::string outName = o.value("output", o.operands.size() > 1 ? o.operands[1] : "-");
    const ConvertSettings settings{o.has("replace"), o.has("strip-bom"), o.has("add-bom")};

    Runtime rt;
    Input in(inName);
    Output out(outName);
    out.refuseSameFile(in);
    Transcoder transcoder(rt.lib, from, to, settings, in.name());
    Progress progress(o.has("progress"),
                      in.regular() ? static_cast<std::uint64_t>(in.status().st_size) : 0);
    do {
        in.fill();
        in.consume(transcoder.convert(in.data(), in.size(), in.ended(), in.offset(), out));
        out.flush();
        progress.update(in.offset());
    } while (!in.ended());
    transcoder.finish(out);
    out.finish();
    progress.update(in.offset(), true);
    return 0;
}

} // namespace

void listEncodings(Output& out) {
    for (const Encoding& e : encodings()) {
        std::string line = e.name;
        line.resize(10, ' ');
        line += e.aliases;
        if (*e.note) {
            line.resize(32, ' ');
            line += e.note;
        }
        out.print("%s\n", line.c_str());
    }
}

const Command kConvertCommand = {
    "convert",
    "convert -f FROM -t TO [--replace] [--strip-bom] [--add-bom] [--progress] [-o OUT] [IN [OUT]]\n"
    "Converts IN (standard input for - or none) from encoding FROM to encoding TO and\n"
    "writes OUT (standard output for - or none). 'xrkit --list' shows the encodings;\n"
    "names ignore case, '-' and '_'. UTF-16, UTF-32 and UCS-2 without a byte order read\n"
    "it from a byte-order mark (big-endian without one) and write a mark and then\n"
    "little-endian, as iconv does.\n"
    "Input is checked strictly: overlong UTF-8, surrogates, values above U+10FFFF and\n"
    "broken or truncated sequences are errors, as is a character above U+FFFF sent to\n"
    "UCS-2. An error names the input and the byte offset of the bad sequence and exits\n"
    "with 1 after writing what came before it; a regular OUT is then left as it was.\n"
    "A regular OUT is replaced only when the conversion succeeds, and keeps its mode,\n"
    "owner, hard links and symbolic link; it may be IN itself.\n"
    "  -o, --output OUT  write OUT (as the second operand does)\n"
    "  --replace         write U+FFFD for each ill-formed sequence (one per maximal\n"
    "                    subpart, as the Unicode standard recommends) or character\n"
    "                    without a UCS-2 form, and go on\n"
    "  --strip-bom       drop a byte-order mark at the start of IN\n"
    "  --add-bom         start OUT with a byte-order mark (only one)\n"
    "  --progress        on a terminal, bytes read, rate and time left on standard error\n"
    "  -l, --list        list the encodings and their other names",
    &runConvert};

} // namespace xrkit
