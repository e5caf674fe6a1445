#include <gtest/gtest.h>

#include <cstring>

#include "xr/xrentry.h"

namespace {

XRHndlp fakeHandle(std::uintptr_t v) {
    return reinterpret_cast<XRHndlp>(v);
}

TEST(Entry, VersionIsNineOneForAnyHandleAndTheLastCallWins) {
    for (XRHndlp h : {fakeHandle(0), fakeHandle(0x1000), fakeHandle(~std::uintptr_t{0} & ~7u)}) {
        std::size_t major = 77, minor = 77;
        EXPECT_EQ(xrextver(h, &major, &minor), 0);
        EXPECT_EQ(major, 9u);
        EXPECT_EQ(minor, 1u);
        EXPECT_EQ(Exported_XRHandle, h);
    }
    EXPECT_EQ(xrextent(fakeHandle(0x2000)), 0);
    EXPECT_EQ(Exported_XRHandle, fakeHandle(0x2000));
    EXPECT_EQ(xrextent(nullptr), 0);
    EXPECT_EQ(Exported_XRHandle, nullptr);
}

// Two records over different junk must come out identical: no byte is left unwritten.
TEST(VersionRecord, HoldsTheStatedTextsAndEveryByteIsWritten) {
    XRS_Version_Info v, other;
    std::memset(&v, 0xA5, sizeof v);
    std::memset(&other, 0x22, sizeof other);
    xrvercn1(&v);
    xrvercn1(&other);
    static_assert(sizeof v == 26 * 8);
    EXPECT_EQ(std::memcmp(&v, &other, sizeof v), 0);
    EXPECT_STREQ(v.portdate, "V.04.00M0P10072020");
    EXPECT_EQ(v.build_epoch, 1610056947);
    EXPECT_STREQ(v.product_name, "xr");
    EXPECT_EQ(std::strlen(v.script_name), 9u);
    EXPECT_STREQ(v.script_dvd, "xrext");
    EXPECT_EQ(std::strlen(v.script_loc), 20u);
    EXPECT_STREQ(v.version, "version");
    EXPECT_STREQ(v.os_version, "::");
    for (const char* empty : {v.track_additional, v.maintenance, v.hotfix})
        EXPECT_STREQ(empty, "");
    EXPECT_EQ(std::string(v.hotfix_Install), "QOZ_VERSION_HOTFIX_NUMBER=" + std::string(39, ' '));
    EXPECT_EQ(std::strlen(v.description), 30u);
    EXPECT_EQ(std::string(v.description_Install),
              "VERCON_IMAGE_DESCRIPTION=" + std::string(40, ' '));
    EXPECT_STREQ(v.environment, "plxno");
    EXPECT_STREQ(v.build_time, "Thu Jan  7 17:02:27 EST 2021");
    EXPECT_EQ(v.prodid, 0);
    for (void* p : v.expansion)
        EXPECT_EQ(p, nullptr);
    ASSERT_NE(v.track_lookthrough, nullptr);
}

TEST(VersionRecord, BuildEpochAndBuildTimeNameOneInstant) {
    XRS_Version_Info v;
    xrvercn1(&v);
    std::time_t t = static_cast<std::time_t>(v.build_epoch) - 5 * 3600; // EST
    std::tm tm{};
    gmtime_r(&t, &tm);
    char text[64];
    std::strftime(text, sizeof text, "%a %b %e %H:%M:%S EST %Y", &tm);
    EXPECT_STREQ(v.build_time, text);
}

} // namespace
