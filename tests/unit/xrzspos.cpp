// Character position in XRChar strings.
#include <gtest/gtest.h>

#include <vector>

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

TEST(CharPosition, EveryPositionOfLongStrings) {
    for (std::size_t n = 1; n <= 80; ++n)
        for (std::size_t at = 0; at < n; ++at) {
            std::vector<XRChar> s(n + 1, ' ');
            s[at] = 'x';
            s[n] = 'y';
            const auto len = static_cast<XRStrSize>(n);
            ASSERT_EQ(xrzspos(s.data(), len, 'x'), static_cast<XRStrSize>(at));
            ASSERT_EQ(xrzspos(s.data(), len, 'y'), -1);
        }
}

} // namespace
