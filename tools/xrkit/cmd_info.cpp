// xrkit info: the interface version and the library's version record.
#include <cinttypes>

#include "commands.h"
#include "xr/xrentry.h"

namespace xrkit {
namespace {

int runInfo(const Args& args) {
    Options o(args, {});
    limitOperands(o, 0);
    Runtime rt;
    XRS_Version_Info v{};
    rt.lib.fn<decltype(xrvercn1)>("xrvercn1")(&v);
    Output out("-");
    out.print("library              %s\n", rt.lib.path().c_str());
    out.print("interface            %zu.%zu\n", rt.lib.major(), rt.lib.minor());
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
    out.print("build_epoch          %" PRId64 "\n", v.build_epoch);
    for (const auto& t : texts)
        out.print("%-20s \"%s\"\n", t.name, t.text ? t.text : "(null)");
    out.print("prodid               %" PRId64 "\n", v.prodid);
    out.finish();
    return 0;
}

} // namespace

const Command kInfoCommand = {"info",
                              "info\n"
                              "Prints the library loaded, the extension interface version it\n"
                              "reports and every member of its version record.",
                              &runInfo};

} // namespace xrkit
