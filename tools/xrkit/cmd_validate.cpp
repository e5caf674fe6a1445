// xrkit validate: is each input well-formed UTF-8? Names the first bad sequence.
#include <string>

#include "commands.h"
#include "encodings.h"
#include "xr/xrutf8.h"

namespace xrkit {
namespace {

const Option kOptions[] = {{"json", 0, false}};

struct FileVerdict {
    std::uint64_t bytes = 0, characters = 0;
    bool good = true;
    std::string problem; // describeBad's text
    bool incomplete = false;
    std::uint64_t offset = 0;
    std::string sequence; // the bad bytes in hex
};

FileVerdict check(Input& in, decltype(&xrzsu8NumChars) numChars) {
    FileVerdict v;
    do {
        in.fill();
        const std::uint8_t* p = in.data();
        const std::size_t n = in.size();
        const std::size_t k = utf8::wellFormedPrefix(p, n);
        v.characters += numChars(p, k);
        in.consume(k);
        if (k == n) continue;
        const Sequence s = utf8::next(p + k, n - k, in.ended());
        if (s.verdict == Verdict::Incomplete) continue;
        v.good = false;
        v.offset = in.offset();
        v.incomplete = s.verdict == Verdict::Truncated;
        v.problem = describeBad("UTF-8", s, p + k, v.offset);
        v.sequence = hexBytes(p + k, s.size);
        return v;
    } while (!in.ended());
    v.bytes = in.offset();
    return v;
}

int runValidate(const Args& args) {
    const Options o(args, kOptions);
    const bool json = o.has("json");
    Runtime rt;
    const auto numChars = rt.lib.fn<decltype(xrzsu8NumChars)>("xrzsu8NumChars");
    return reportPerFile(o.operands, json, [&](const std::string& name, Input& in, Output& out) {
        const FileVerdict v = check(in, numChars);
        const std::string file = jsonString(name);
        if (json && v.good)
            out.print("{\"file\":%s,\"valid\":true,\"bytes\":%llu,\"characters\":%llu}\n",
                      file.c_str(), static_cast<unsigned long long>(v.bytes),
                      static_cast<unsigned long long>(v.characters));
        else if (json)
            out.print("{\"file\":%s,\"valid\":false,\"problem\":\"%s\",\"offset\":%llu,"
                      "\"sequence\":\"%s\"}\n",
                      file.c_str(), v.incomplete ? "incomplete" : "ill-formed",
                      static_cast<unsigned long long>(v.offset), v.sequence.c_str());
        else if (v.good)
            out.print("%s: well-formed UTF-8, %llu bytes, %llu characters\n", in.name().c_str(),
                      static_cast<unsigned long long>(v.bytes),
                      static_cast<unsigned long long>(v.characters));
        else
            out.print("%s: %s\n", in.name().c_str(), v.problem.c_str());
        return v.good;
    });
}

} // namespace

const Command kValidateCommand = {
    "validate",
    "validate [--json] [FILE...]\n"
    "Checks that each FILE (standard input for - or none) is well-formed UTF-8: shortest\n"
    "forms only, no surrogates, nothing above U+10FFFF, no sequence cut short. Prints one\n"
    "line per file: its byte and character counts, or the byte offset and the bytes of\n"
    "its first ill-formed sequence (the maximal subpart: the bytes that start some\n"
    "well-formed sequence, or else one byte). Exits with 1 if any file is not\n"
    "well-formed or cannot be read.\n"
    "  --json  one JSON object per line instead: file, valid, and bytes and characters,\n"
    "          or problem (ill-formed or incomplete), offset and sequence",
    &runValidate};

} // namespace xrkit
