// Case-blind equality and collation, against a plain reference on random strings.
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

Str S(const char* ascii) {
    return Str(ascii, ascii + std::char_traits<char>::length(ascii));
}

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

int32_t refCompare(const Str& a, const Str& b) {
    // Pad the shorter with blanks; a non-blank tail decides as a folded difference.
    const size_t n = std::max(a.size(), b.size());
    int32_t tie = 0;
    for (size_t i = 0; i < n; ++i) {
        const bool inA = i < a.size(), inB = i < b.size();
        if (!inA || !inB) {
            const XRChar t = inA ? a[i] : b[i];
            if (t != ' ') return inA ? 2 : -2;
            continue;
        }
        if (a[i] == b[i]) continue;
        if (tie == 0) tie = a[i] < b[i] ? -1 : 1;
        const XRChar la = refLower(a[i]), lb = refLower(b[i]);
        if (la != lb) return la < lb ? -2 : 2;
    }
    return tie;
}

bool refEqual(const Str& a, const Str& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (refLower(a[i]) != refLower(b[i])) return false;
    return true;
}

struct Collation : ::testing::Test {
    xrtest::Recorder rec;
    xrtest::RecordingHost host{rec};
    xrtest::RecordingNls nls{rec};
    // The extension is attached to show that the comparisons never use it.
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
        const char *a, *b;
        int32_t cmp;
        bool eq;
    };
    const Row rows[] = {
        {"abc", "ABC", 1, true},     {"ABC", "abc", -1, true},    {"abc", "abd", -2, false},
        {"abc", "abc   ", 0, false}, {"Abc", "abc  ", -1, false}, {"abc", "abcd", -2, false},
        {"abcd", "abc", 2, false},   {"", "", 0, true},           {"", "   ", 0, false},
        {"abc ", "abc", 0, false},   {"aB", "Ab", 1, true},       {"ab", "ab ", 0, false},
        {"a", "B", -2, false},       {"B", "a", 2, false},        {"Ab ", "aB!", -2, false},
        {"a\tb", "a b", -2, false},  {"   ", "", 0, false},       {"aBc  x", "Abc", 2, false},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(cmp(S(r.a), S(r.b)), r.cmp) << '"' << r.a << "\" vs \"" << r.b << '"';
        EXPECT_EQ(eqn(S(r.a), S(r.b)), r.eq) << '"' << r.a << "\" vs \"" << r.b << '"';
    }
}

TEST_F(Collation, UnequalLengthsAreUnequalWithoutReadingTheUnits) {
    EXPECT_EQ(xrzseqn(nullptr, 2, nullptr, 3), XR_FALSE);
    EXPECT_EQ(xrzseqn(nullptr, 0, nullptr, 0), XR_TRUE);
}

TEST_F(Collation, NonAsciiFoldsByTheTablesAndSignedOrderDecides) {
    EXPECT_EQ(cmp({0xC0}, {0xE0}), -1);
    EXPECT_EQ(cmp({0x10A0}, {0x10D0}), -1); // one-way lower mapping still folds
    EXPECT_EQ(cmp({0x10D0}, {0x10A0}), 1);
    EXPECT_EQ(cmp({0xDF}, {0x1E9E}), -2); // not a table pair
    EXPECT_EQ(cmp({-1}, {'a'}), -2);      // signed: negative units sort first
    EXPECT_EQ(cmp({'a'}, {-1}), 2);
    EXPECT_EQ(cmp({0x1FF8}, {0x1F78}), 1); // through the pair list
    EXPECT_TRUE(eqn({0x1FF8, 0x181}, {0x1F78, 0x253}));
    EXPECT_FALSE(eqn({0x130}, {'i'}));
    EXPECT_EQ(cmp({0x20, 0x20}, {}), 0);
    EXPECT_EQ(cmp({0x20, 0x3000}, {}), 2); // only U+0020 is a blank
}

TEST_F(Collation, NegativeLengthsCountAsEmpty) {
    const Str blanks = S("  ");
    EXPECT_EQ(xrzsncmp(nullptr, -4, blanks.data(), 2), 0);
    EXPECT_EQ(xrzsncmp(blanks.data(), 2, nullptr, -1), 0);
    EXPECT_EQ(xrzsncmp(S("x").data(), 1, nullptr, -1), 2);
}

TEST_F(Collation, RandomStringsAgreeWithTheReference) {
    std::mt19937 rng(20240611);
    const XRChar alphabet[] = {'a',   'A',    'b',    'B',   'z',    'Z',    ' ',   ' ',
                               ' ',   '0',    0xC0,   0xE0,  0xDE,   0xFE,   0x100, 0x101,
                               0x178, 0xFF,   0x181,  0x253, 0x1FF8, 0x1F78, 0x1C4, 0x1C5,
                               0x1C6, 0x10A0, 0x10D0, 0xDF,  -3,     0x10428};
    auto randomString = [&](size_t maxLen) {
        Str s(rng() % (maxLen + 1));
        for (auto& c : s)
            c = alphabet[rng() % std::size(alphabet)];
        return s;
    };
    for (int i = 0; i < 200000; ++i) {
        Str a = randomString(6), b;
        switch (rng() % 4) {
        case 0:
            b = randomString(6);
            break;
        case 1: // a case variant of a, with blanks perhaps appended
            b = a;
            for (auto& c : b)
                if (rng() % 2) c = rng() % 2 ? xrkit::casetab::tableUpper(c) : refLower(c);
            b.resize(b.size() + rng() % 3, ' ');
            break;
        case 2: // a with one unit changed
            b = a;
            if (!b.empty()) b[rng() % b.size()] = alphabet[rng() % std::size(alphabet)];
            break;
        default:
            b = a;
            b.push_back(alphabet[rng() % std::size(alphabet)]);
        }
        if (rng() % 2) std::swap(a, b);
        ASSERT_EQ(cmp(a, b), refCompare(a, b)) << i;
        ASSERT_EQ(eqn(a, b), refEqual(a, b)) << i;
        ASSERT_EQ(cmp(b, a), -cmp(a, b)) << i;
    }
}

} // namespace
