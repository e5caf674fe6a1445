// The version record describing this build. Its texts are constant data of the library.
#include "xr/xrentry.h"

namespace {

constexpr char kEmpty[] = "";
constexpr char kHotfixInstall[] = "QOZ_VERSION_HOTFIX_NUMBER="
                                  "                                       ";
constexpr char kDescriptionInstall[] = "VERCON_IMAGE_DESCRIPTION="
                                       "                                        ";
constexpr char kScriptName[] = "xrkit-091";
constexpr char kScriptLoc[] = "src/xrp/xrvercon.cpp";
constexpr char kDescription[] = "xrkit extension runtime, v9.1.";
constexpr char kBuildTime[] = "Thu Jan  7 17:02:27 EST 2021";

static_assert(sizeof kHotfixInstall - 1 == 65);
static_assert(sizeof kDescriptionInstall - 1 == 65);
static_assert(sizeof kScriptName - 1 == 9);
static_assert(sizeof kScriptLoc - 1 == 20);
static_assert(sizeof kDescription - 1 == 30);
static_assert(sizeof(XRS_Version_Info) == 26 * 8);

const XRS_Version_Info kVersion = {
    "V.04.00M0P10072020", // portdate
    "xrkit/src",          // track_lookthrough
    kEmpty,               // track_additional
    1610056947,           // build_epoch: 2021-01-07 22:02:27 UTC, the same instant as build_time
    "xr",                 // product_name
    kScriptName,
    "xrext", // script_dvd
    kScriptLoc,
    kEmpty,    // maintenance
    "version", // version
    "::",      // os_version
    kEmpty,    // hotfix
    kHotfixInstall,
    kDescription,
    kDescriptionInstall,
    "plxno", // environment
    kBuildTime,
    0, // prodid
    {},
};

} // namespace

extern "C" void xrvercn1(XRS_Version_Info* verinfo) {
    *verinfo = kVersion;
}
