// xrkit count: bytes, characters by the library's two counting rules, ill-formed
// sequences, streamed.
#include <string>

#include "commands.h"
#include "utf8_scan.h"
#include "xr/xrutf8.h"

namespace xrkit {
namespace {

const Option kOptions[] = {{"json", 0, false}};

struct Counts {
    std::uint64_t bytes = 0, characters = 0, announced = 0, invalid = 0;
};

class Counter {
  public:
    explicit Counter(const xrhost::Library& lib)
        : numChars_(lib.fn<decltype(xrzsu8NumChars)>("xrzsu8NumChars")),
          announcedLength_(lib.fn<decltype(utf8_len)>("utf8_len")),
          slenb_(lib.fn<decltype(UTF8_SLENB)>("UTF8_SLENB")) {}

    // Counts p[0, n) but for a few bytes at the end that the next chunk's counting needs
    // (none once the input has ended); returns the bytes counted.
    std::size_t count(const std::uint8_t* p, std::size_t n, bool ended, Counts& c) {
        const std::size_t cut = ended ? n : safeCut(p, n);
        c.characters += numChars_(p, cut);
        c.bytes += cut;
        // Well-formed runs and the maximal subparts between them, with the steps of the
        // announced length through both: through a run they are its characters (once a
        // step starts on one), which UTF8_SLENB counts; elsewhere they are taken one by
        // one, skipping the bytes they announce unseen. `step` is where the next starts;
        // the one that passes the cut carries on into the next chunk.
        std::size_t i = 0, step = skip_;
        while (i < cut) {
            const std::size_t end = i + utf8::wellFormedPrefix(p + i, cut - i);
            for (; step < end && utf8::isContinuation(p[step]); ++step)
                ++c.announced;
            if (step < end) {
                c.announced += slenb_(const_cast<std::uint8_t*>(p + step), end - step);
                step = end;
            }
            if ((i = end) == cut) break;
            const Sequence s = utf8::next(p + i, n - i, ended);
            c.invalid += s.verdict != Verdict::Good;
            for (i += s.size; step < i; ++c.announced)
                step +=
                    static_cast<std::size_t>(announcedLength_(const_cast<std::uint8_t*>(p + step)));
        }
        skip_ = step - std::min(step, cut);
        return cut;
    }

  private:
    decltype(&xrzsu8NumChars) numChars_;
    decltype(&utf8_len) announcedLength_;
    decltype(&UTF8_SLENB) slenb_;
    std::size_t skip_ = 0; // bytes of the last announced step that lie past the cut

    // Where both the continuation-byte steps and the maximal subparts start afresh: at
    // the last byte of the final five that is not a continuation byte. Without one, a
    // step or subpart that reaches the end started six or more bytes before it and ends
    // there, since neither is longer than six bytes; the end is then the cut.
    static std::size_t safeCut(const std::uint8_t* p, std::size_t n) {
        for (std::size_t i = n; i > 0 && i + 5 > n; --i)
            if (!utf8::isContinuation(p[i - 1])) return i - 1;
        return n;
    }
};

int runCount(const Args& args) {
    const Options o(args, kOptions);
    const bool json = o.has("json");
    Runtime rt;
    return reportPerFile(o.operands, json, [&](const std::string& name, Input& in, Output& out) {
        Counter counter(rt.lib);
        Counts c;
        do {
            in.fill();
            in.consume(counter.count(in.data(), in.size(), in.ended(), c));
        } while (!in.ended());
        const auto u = [](std::uint64_t v) { return static_cast<unsigned long long>(v); };
        if (json)
            out.print("{\"file\":%s,\"bytes\":%llu,\"characters\":%llu,\"announced\":%llu,"
                      "\"invalid\":%llu}\n",
                      jsonString(name).c_str(), u(c.bytes), u(c.characters), u(c.announced),
                      u(c.invalid));
        else
            out.print("%s: %llu bytes, %llu characters, %llu announced, %llu invalid\n",
                      in.name().c_str(), u(c.bytes), u(c.characters), u(c.announced), u(c.invalid));
        return c.invalid == 0;
    });
}

} // namespace

const Command kCountCommand = {
    "count",
    "count [--json] [FILE...]\n"
    "Counts each FILE (standard input for - or none) and prints one line per file:\n"
    "  bytes       the input's length\n"
    "  characters  lead bytes with their continuation bytes (a malformed sequence ends\n"
    "              at the first byte that does not continue it)\n"
    "  announced   characters stepped by the length each lead byte announces\n"
    "  invalid     ill-formed sequences, one per maximal subpart (as --replace of\n"
    "              convert replaces them)\n"
    "Exits with 1 if any file holds an ill-formed sequence or cannot be read.\n"
    "  --json  one JSON object per line instead: file, bytes, characters, announced, invalid",
    &runCount};

} // namespace xrkit
