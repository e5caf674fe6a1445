// xrkit case: UTF-8 text through the library's XRChar case mappings.
#include <cstdio>
#include <string>
#include <vector>

#include "commands.h"
#include "xr/xrcase.h"
#include "xrhost/nls.h"
#include "xrhost/text.h"

namespace xrkit {
namespace {

using Mapping = void (*)(XRChar*, XRStrSize);

std::string takeMappingName(Args& args) {
    if (args.empty()) throw UsageError("missing mapping (upper, lower, min or max)");
    std::string which = args.front();
    args.erase(args.begin());
    return which;
}

Mapping resolve(const std::string& which, const Runtime& rt) {
    if (which == "upper") return rt.lib.fn<decltype(xrzstup)>("xrzstup");
    if (which == "lower") return rt.lib.fn<decltype(xrzstlo)>("xrzstlo");
    if (which == "min") return rt.lib.fn<decltype(xrzstmin)>("xrzstmin");
    if (which == "max") return rt.lib.fn<decltype(xrzstmax)>("xrzstmax");
    throw UsageError("unknown mapping '" + which + "' (upper, lower, min or max)");
}

int runCase(Args& args) {
    const bool tablesOnly = takeFlag(args, "--tables");
    const std::string which = takeMappingName(args);
    const std::string name = takeInputName(args);
    Runtime rt;
    const Mapping map = resolve(which, rt);
    xrhost::Nls nls(rt.host);
    if (!tablesOnly) nls.attach();

    MappedInput input(name);
    xrhost::XRText text;
    const std::string_view bytes(reinterpret_cast<const char*>(input.data()), input.size());
    const std::uint64_t bad = xrhost::decodeStrict(bytes, text);
    if (bad != input.size())
        throw DataError(input.displayName() + ": invalid UTF-8 at byte offset " +
                        std::to_string(bad));
    map(text.data(), static_cast<XRStrSize>(text.size()));
    const std::string out = xrhost::toUtf8(text.data(), text.size());
    if (std::fwrite(out.data(), 1, out.size(), stdout) != out.size() || std::fflush(stdout) != 0)
        throw DataError("writing the output failed");
    return 0;
}

} // namespace

const Command kCaseCommand = {
    "case",
    "case upper|lower|min|max [--tables] [FILE|-]\n"
    "Maps the UTF-8 text of FILE (standard input for - or none) through the library's\n"
    "XRChar case mappings and writes it to standard output as UTF-8.\n"
    "  upper, lower  letter case; ASCII by the built-in tables, other characters by the\n"
    "                host's ICU-backed NLS extension\n"
    "  min, max      each character becomes the smallest or largest member of its case\n"
    "                class (built-in tables only)\n"
    "  --tables      no NLS extension: every character goes through the built-in tables\n"
    "Invalid UTF-8 stops the command before any output, naming its byte offset (exit 1).",
    &runCase};

} // namespace xrkit
