// Case mapping through the real library with the reference host's ICU-backed NLS
// extension: every non-ASCII unit goes to ICU, ASCII stays with the tables. (That the
// comparisons never call the extension is pinned in tests/unit/skzsun.cpp.)
#include <gtest/gtest.h>

#include <unicode/uchar.h>

#include <vector>

#include "xr/xrcase.h"
#include "xrhost/host.h"
#include "xrhost/loader.h"
#include "xrhost/nls.h"

namespace {

struct CaseWithNls : ::testing::Test {
    xrhost::Host host;
    xrhost::Nls nls{host};
    xrhost::Library lib{XRKIT_LIBRARY_FILE};
    decltype(&xrzstup) up = lib.fn<decltype(xrzstup)>("xrzstup");
    decltype(&xrzstlo) lo = lib.fn<decltype(xrzstlo)>("xrzstlo");
    void SetUp() override { lib.attach(host.handle()); }
};

// Every unit below 0x10000 and a spread above and below, upper- and lower-cased in place.
TEST_F(CaseWithNls, NonAsciiFollowsIcuAndAsciiTheTables) {
    XRChar georgian = 0x10D0; // no table mapping, but one in ICU
    up(&georgian, 1);
    EXPECT_EQ(georgian, 0x10D0); // the extension is not attached yet
    nls.attach();
    std::vector<XRChar> in;
    for (XRChar c = 0; c < 0x10000; ++c)
        in.push_back(c);
    in.insert(in.end(),
              {0x10400, 0x10428, 0x1E900, 0x1E922, 0x10FFFF, 0x110000, -1, -0x41, INT32_MIN});
    auto upper = in, lower = in;
    upper.push_back(0x5A5A5A5A);
    up(upper.data(), XRStrSize(in.size()));
    lo(lower.data(), XRStrSize(in.size()));
    EXPECT_EQ(upper.back(), 0x5A5A5A5A);
    for (size_t i = 0; i < in.size(); ++i) {
        const XRChar c = in[i];
        const bool ascii = c >= 0 && c < 0x80, cp = c >= 0 && c <= 0x10FFFF;
        const XRChar wantUp = ascii ? (c >= 'a' && c <= 'z' ? c - 32 : c) : cp ? u_toupper(c) : c;
        const XRChar wantLo = ascii ? (c >= 'A' && c <= 'Z' ? c + 32 : c) : cp ? u_tolower(c) : c;
        ASSERT_EQ(upper[i], wantUp) << std::hex << c;
        ASSERT_EQ(lower[i], wantLo) << std::hex << c;
    }
    EXPECT_EQ(lib.fn<decltype(xrtoupper)>("xrtoupper")(0x1F80), u_toupper(0x1F80));
}

} // namespace
