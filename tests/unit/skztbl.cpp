// The case tables: their layout, a sweep of every XRChar below 0x10000 against a
// model read straight from the generator's data files, and the regeneration check.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <numeric>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "internal/skztbl.h"
#include "xr/xrcase.h"
#include "xr/xrentry.h"

namespace {

using namespace xrkit::casetab;

constexpr int kPlane = 0x10000;

// The whitespace-separated fields of each non-comment line of a generator data file.
std::vector<std::vector<std::string>> dataLines(const std::string& name) {
    std::ifstream in(std::string(XRKIT_SOURCE_DIR) + "/tools/gen/" + name);
    EXPECT_TRUE(in) << name;
    std::vector<std::vector<std::string>> out;
    for (std::string line; std::getline(in, line);) {
        std::istringstream fields(line.substr(0, line.find('#')));
        std::vector<std::string> f;
        for (std::string w; fields >> w;)
            f.push_back(w);
        if (!f.empty()) out.push_back(f);
    }
    return out;
}

// The stated upper/lower mappings as two full arrays over the plane.
struct CaseModel {
    std::vector<XRChar> up, down;
    CaseModel() : up(kPlane), down(kPlane) {
        std::iota(up.begin(), up.end(), 0);
        std::iota(down.begin(), down.end(), 0);
        for (const auto& f : dataLines("case_mappings.txt")) {
            const int step = f.size() > 3 ? std::stoi(f[3]) : 1;
            int a0, a1, b0, b1; // "FIRST-LAST" or "CODE" in hex
            if (std::sscanf(f[1].c_str(), "%x-%x", &a0, &a1) < 2) a1 = a0;
            if (std::sscanf(f[2].c_str(), "%x-%x", &b0, &b1) < 2) b1 = b0;
            EXPECT_EQ(a1 - a0, b1 - b0) << f[1];
            for (int a = a0, b = b0; a <= a1; a += step, b += step) {
                if (f[0] == "both") up[b] = a, down[a] = b;
                if (f[0] == "up") up[a] = b;
                if (f[0] == "down") down[a] = b;
            }
        }
    }
};

// The Unicode case classes below 0x10000 as member lists (classes of one left out).
std::vector<std::vector<int>> caseClasses() {
    std::vector<int> root(kPlane);
    std::iota(root.begin(), root.end(), 0);
    auto find = [&](int x) {
        while (root[x] != x)
            x = root[x] = root[root[x]];
        return x;
    };
    for (const auto& f : dataLines("ucd10_case_pairs.txt")) {
        const int a = find(std::stoi(f[0], nullptr, 16)), b = find(std::stoi(f[1], nullptr, 16));
        root[std::max(a, b)] = std::min(a, b);
    }
    std::map<int, std::vector<int>> byRoot;
    for (int c = 0; c < kPlane; ++c)
        byRoot[find(c)].push_back(c);
    std::vector<std::vector<int>> out;
    for (auto& [r, members] : byRoot)
        if (members.size() > 1) out.push_back(members);
    return out;
}

// c put through fn as the middle unit of three; its neighbours must not change.
XRChar viaString(void (*fn)(XRChar*, XRStrSize), XRChar c) {
    XRChar s[3] = {0x41, c, 0x61};
    fn(s + 1, 1);
    EXPECT_EQ(s[0], 0x41);
    EXPECT_EQ(s[2], 0x61);
    return s[1];
}

class CaseTables : public ::testing::Test {
  protected:
    void SetUp() override { xrextent(nullptr); }
};

// Block index value -> start in the shift table, for the blocks present (others are -1).
std::map<int, int> presentBlocks(const auto& meta) {
    std::map<int, int> out;
    for (int b = 0; b < 512; ++b)
        if (meta[b] >= 0) out[b * 128] = meta[b];
    EXPECT_TRUE(std::all_of(std::begin(meta), std::end(meta), [](auto m) { return m >= -1; }));
    return out;
}
std::map<int, int> startsInOrder(std::initializer_list<int> blocks) {
    std::map<int, int> out;
    int start = 0;
    for (int b : blocks)
        out[b] = start, start += 128;
    return out;
}

TEST_F(CaseTables, SizesAndBlockStartsAreTheStatedOnes) {
    EXPECT_EQ(sizeof skz_metatable, 512 * sizeof(int16_t));
    EXPECT_EQ(sizeof skz_upshift, 2432u);
    EXPECT_EQ(sizeof skz_downshift, 2432u);
    EXPECT_EQ(sizeof skz_upaux, 41 * sizeof(XRChar));
    EXPECT_EQ(sizeof skz_downaux, 39 * sizeof(XRChar));
    EXPECT_EQ(sizeof skz_minshift, 3968 * sizeof(int32_t));
    EXPECT_EQ(sizeof skz_maxshift, 3712 * sizeof(int32_t));
    EXPECT_EQ(presentBlocks(skz_metatable),
              startsInOrder({0x0000, 0x0080, 0x0100, 0x0180, 0x0200, 0x0280, 0x0380, 0x0400, 0x0480,
                             0x0500, 0x0580, 0x1080, 0x1E00, 0x1E80, 0x1F00, 0x1F80, 0x2100, 0x2480,
                             0xFF00}));
    EXPECT_EQ(presentBlocks(skz_min_meta),
              startsInOrder({0x0000, 0x0080, 0x0100, 0x0180, 0x0200, 0x0280, 0x0300, 0x0380,
                             0x0400, 0x0480, 0x0500, 0x0580, 0x1380, 0x1C80, 0x1E00, 0x1E80,
                             0x1F00, 0x1F80, 0x2100, 0x2180, 0x2480, 0x2C00, 0x2C80, 0x2D00,
                             0xA600, 0xA680, 0xA700, 0xA780, 0xAB00, 0xAB80, 0xFF00}));
    EXPECT_EQ(presentBlocks(skz_max_meta),
              startsInOrder({0x0000, 0x0080, 0x0100, 0x0180, 0x0200, 0x0280, 0x0300, 0x0380,
                             0x0400, 0x0480, 0x0500, 0x1080, 0x1380, 0x1C80, 0x1D00, 0x1E00,
                             0x1E80, 0x1F00, 0x1F80, 0x2100, 0x2180, 0x2480, 0x2C00, 0x2C80,
                             0xA600, 0xA680, 0xA700, 0xA780, 0xFF00}));
}

// An escape (-128) only for the 20 + 19 characters of the pair lists: any other escape
// would send a character whose delta fits down the slow pair walk. What the lists hold
// shows in the sweep below, their lengths in the sizes above.
TEST_F(CaseTables, EscapesAreOnlyForThePairLists) {
    EXPECT_EQ(std::count(std::begin(skz_upshift), std::end(skz_upshift), kPairEscape), 20);
    EXPECT_EQ(std::count(std::begin(skz_downshift), std::end(skz_downshift), kPairEscape), 19);
    EXPECT_EQ(skz_upaux[40], 0);
    EXPECT_EQ(skz_downaux[38], 0);
}

TEST_F(CaseTables, EveryBmpCharacterMapsAsStated) {
    const CaseModel model;
    std::vector<XRChar> min(kPlane), max(kPlane);
    std::iota(min.begin(), min.end(), 0);
    std::iota(max.begin(), max.end(), 0);
    for (const auto& members : caseClasses())
        for (int c : members)
            min[c] = members.front(), max[c] = members.back();
    max[0xDF] = 0xDF;
    for (XRChar c = 0; c < kPlane; ++c) {
        ASSERT_EQ(viaString(xrzstup, c), model.up[c]) << std::hex << c;
        ASSERT_EQ(viaString(xrzstlo, c), model.down[c]) << std::hex << c;
        ASSERT_EQ(xrtoupper(c), model.up[c]) << std::hex << c;
        ASSERT_EQ(xrtolower(c), model.down[c]) << std::hex << c;
        ASSERT_EQ(viaString(xrzstmin, c), min[c]) << std::hex << c;
        ASSERT_EQ(viaString(xrzstmax, c), max[c]) << std::hex << c;
    }
}

TEST_F(CaseTables, NothingOutsideTheBmpChanges) {
    std::vector<XRChar> samples = {0x10000, 0x10400, 0x10428, 0x1E900, 0x1E922,  0x10FFFF, 0x110000,
                                   -1,      -2,      -0x80,   -0xFFFF, -0x10000, INT32_MIN};
    for (int64_t c = 0x10000; c <= INT32_MAX; c = c * 3 + 17)
        samples.push_back(static_cast<XRChar>(c));
    for (XRChar c : samples)
        for (auto fn : {xrzstup, xrzstlo, xrzstmin, xrzstmax})
            EXPECT_EQ(viaString(fn, c), c) << c;
}

// The data behind the min/max model gives exactly the stated classes of three or more.
TEST_F(CaseTables, UnicodeGivesTheStatedClassesOfThreeOrMore) {
    const std::set<std::vector<int>> stated = {
        {0x0049, 0x0069, 0x0130, 0x0131}, {0x004B, 0x006B, 0x212A},
        {0x0053, 0x0073, 0x017F},         {0x00B5, 0x039C, 0x03BC},
        {0x00C5, 0x00E5, 0x212B},         {0x01C4, 0x01C5, 0x01C6},
        {0x01C7, 0x01C8, 0x01C9},         {0x01CA, 0x01CB, 0x01CC},
        {0x01F1, 0x01F2, 0x01F3},         {0x0345, 0x0399, 0x03B9, 0x1FBE},
        {0x0392, 0x03B2, 0x03D0},         {0x0395, 0x03B5, 0x03F5},
        {0x0398, 0x03B8, 0x03D1, 0x03F4}, {0x039A, 0x03BA, 0x03F0},
        {0x03A0, 0x03C0, 0x03D6},         {0x03A1, 0x03C1, 0x03F1},
        {0x03A3, 0x03C2, 0x03C3},         {0x03A6, 0x03C6, 0x03D5},
        {0x03A9, 0x03C9, 0x2126},         {0x0412, 0x0432, 0x1C80},
        {0x0414, 0x0434, 0x1C81},         {0x041E, 0x043E, 0x1C82},
        {0x0421, 0x0441, 0x1C83},         {0x0422, 0x0442, 0x1C84, 0x1C85},
        {0x042A, 0x044A, 0x1C86},         {0x0462, 0x0463, 0x1C87},
        {0x1C88, 0xA64A, 0xA64B},         {0x1E60, 0x1E61, 0x1E9B}};
    std::set<std::vector<int>> found;
    for (const auto& members : caseClasses())
        if (members.size() >= 3) found.insert(members);
    EXPECT_EQ(found, stated);
}

TEST_F(CaseTables, StatedExamples) {
    struct Row {
        void (*fn)(XRChar*, XRStrSize);
        XRChar in, out;
    };
    const Row rows[] = {
        {xrzstup, 0xFF, 0x178},     {xrzstup, 0x17F, 0x53},    {xrzstup, 0x1F78, 0x1FF8},
        {xrzstup, 0xDF, 0xDF},      {xrzstup, 0x131, 0x131},   {xrzstup, 0x10428, 0x10428},
        {xrzstlo, 0x130, 0x130},    {xrzstlo, 0x10A0, 0x10D0}, {xrzstlo, 0x1FF9, 0x1F79},
        {xrzstlo, 0x2160, 0x2170},  {xrzstlo, 0xFF21, 0xFF41}, {xrzstup, 0x10D0, 0x10D0},
        {xrzstmax, 0x69, 0x131},    {xrzstmax, 0xDF, 0xDF},    {xrzstmin, 0x1E9E, 0xDF},
        {xrzstmax, 0x1E9E, 0x1E9E}, {xrzstmin, 0x212A, 0x4B},
    };
    for (const Row& r : rows)
        EXPECT_EQ(viaString(r.fn, r.in), r.out) << std::hex << r.in;
}

// The committed tables are exactly what the generator makes from the committed data.
TEST(CaseTablesSource, RegeneratesByteForByte) {
    if (std::system("python3 --version > /dev/null 2>&1") != 0) GTEST_SKIP() << "no python3";
    const std::string out = std::string(XRKIT_BINARY_DIR) + "/skztbl.regenerated.cpp";
    const std::string cmd =
        "python3 '" XRKIT_SOURCE_DIR "/tools/gen/gen_case_tables.py' --output '" + out + "'";
    ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
    auto slurp = [](const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    const std::string committed = slurp(XRKIT_SOURCE_DIR "/src/xrmk/skztbl.cpp");
    ASSERT_FALSE(committed.empty());
    EXPECT_TRUE(committed == slurp(out)) << "src/xrmk/skztbl.cpp differs from " << out;
}

} // namespace
