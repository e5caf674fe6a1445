// Token search in XRChar strings: the edge rules, and random strings over a small
// alphabet (so that partial matches are frequent) against a plain reference.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "xr/xrmem.h"

namespace {

XRStrSize naiveIndex(const std::vector<XRChar>& s, const std::vector<XRChar>& t) {
    if (t.empty()) return 0;
    for (std::size_t p = 0; p + t.size() <= s.size(); ++p)
        if (std::equal(t.begin(), t.end(), s.begin() + static_cast<std::ptrdiff_t>(p)))
            return static_cast<XRStrSize>(p);
    return -1;
}

TEST(TokenSearch, EdgeRules) {
    const XRChar s[] = {'a', 'b', 'a', 'b', 'c'};
    const XRChar ab[] = {'a', 'b'}, bc[] = {'b', 'c'}, abcabc[] = {'a', 'b', 'c', 'a', 'b', 'c'};
    EXPECT_EQ(xrzsndx(s, 0, nullptr, 0), 0);
    EXPECT_EQ(xrzsndx(nullptr, 0, ab, 0), 0);
    EXPECT_EQ(xrzsndx(s, 5, nullptr, -1), 0);
    EXPECT_EQ(xrzsndx(s, 0, ab, 2), -1);
    EXPECT_EQ(xrzsndx(s, 5, abcabc, 6), -1);
    EXPECT_EQ(xrzsndx(s, 5, ab, 2), 0);
    EXPECT_EQ(xrzsndx(s + 1, 4, ab, 2), 1);
    EXPECT_EQ(xrzsndx(s, 5, bc, 2), 3);
    EXPECT_EQ(xrzsndx(s, 4, bc, 2), -1);
    EXPECT_EQ(xrzsndx(s, 5, s, 5), 0);
    const XRChar wide[] = {0x141, -1, 0x41}, tok[] = {-1, 0x41}, low[] = {0x41};
    EXPECT_EQ(xrzsndx(wide, 3, tok, 2), 1);
    EXPECT_EQ(xrzsndx(wide, 3, low, 1), 2);
}

TEST(TokenSearch, AgreesWithReferenceOnRandomStrings) {
    std::mt19937 rng(5);
    for (int t = 0; t < 30000; ++t) {
        std::vector<XRChar> s(rng() % 40), tok(rng() % 5);
        for (auto& c : s)
            c = 'a' + static_cast<XRChar>(rng() % 3);
        for (auto& c : tok)
            c = 'a' + static_cast<XRChar>(rng() % 3);
        const auto sl = static_cast<XRStrSize>(s.size()), tl = static_cast<XRStrSize>(tok.size());
        ASSERT_EQ(xrzsndx(s.data(), sl, tok.data(), tl), naiveIndex(s, tok));
    }
}

} // namespace
