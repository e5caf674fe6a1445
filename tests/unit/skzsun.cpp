// Case-blind equality and collation: stated cases, and random strings against a plain
// reference. The NLS extension is attached throughout to show that neither calls it.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "internal/skztbl.h"
#include "recording.h"
#include "xr/xrcase.h"
#include "xr/xrentry.h"

namespace {

using Str = std::vector<XRChar>;

int32_t cmp(const Str& a, const Str& b) {
    return xrzsncmp(a.data(), XRStrSize(a.size()), b.data(), XRStrSize(b.size()));
}
bool eqn(const Str& a, const Str& b) {
    return xrzseqn(a.data(), XRStrSize(a.size()), b.data(), XRStrSize(b.size())) == XR_TRUE;
}

// Lower-casing for the reference: the stated mapping, written out independently of
// the tables for the characters the random strings use.
XRChar refLower(XRChar c) {
    if ((c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7)) return c + 0x20;
    if (c >= 0x100 && c <= 0x12F) return c | 1;
    if (c == 0x178) return 0xFF;
    if (c == 0x181) return 0x253;
    if (c == 0x1FF8) return 0x1F78;
    if (c == 0x1C4 || c == 0x1C5) return 0x1C6;
    if (c >= 0x10A0 && c <= 0x10C5) return c + 0x30;
    return c;
}

// Pad the shorter with blanks; a non-blank tail decides as a folded difference, the
// first folded difference decides, else the first raw difference breaks the tie.
int32_t refCompare(const Str& a, const Str& b) {
    int32_t tie = 0;
    for (size_t i = 0; i < std::max(a.size(), b.size()); ++i) {
        if (i >= a.size() || i >= b.size()) {
            if ((i < a.size() ? a[i] : b[i]) != ' ') return i < a.size() ? 2 : -2;
        } else if (a[i] != b[i]) {
            if (tie == 0) tie = a[i] < b[i] ? -1 : 1;
            const XRChar la = refLower(a[i]), lb = refLower(b[i]);
            if (la != lb) return la < lb ? -2 : 2;
        }
    }
    return tie;
}

struct Collation : ::testing::Test {
    xrtest::Recorder rec;
    xrtest::RecordingHost host{rec};
    xrtest::RecordingNls nls{rec};
    void SetUp() override {
        host.rec.xrnls = nls.handle();
        xrextent(host.handle());
    }
    void TearDown() override {
        EXPECT_TRUE(rec.calls.empty());
        xrextent(nullptr);
    }
};

TEST_F(Collation, StatedCases) {
    struct Row {
        std::u32string a, b; // U'\xFFFFFFFF' is the unit -1
        int32_t cmp;
        bool eq;
    };
    // What the random strings below never hold: a tab and '!', which are not blanks,
    // U+1E9E (no table pair with U+00DF), the unit -1 (signed order), U+0130 (no mapping)
    // and U+3000, which is not a blank either.
    const Row rows[] = {{U"abc", U"ABC", 1, true},        {U"a\tb", U"a b", -2, false},
                        {U"Ab ", U"aB!", -2, false},      {U"\xDF", U"\x1E9E", -2, false},
                        {U"\xFFFFFFFF", U"a", -2, false}, {U"a", U"\xFFFFFFFF", 2, false},
                        {U"\x130", U"i", 2, false},       {U" \x3000", U"", 2, false}};
    for (const Row& r : rows) {
        const Str a(r.a.begin(), r.a.end()), b(r.b.begin(), r.b.end());
        EXPECT_EQ(cmp(a, b), r.cmp) << &r - rows;
        EXPECT_EQ(eqn(a, b), r.eq) << &r - rows;
    }
}

TEST_F(Collation, LengthsDecideBeforeAnyUnitIsRead) {
    EXPECT_EQ(xrzseqn(nullptr, 2, nullptr, 3), XR_FALSE);
    EXPECT_EQ(xrzseqn(nullptr, 0, nullptr, 0), XR_TRUE);
    const XRChar blanks[] = {' ', ' '}, x[] = {'x'};
    EXPECT_EQ(xrzsncmp(nullptr, -4, blanks, 2), 0); // negative lengths count as empty
    EXPECT_EQ(xrzsncmp(blanks, 2, nullptr, -1), 0);
    EXPECT_EQ(xrzsncmp(x, 1, nullptr, -1), 2);
}

// Random strings, often case variants of each other or one unit apart, over letters
// that fold through deltas, the pair lists, one-way mappings and none.
TEST_F(Collation, RandomStringsAgreeWithTheReference) {
    std::mt19937 rng(20240611);
    const XRChar alphabet[] = {'a',   'A',    'b',    'B',   'z',    'Z',    ' ',   ' ',
                               ' ',   '0',    0xC0,   0xE0,  0xDE,   0xFE,   0x100, 0x101,
                               0x178, 0xFF,   0x181,  0x253, 0x1FF8, 0x1F78, 0x1C4, 0x1C5,
                               0x1C6, 0x10A0, 0x10D0, 0xDF,  -3,     0x10428};
    auto unit = [&] { return alphabet[rng() % std::size(alphabet)]; };
    for (int i = 0; i < 200000; ++i) {
        Str a(rng() % 7), b;
        std::generate(a.begin(), a.end(), unit);
        switch (rng() % 4) {
        case 0:
            b.resize(rng() % 7);
            std::generate(b.begin(), b.end(), unit);
            break;
        case 1: // a case variant of a, with blanks perhaps appended
            b = a;
            for (auto& c : b)
                if (rng() % 2) c = rng() % 2 ? xrkit::casetab::tableUpper(c) : refLower(c);
            b.resize(b.size() + rng() % 3, ' ');
            break;
        case 2: // a with one unit changed
            b = a;
            if (!b.empty()) b[rng() % b.size()] = unit();
            break;
        default:
            b = a;
            b.push_back(unit());
        }
        if (rng() % 2) std::swap(a, b);
        bool same = a.size() == b.size();
        for (size_t k = 0; same && k < a.size(); ++k)
            same = refLower(a[k]) == refLower(b[k]);
        ASSERT_EQ(cmp(a, b), refCompare(a, b)) << i;
        ASSERT_EQ(eqn(a, b), same) << i;
        ASSERT_EQ(cmp(b, a), -cmp(a, b)) << i;
    }
}

} // namespace
