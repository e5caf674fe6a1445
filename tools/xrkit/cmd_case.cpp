// xrkit case: UTF-8 text through the library's XRChar case mappings, streamed.
#include <string>

#include "commands.h"
#include "encodings.h"
#include "xr/xrcase.h"
#include "xrhost/nls.h"
#include "xrhost/text.h"

namespace xrkit {
namespace {

const Option kOptions[] = {{"tables", 0, false}, {"output", 'o', true}};

using Mapping = void (*)(XRChar*, XRStrSize);

Mapping resolve(const std::string& which, const xrhost::Library& lib) {
    if (which == "upper") return lib.fn<decltype(xrzstup)>("xrzstup");
    if (which == "lower") return lib.fn<decltype(xrzstlo)>("xrzstlo");
    if (which == "min") return lib.fn<decltype(xrzstmin)>("xrzstmin");
    if (which == "max") return lib.fn<decltype(xrzstmax)>("xrzstmax");
    throw UsageError(which + ": unknown mapping (upper, lower, min or max)");
}

int runCase(const Args& args) {
    Options o(args, kOptions);
    if (o.operands.empty())
        throw UsageError("case: the mapping (upper, lower, min or max) is missing");
    limitOperands(o, 2);
    const std::string which = o.operands[0];
    Runtime rt;
    const Mapping map = resolve(which, rt.lib);
    xrhost::Nls nls(rt.host);
    if (!o.has("tables")) nls.attach();

    Input in(o.operands.size() > 1 ? o.operands[1] : "-");
    Output out(o.value("output", "-"));
    out.refuseSameFile(in);
    xrhost::XRText text;
    do {
        in.fill();
        const std::uint8_t* p = in.data();
        const std::size_t n = in.size();
        // Characters are mapped one by one, so any whole characters make a chunk.
        const std::size_t k = utf8::wellFormedPrefix(p, n);
        text.clear();
        xrhost::decodeStrict({reinterpret_cast<const char*>(p), k}, text);
        map(text.data(), static_cast<XRStrSize>(text.size()));
        const std::string mapped = xrhost::toUtf8(text);
        out.write(mapped.data(), mapped.size());
        out.flush();
        in.consume(k);
        if (k == n) continue;
        const Sequence s = utf8::next(p + k, n - k, in.ended());
        if (s.verdict != Verdict::Incomplete)
            throw DataError(in.name() + ": " + describeBad("UTF-8", s, p + k, in.offset()));
    } while (!in.ended());
    out.finish();
    return 0;
}

} // namespace

const Command kCaseCommand = {
    "case",
    "case upper|lower|min|max [--tables] [-o OUT] [FILE|-]\n"
    "Maps the UTF-8 text of FILE (standard input for - or none) through the library's\n"
    "XRChar case mappings and writes it as UTF-8 to OUT (standard output without -o).\n"
    "  upper, lower  letter case; ASCII by the built-in tables, other characters by the\n"
    "                host's ICU-backed NLS extension\n"
    "  min, max      each character becomes the smallest or largest member of its case\n"
    "                class (built-in tables only)\n"
    "  --tables      no NLS extension: every character goes through the built-in tables\n"
    "  -o, --output OUT  a regular OUT is replaced only when the command succeeds\n"
    "Ill-formed UTF-8 stops the command after the text before it, naming its byte\n"
    "offset (exit 1).",
    &runCase};

} // namespace xrkit
