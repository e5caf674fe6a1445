// xrkit info: the interface version and the library's version record.
#include <cinttypes>
#include <cstdio>

#include "commands.h"
#include "xr/xrentry.h"

namespace xrkit {
namespace {

int runInfo(Args& args) {
    rejectLeftovers(args);
    Runtime rt;
    XRS_Version_Info v{};
    rt.lib.fn<decltype(xrvercn1)>("xrvercn1")(&v);
    std::printf("library              %s\n", rt.lib.path().c_str());
    std::printf("interface            %zu.%zu\n", rt.lib.major(), rt.lib.minor());
    const struct {
        const char* name;
        const char* text;
    } texts[] = {
        {"portdate", v.portdate},
        {"track_lookthrough", v.track_lookthrough},
        {"track_additional", v.track_additional},
        {"product_name", v.product_name},
        {"script_name", v.script_name},
        {"script_dvd", v.script_dvd},
        {"script_loc", v.script_loc},
        {"maintenance", v.maintenance},
        {"version", v.version},
        {"os_version", v.os_version},
        {"hotfix", v.hotfix},
        {"hotfix_Install", v.hotfix_Install},
        {"description", v.description},
        {"description_Install", v.description_Install},
        {"environment", v.environment},
        {"build_time", v.build_time},
    };
    std::printf("build_epoch          %" PRId64 "\n", v.build_epoch);
    for (const auto& t : texts)
        std::printf("%-20s \"%s\"\n", t.name, t.text ? t.text : "(null)");
    std::printf("prodid               %" PRId64 "\n", v.prodid);
    return 0;
}

} // namespace

const Command kInfoCommand = {"info",
                              "info\n"
                              "Prints the extension interface version that the library reports\n"
                              "and every member of its version record.",
                              &runInfo};

} // namespace xrkit
