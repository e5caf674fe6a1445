// Token search in XRChar strings: the edge rules, and random strings over a small
// alphabet (so that partial matches are frequent) against a plain reference.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "xr/xrmem.h"

namespace {

TEST(TokenSearch, EdgeRules) {
    const XRChar s[] = {'a', 'b', 'a', 'b', 'c'};
    const XRChar ab[] = {'a', 'b'}, bc[] = {'b', 'c'}, abcabc[] = {'a', 'b', 'c', 'a', 'b', 'c'};
    const XRChar wide[] = {0x141, -1, 0x41}, tok[] = {-1, 0x41}, low[] = {0x41};
    const XRStrSize rows[][2] = {{xrzsndx(s, 0, nullptr, 0), 0},  {xrzsndx(nullptr, 0, ab, 0), 0},
                                 {xrzsndx(s, 5, nullptr, -1), 0}, {xrzsndx(s, 0, ab, 2), -1},
                                 {xrzsndx(s, 5, abcabc, 6), -1},  {xrzsndx(s, 5, ab, 2), 0},
                                 {xrzsndx(s + 1, 4, ab, 2), 1},   {xrzsndx(s, 5, bc, 2), 3},
                                 {xrzsndx(s, 4, bc, 2), -1},      {xrzsndx(s, 5, s, 5), 0},
                                 {xrzsndx(wide, 3, tok, 2), 1},   {xrzsndx(wide, 3, low, 1), 2}};
    for (const auto& r : rows)
        EXPECT_EQ(r[0], r[1]) << "row " << &r - rows;
}

TEST(TokenSearch, AgreesWithReferenceOnRandomStrings) {
    std::mt19937 rng(5);
    for (int t = 0; t < 30000; ++t) {
        std::vector<XRChar> s(rng() % 40), tok(rng() % 5);
        for (auto* v : {&s, &tok})
            for (auto& c : *v)
                c = 'a' + static_cast<XRChar>(rng() % 3);
        XRStrSize want = tok.empty() ? 0 : -1;
        for (std::size_t p = 0; want < 0 && p + tok.size() <= s.size(); ++p)
            if (std::equal(tok.begin(), tok.end(), s.begin() + static_cast<std::ptrdiff_t>(p)))
                want = static_cast<XRStrSize>(p);
        const auto sl = static_cast<XRStrSize>(s.size()), tl = static_cast<XRStrSize>(tok.size());
        ASSERT_EQ(xrzsndx(s.data(), sl, tok.data(), tl), want);
    }
}

} // namespace
