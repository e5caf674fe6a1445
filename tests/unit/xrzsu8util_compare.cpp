// UTF-8 comparison, case-blind order and equality, copy and strip: exact cases, the
// host calls with their arguments, and random texts against the plain reference.
#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "folding_host.h"
#include "recording.h"
#include "utf8_reference.h"
#include "xr/xrentry.h"
#include "xr/xrutf8.h"

namespace {

using xrref::Bytes;
using xrref::testFold;
using U64 = std::uint64_t;

Bytes b(const char* s) {
    return Bytes(reinterpret_cast<const std::uint8_t*>(s), std::strlen(s));
}
std::string show(const Bytes& x, const Bytes& y) {
    return testing::PrintToString(x) + "/" + testing::PrintToString(y);
}
int normCompare(const Bytes& x, const Bytes& y) {
    return xrzsu8NormCompare(x.data(), x.size(), y.data(), y.size());
}
int normEqual(const Bytes& x, const Bytes& y) {
    return xrzsu8NormEqual(x.data(), x.size(), y.data(), y.size());
}

// The folding host, entered for the length of a test.
struct FoldingHost : xrref::FoldingHost {
    FoldingHost() { enter(); }
    ~FoldingHost() { leave(); }
};

// Case-blind order and equality of each pair, also through the Text forms; the reference
// must agree on every row.
TEST(Utf8NormCompareAndEqual, ExactCases) {
    FoldingHost host;
    const std::tuple<const char*, const char*, int, bool> cases[] = {
        {"ABC", "abc", -1, 1},
        {"abc", "ABC", 1, 1},
        {"abc", "abd", -2, 0},
        {"abc  ", "abc", 0, 0},
        {"abc", "abc ", 0, 0},
        {"Abc  ", "abc", -1, 0},
        {"abcx", "abc", 2, 0},
        {"abc", "abcx", -2, 0},
        {"Abc", "abd", -2, 0},
        {"", "", 0, 1},
        {"", "  ", 0, 0},
        {"", "\t", -2, 0},
        {"a", "", 2, 0},
        {"", "a", -2, 0},
        // Kelvin sign (three bytes) folds to k; the comparison goes on to b against z.
        {"\xE2\x84\xAA\x62", "kz", -2, 0},
        {"\xE2\x84\xAA\x62", "kb", 1, 1},
        {"\xE2\x84\xAA", "K", 1, 1},
        {"\xC3\x89t\xC3\xA9", "\xC3\xA9T\xC3\xA9", -1, 1},
        {"\xF0\x90\x90\x80", "\xF0\x90\x90\xA8", -1, 1},
        // Two different malformed sequences are equal but set the tie-break to +1.
        {"\x80x", "\xFFx", 1, 1},
        {"\xFFx", "\x80x", 1, 1},
        {"\xC3", "\xC3", 1, 1}};
    for (const auto& [cx, cy, order, equal] : cases) {
        const Bytes x = b(cx), y = b(cy);
        EXPECT_EQ(normCompare(x, y), order) << show(x, y);
        EXPECT_EQ(xrzsu8NormCompareText(x.data(), x.size(), y.data(), y.size(), 27), order);
        EXPECT_EQ(normEqual(x, y), equal) << show(x, y);
        EXPECT_EQ(xrzsu8NormEqualText(x.data(), x.size(), y.data(), y.size(), 0), equal ? 1 : 0);
        EXPECT_EQ(xrref::normCompare(x, y, testFold), order) << "reference: " << show(x, y);
        EXPECT_EQ(xrref::normEqual(x, y, testFold, testFold), equal) << "reference: " << show(x, y);
    }
}

// The folding goes to the host with (extension, character, 1); only for characters
// whose bytes differ, never for equal runs or ASCII pairs.
TEST(Utf8NormCompare, HostCallsCarryTheCharacters) {
    xrtest::Recorder r;
    xrtest::RecordingHost host(r);
    xrtest::RecordingNls nls(r);
    host.rec.xrnls = nls.handle();
    nls.rec.ext.hndl = host.handle();
    xrextent(host.handle());
    auto expectFolded = [&](XRChar first, XRChar second) { // and no other host call
        ASSERT_EQ(r.calls.size(), 2u);
        ASSERT_EQ(r.named("charDowncase").size(), 2u);
        EXPECT_EQ(std::pair(r.calls[0].args, r.calls[1].args),
                  std::pair(xrtest::words(nls.handle(), first, 1),
                            xrtest::words(nls.handle(), second, 1)));
        r.calls.clear();
    };
    r.script("charDowncase", 0xE9);
    r.script("charDowncase", 0xE9);
    EXPECT_EQ(normCompare(b("\xC3\xA9xA\xF0\x9F\x98\x80Q\xC3\x89"),
                          b("\xC3\xA9xa\xF0\x9F\x98\x80q\xC3\xA9")),
              -1);
    expectFolded(0xC9, 0xE9);
    // Equality folds below U+10000 through xrzstlo (here: the host, for non-ASCII) and
    // above it through the host directly.
    EXPECT_FALSE(normEqual(b("A\xC3\x89\xF0\x90\x90\x80"), b("a\xC3\x89\xF0\x90\x90\x81")));
    expectFolded(0x10400, 0x10401);
    EXPECT_FALSE(normEqual(b("\xC3\x89"), b("\xC3\xA0")));
    expectFolded(0xC9, 0xE0);
    xrextent(nullptr);
}

// Texts made of pieces that stress the paths: case pairs, blanks, multi-byte letters,
// characters that fold across lengths, and malformed bytes.
Bytes randomText(std::mt19937_64& rng) {
    static const std::vector<Bytes> pieces = [] {
        std::vector<Bytes> v(1);
        for (const char* p =
                 "a|A|b|B|k|K| | |\t|z|\xC3\xA9|\xC3\x89|\xCE\xA3|\xCF\x83|\xE2\x84\xAA|"
                 "\xF0\x90\x90\x80|\xF0\x90\x90\xA8|\xE3\x80\x80|\xC2\xA0|\xC2\x85|\x80|"
                 "\xC3|\xE2\x84|\xC0\x80|\xFF";
             *p; ++p)
            *p == '|' ? void(v.emplace_back()) : v.back().push_back(static_cast<std::uint8_t>(*p));
        return v;
    }();
    Bytes out;
    for (int n = static_cast<int>(rng() % 7); n > 0; --n)
        out += pieces[rng() % pieces.size()];
    return out;
}

// x random; y random, or x with letters swapped in case here and there, then blanks
// added, a tail cut or more text appended. Also byte order, and strip of x followed by y.
TEST(Utf8NormCompareAndStrip, RandomTextsAgainstReference) {
    FoldingHost host;
    std::mt19937_64 rng(7);
    for (int i = 0; i < 200000; ++i) {
        const Bytes x = randomText(rng);
        Bytes y = x;
        for (auto& c : y)
            if (std::isalpha(c) && rng() % 3 == 0) c ^= 0x20;
        const auto how = rng() % 5;
        if (how == 0) y.append(rng() % 3, ' ');
        if (how == 1 && !y.empty()) y.resize(rng() % y.size());
        if (how == 2) y += randomText(rng);
        if (how == 4) y = randomText(rng);
        ASSERT_EQ(normCompare(x, y), xrref::normCompare(x, y, testFold)) << show(x, y);
        ASSERT_EQ(normEqual(x, y), xrref::normEqual(x, y, testFold, testFold)) << show(x, y);
        const int byteOrder = x < y   ? -1
                              : x > y ? 1
                                      : 0,
                  cei = i % 40 - 1; // Text: whatever encoding it is told
        ASSERT_EQ(xrzsu8Compare(x.data(), x.size(), y.data(), y.size()), byteOrder) << show(x, y);
        ASSERT_EQ(xrzsu8CompareText(y.data(), y.size(), x.data(), x.size(), cei), -byteOrder);
        const Bytes s = x + y;
        for (unsigned opt : {0u, 1u, 2u, 3u})
            ASSERT_EQ(xrzsu8StripBlanks(s.data(), s.size(), opt),
                      xrref::stripBlanks(s, opt == 3 ? 1 : opt))
                << testing::PrintToString(s) << " options " << opt;
    }
}

TEST(Utf8Copy, FillsTheFieldWithoutCuttingACharacter) {
    // from (null, or the text), flen, tlen: the result and the field.
    const std::tuple<const char*, U64, U64, U64, const char*> cases[] = {
        {nullptr, 5, 5, 0, "     "},
        {"a\xC3\xA9", 3, 2, 1, "a "},
        {"abc\xC0\x80", 5, 8, 0, "        "},
        {"abc", 3, 0, 0, ""},
        {"abc", 3, 5, 3, "abc  "},
        {"a\xC3\xA9\xA9z", 5, 4, 3, "a\xC3\xA9 "},
        {"abcdef", 6, 4, 4, "abcd"},
        {"abc", 1, 3, 1, "a  "},
        {"ab\xE2\x82\xAC", 5, 4, 2, "ab  "}};
    for (const auto& [from, flen, tlen, want, field] : cases) {
        const auto* src = reinterpret_cast<const std::uint8_t*>(from);
        Bytes out(tlen + 4, 0xEE), again(tlen + 4, 0xEE);
        EXPECT_EQ(xrzsu8Copy(src, flen, out.data(), tlen), want) << (from ? from : "null");
        EXPECT_EQ(out, b(field) + Bytes(4, 0xEE)) << (from ? from : "null");
        EXPECT_EQ(xrzsu8CopyText(src, flen, 27, again.data(), tlen), want);
        EXPECT_EQ(again, out);
    }
    // Overlapping areas, either way: as through a separate buffer.
    Bytes buf = b("xxab\xC3\xA9yz"), buf2 = b("ab\xC3\xA9yz--");
    EXPECT_EQ(xrzsu8Copy(buf.data() + 2, 6, buf.data(), 6), 6u);
    EXPECT_EQ(xrzsu8Copy(buf2.data(), 6, buf2.data() + 2, 6), 6u);
    EXPECT_EQ(std::pair(buf, buf2), std::pair(b("ab\xC3\xA9yzyz"), b("abab\xC3\xA9yz")));
}

TEST(Utf8StripBlanks, BlankSets) {
    // The text: the result with options 0, with 1 (and 4), with 2.
    const std::tuple<const char*, U64, U64, U64> cases[] = {
        {"ab  ", 2, 2, 2},
        {"ab\t", 3, 2, 3},
        {"ab\xE3\x80\x80", 5, 2, 2},
        {"ab\xC2\x85", 4, 2, 4},
        {"  a", 3, 3, 3},
        {"   ", 0, 0, 0},
        {"", 0, 0, 0},
        {"\x80 ", 1, 1, 1},
        {"ab\xE2\x80\x8B", 5, 5, 5},
        {"\x80\x80", 2, 2, 2},
        {"\xE3\x80\x80", 3, 0, 0},
        {"ab\xC2\xA0 \xE2\x80\x8A\r\n", 10, 2, 10},
        {"ab\xC2\xA0 \xE2\x80\x8A", 8, 2, 2},
        {"a\xC2\xA0\x80", 4, 4, 4}, // a stray continuation byte after a blank keeps the blank
        {"a\xE2\x81\x9F\xE2\x80\xAF\xE2\x80\xA8\xE2\x80\xA9\xE1\x9A\x80", 16, 1, 1}};
    for (const auto& [text, opt0, opt1, opt2] : cases) {
        const Bytes s = b(text);
        auto strip = [&](XRFlags opt) { return xrzsu8StripBlanks(s.data(), s.size(), opt); };
        EXPECT_EQ(std::vector({strip(0), strip(1), strip(4), strip(2)}),
                  std::vector({opt0, opt1, opt1, opt2}))
            << text;
    }
}

} // namespace
