// UTF-8 comparison, case-blind order and equality, copy and strip: exact cases, the
// host calls with their arguments, and random texts against the plain reference.
#include <gtest/gtest.h>

#include <algorithm>
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

Bytes b(const char* s) { return Bytes(reinterpret_cast<const std::uint8_t*>(s), std::strlen(s)); }

using xrref::testFold;

// The folding host, entered for the length of a test.
struct FoldingHost : xrref::FoldingHost {
    FoldingHost() { enter(); }
    ~FoldingHost() { leave(); }
};

std::int32_t bmpFold(std::uint32_t c) { return testFold(c); }

int normCompare(const Bytes& x, const Bytes& y) {
    return xrzsu8NormCompare(x.data(), x.size(), y.data(), y.size());
}
bool normEqual(const Bytes& x, const Bytes& y) {
    return xrzsu8NormEqual(x.data(), x.size(), y.data(), y.size()) == XR_TRUE;
}

TEST(Utf8Compare, ByteOrder) {
    struct Case {
        Bytes x, y;
        int want;
    } cases[] = {
        {b("abc"), b("abd"), -1}, {b("ab"), b("abc"), -1},      {b("abc"), b("ab"), 1},
        {b("\xC3\xA9"), b("z"), 1}, {b(""), b(""), 0},           {b("abc"), b("abc"), 0},
        {b("a"), b(""), 1},       {b("\x7F"), b("\x80"), -1},    {b("abz"), b("abca"), 1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(xrzsu8Compare(c.x.data(), c.x.size(), c.y.data(), c.y.size()), c.want);
        for (NLScei cei : {0, 20, 27, -1})
            EXPECT_EQ(xrzsu8CompareText(c.x.data(), c.x.size(), c.y.data(), c.y.size(), cei),
                      c.want);
    }
}

TEST(Utf8NormCompare, ExactCases) {
    FoldingHost host;
    struct Case {
        Bytes x, y;
        int want;
    } cases[] = {
        {b("ABC"), b("abc"), -1},
        {b("abc"), b("ABC"), 1},
        {b("abc"), b("abd"), -2},
        {b("abc  "), b("abc"), 0},
        {b("abc"), b("abc "), 0},
        {b("Abc  "), b("abc"), -1},
        {b("abcx"), b("abc"), 2},
        {b("abc"), b("abcx"), -2},
        {b("Abc"), b("abd"), -2},
        {b("a"), b("A"), 1},
        {b(""), b(""), 0},
        {b(""), b("  "), 0},
        {b(""), b("\t"), -2},
        // Kelvin sign (three bytes) folds to k; the comparison goes on to b against z.
        {b("\xE2\x84\xAA" "b"), b("kz"), -2},
        {b("\xE2\x84\xAA" "b"), b("kb"), 1},
        {b("\xC3\x89t\xC3\xA9"), b("\xC3\xA9T\xC3\xA9"), -1},
        {b("\xF0\x90\x90\x80"), b("\xF0\x90\x90\xA8"), -1},
        // Two different malformed sequences are equal but set the tie-break to +1.
        {b("\x80x"), b("\xFFx"), 1},
        {b("\xFFx"), b("\x80x"), 1},
        {b("\xC3"), b("\xC3"), 1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(normCompare(c.x, c.y), c.want)
            << testing::PrintToString(c.x) << " vs " << testing::PrintToString(c.y);
        EXPECT_EQ(xrzsu8NormCompareText(c.x.data(), c.x.size(), c.y.data(), c.y.size(), 27),
                  c.want);
    }
}

TEST(Utf8NormEqual, ExactCases) {
    FoldingHost host;
    struct Case {
        Bytes x, y;
        bool want;
    } cases[] = {
        {b("ABC"), b("abc"), true},
        {b("abc "), b("abc"), false},
        {b(""), b(""), true},
        {b(""), b("a"), false},
        {b("a"), b(""), false},
        {b("\xC3\x89T\xC3\xA9"), b("\xC3\xA9t\xC3\x89"), true},
        {b("\xE2\x84\xAA"), b("K"), true},
        {b("\xF0\x90\x90\x80x"), b("\xF0\x90\x90\xA8X"), true},
        {b("\x80"), b("\xFF"), true},
        {b("ab"), b("abc"), false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(normEqual(c.x, c.y), c.want)
            << testing::PrintToString(c.x) << " vs " << testing::PrintToString(c.y);
        EXPECT_EQ(xrzsu8NormEqualText(c.x.data(), c.x.size(), c.y.data(), c.y.size(), 0),
                  c.want ? 1 : 0);
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

    const Bytes x = b("\xC3\xA9xA\xF0\x9F\x98\x80" "Q\xC3\x89"), y = b("\xC3\xA9xa\xF0\x9F\x98\x80" "q\xC3\xA9");
    r.script("charDowncase", 0xE9);
    r.script("charDowncase", 0xE9);
    EXPECT_EQ(normCompare(x, y), -1);
    auto calls = r.named("charDowncase");
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].args, xrtest::words(nls.handle(), XRChar{0xC9}, 1));
    EXPECT_EQ(calls[1].args, xrtest::words(nls.handle(), XRChar{0xE9}, 1));

    // Equality folds below U+10000 through xrzstlo (here: the host, for non-ASCII) and
    // above it through the host directly.
    r.calls.clear();
    EXPECT_TRUE(normEqual(b("A\xC3\x89\xF0\x90\x90\x80"), b("a\xC3\x89\xF0\x90\x90\x81")) == false);
    calls = r.named("charDowncase");
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].args, xrtest::words(nls.handle(), XRChar{0x10400}, 1));
    EXPECT_EQ(calls[1].args, xrtest::words(nls.handle(), XRChar{0x10401}, 1));
    r.calls.clear();
    EXPECT_FALSE(normEqual(b("\xC3\x89"), b("\xC3\xA0")));
    calls = r.named("charDowncase");
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].args, xrtest::words(nls.handle(), XRChar{0xC9}, 1));
    EXPECT_EQ(calls[1].args, xrtest::words(nls.handle(), XRChar{0xE0}, 1));
    EXPECT_EQ(r.named("loadExtension").size(), 0u);
    xrextent(nullptr);
}

// Texts made of pieces that stress the paths: case pairs, blanks, multi-byte letters,
// characters that fold across lengths, and malformed bytes.
Bytes randomText(std::mt19937_64& rng) {
    static const char* const pieces[] = {
        "a", "A", "b", "B", "k", "K", " ", " ", "\t", "z",
        "\xC3\xA9", "\xC3\x89", "\xCE\xA3", "\xCF\x83", "\xE2\x84\xAA", "\xF0\x90\x90\x80",
        "\xF0\x90\x90\xA8", "\xE3\x80\x80", "\xC2\xA0", "\xC2\x85", "\x80", "\xC3", "\xE2\x84",
        "\xC0\x80", "\xFF",
    };
    Bytes out;
    for (int n = static_cast<int>(rng() % 7); n > 0; --n) out += b(pieces[rng() % std::size(pieces)]);
    return out;
}

// A variant of x: letters swapped in case here and there, blanks added or a tail cut.
Bytes variant(const Bytes& x, std::mt19937_64& rng) {
    Bytes y = x;
    for (auto& c : y)
        if (std::isalpha(c) && rng() % 3 == 0) c ^= 0x20;
    switch (rng() % 4) {
    case 0: y.append(rng() % 3, ' '); break;
    case 1: if (!y.empty()) y.resize(rng() % y.size()); break;
    case 2: y += randomText(rng); break;
    default: break;
    }
    return y;
}

TEST(Utf8NormCompare, RandomTextsAgainstReference) {
    FoldingHost host;
    std::mt19937_64 rng(7);
    for (int i = 0; i < 200000; ++i) {
        const Bytes x = randomText(rng);
        const Bytes y = rng() % 4 ? variant(x, rng) : randomText(rng);
        ASSERT_EQ(normCompare(x, y), xrref::normCompare(x, y, testFold))
            << testing::PrintToString(x) << " vs " << testing::PrintToString(y);
        ASSERT_EQ(normEqual(x, y), xrref::normEqual(x, y, bmpFold, testFold))
            << testing::PrintToString(x) << " vs " << testing::PrintToString(y);
        const int byteOrder = xrzsu8Compare(x.data(), x.size(), y.data(), y.size());
        ASSERT_EQ(byteOrder, x < y ? -1 : x > y ? 1 : 0);
        ASSERT_EQ(xrzsu8Compare(y.data(), y.size(), x.data(), x.size()), -byteOrder);
    }
}

struct CopyCase {
    Bytes from;
    std::uint64_t flen, tlen, want;
    Bytes field;
};

TEST(Utf8Copy, FillsTheFieldWithoutCuttingACharacter) {
    const CopyCase cases[] = {
        {b("a\xC3\xA9"), 3, 2, 1, b("a ")},
        {b("abc\xC0\x80"), 5, 8, 0, b("        ")},
        {b("abc"), 3, 0, 0, b("")},
        {b("abc"), 3, 5, 3, b("abc  ")},
        {b("abcdef"), 6, 4, 4, b("abcd")},
        {b("a\xC3\xA9\xA9z"), 5, 4, 3, b("a\xC3\xA9 ")},
        {b("ab\xE2\x82\xAC"), 5, 4, 2, b("ab  ")},
        {b("abc"), 1, 3, 1, b("a  ")},
    };
    for (const auto& c : cases) {
        Bytes field(c.tlen + 4, 0xEE);
        EXPECT_EQ(xrzsu8Copy(c.from.data(), c.flen, field.data(), c.tlen), c.want);
        EXPECT_EQ(field.substr(0, c.tlen), c.field) << testing::PrintToString(c.from);
        EXPECT_EQ(field.substr(c.tlen), Bytes(4, 0xEE)) << "wrote past tlen";
        Bytes again(c.tlen + 4, 0xEE);
        EXPECT_EQ(xrzsu8CopyText(c.from.data(), c.flen, 27, again.data(), c.tlen), c.want);
        EXPECT_EQ(again, field);
    }
    Bytes field(9, 0xEE);
    EXPECT_EQ(xrzsu8Copy(nullptr, 5, field.data(), 5), 0u);
    EXPECT_EQ(field, b("     \xEE\xEE\xEE\xEE"));
}

TEST(Utf8Copy, OverlappingAreas) {
    Bytes buf = b("xxab\xC3\xA9yz");
    // Forward into itself, two bytes down: as through a separate buffer.
    EXPECT_EQ(xrzsu8Copy(buf.data() + 2, 6, buf.data(), 6), 6u);
    EXPECT_EQ(buf, b("ab\xC3\xA9yzyz"));
    buf = b("ab\xC3\xA9yz--");
    EXPECT_EQ(xrzsu8Copy(buf.data(), 6, buf.data() + 2, 6), 6u);
    EXPECT_EQ(buf, b("abab\xC3\xA9yz"));
}

TEST(Utf8StripBlanks, BlankSets) {
    struct Case {
        Bytes s;
        std::uint64_t opt0, opt1, opt2;
    } cases[] = {
        {b("ab  "), 2, 2, 2},
        {b("ab\t"), 3, 2, 3},
        {b("ab\xE3\x80\x80"), 5, 2, 2},
        {b("ab\xC2\x85"), 4, 2, 4},
        {b("  a"), 3, 3, 3},
        {b("   "), 0, 0, 0},
        {b(""), 0, 0, 0},
        {b("ab\xC2\xA0 \xE2\x80\x8A\r\n"), 10, 2, 10},
        {b("ab\xC2\xA0 \xE2\x80\x8A"), 8, 2, 2},
        {b("ab\xE2\x80\x8B"), 5, 5, 5},
        {b("\x80 "), 1, 1, 1},
        {b("\x80\x80"), 2, 2, 2},
        // A stray continuation byte after a blank keeps the blank.
        {b("a\xC2\xA0\x80"), 4, 4, 4},
        {b("\xE3\x80\x80"), 3, 0, 0},
        {b("a\xE2\x81\x9F\xE2\x80\xAF\xE2\x80\xA8\xE2\x80\xA9\xE1\x9A\x80"), 16, 1, 1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(xrzsu8StripBlanks(c.s.data(), c.s.size(), 0), c.opt0) << testing::PrintToString(c.s);
        EXPECT_EQ(xrzsu8StripBlanks(c.s.data(), c.s.size(), 1), c.opt1) << testing::PrintToString(c.s);
        EXPECT_EQ(xrzsu8StripBlanks(c.s.data(), c.s.size(), 4), c.opt1);
        EXPECT_EQ(xrzsu8StripBlanks(c.s.data(), c.s.size(), 2), c.opt2) << testing::PrintToString(c.s);
    }
}

TEST(Utf8StripBlanks, RandomTextsAgainstReference) {
    std::mt19937_64 rng(11);
    for (int i = 0; i < 100000; ++i) {
        const Bytes s = randomText(rng) + randomText(rng);
        for (unsigned opt : {0u, 1u, 2u, 3u})
            ASSERT_EQ(xrzsu8StripBlanks(s.data(), s.size(), opt),
                      xrref::stripBlanks(s, opt == 2 || opt == 0 ? opt : 1))
                << testing::PrintToString(s) << " options " << opt;
    }
}

} // namespace
