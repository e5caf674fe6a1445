// Character position in XRChar strings. (The scan kernel under it is swept over every
// length and alignment in xrstdlib.cpp.)
#include <gtest/gtest.h>

#include "xr/xrmem.h"

namespace {

TEST(CharPosition, FirstMatchOrMinusOne) {
    const XRChar s[] = {'a', 'b', 0x162, 'b', -5};
    EXPECT_EQ(xrzspos(s, 5, 'b'), 1);
    EXPECT_EQ(xrzspos(s, 5, -5), 4);
    EXPECT_EQ(xrzspos(s, 4, -5), -1);
    EXPECT_EQ(xrzspos(s, 5, 0x62 + 0x100), 2);
    EXPECT_EQ(xrzspos(s, 0, 'a'), -1);
    EXPECT_EQ(xrzspos(s, -1, 'a'), -1);
    EXPECT_EQ(xrzspos(nullptr, 5, 'a'), -1);
}

} // namespace
