// Fixed-field helpers: the stated examples, exhaustive byte sweeps for the letter
// helpers, and the decimal field writer and reader against printf/strtol on random values.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <string>

#include "xr/xrfixed.h"

namespace {

constexpr char kJunk = '#';

// A field of width w between junk guards; text() is the field only.
struct Field {
    std::string buf;
    int w;
    explicit Field(int width) : buf(static_cast<std::size_t>(width) + 8, kJunk), w(width) {}
    char* p() { return buf.data() + 4; }
    std::string text() const { return buf.substr(4, static_cast<std::size_t>(w)); }
    bool guardsIntact() const {
        return buf.substr(0, 4) == "####" && buf.substr(buf.size() - 4) == "####";
    }
};

TEST(FieldMove, PadsShortTextAndCutsLongText) {
    for (auto* move : {&vzstmov, &vzstmv2}) {
        Field f(6);
        move(const_cast<char*>("abc"), 3, f.p(), 6);
        EXPECT_EQ(f.text(), "abc   ");
        Field g(3);
        move(const_cast<char*>("abcdef"), 6, g.p(), 3);
        EXPECT_EQ(g.text(), "abc");
        Field h(3);
        move(const_cast<char*>("xyz"), 0, h.p(), 3);
        EXPECT_EQ(h.text(), "   ");
        Field e(0);
        move(const_cast<char*>("xyz"), 3, e.p(), 0);
        EXPECT_TRUE(f.guardsIntact() && g.guardsIntact() && h.guardsIntact() && e.guardsIntact());
    }
}

TEST(FieldMove, CopyAndFillTouchExactlyLBytes) {
    Field f(5);
    vzmi(const_cast<char*>("hello"), f.p(), 4);
    EXPECT_EQ(f.text(), "hell#");
    vzmi(const_cast<char*>("HELLO"), f.p(), -2);
    vzbfci(0x141, f.p(), 3);
    EXPECT_EQ(f.text(), "AAAl#");
    vzbfci('z', f.p(), 0);
    EXPECT_TRUE(f.guardsIntact());
    char overlap[] = "abcdef";
    vzmi(overlap, overlap + 1, 4); // first to last: the first byte repeats
    EXPECT_STREQ(overlap, "aaaaaf");
}

int naiveIndex(const std::string& s, const std::string& t) {
    if (s.size() < t.size()) return -1;
    auto at = s.find(t);
    return at == std::string::npos ? -1 : static_cast<int>(at);
}

TEST(FieldSearch, TokenSearchEdgesAndRandom) {
    char f[] = "ab ab c";
    EXPECT_EQ(vzstndx(f, 7, const_cast<char*>(" c"), 2), 5);
    EXPECT_EQ(vzstndx(f, 7, const_cast<char*>("ab ab c!"), 8), -1);
    EXPECT_EQ(vzstndx(f, 7, const_cast<char*>(""), 0), 0);
    EXPECT_EQ(vzstndx(f, 0, const_cast<char*>(""), 0), 0);
    EXPECT_EQ(vzstndx(f, 7, const_cast<char*>("b a"), 3), 1);
    std::mt19937 rng(9);
    for (int t = 0; t < 20000; ++t) {
        std::string s(rng() % 30, 'a'), tok(rng() % 4, 'a');
        for (auto& c : s)
            c = static_cast<char>("ab\xE1"[rng() % 3]);
        for (auto& c : tok)
            c = static_cast<char>("ab\xE1"[rng() % 3]);
        ASSERT_EQ(
            vzstndx(s.data(), static_cast<int>(s.size()), tok.data(), static_cast<int>(tok.size())),
            naiveIndex(s, tok));
    }
}

TEST(FieldSearch, PositionNotAndAllSame) {
    char f[] = "   x \xE9";
    EXPECT_EQ(wzstpos(f, 6, 'x'), 3);
    EXPECT_EQ(wzstpos(f, 6, 0x100 + 'x'), 3); // low 8 bits
    EXPECT_EQ(wzstpos(f, 6, 0xE9), 5);
    EXPECT_EQ(wzstpos(f, 3, 'x'), -1);
    EXPECT_EQ(wzstpos(f, 0, ' '), -1);
    EXPECT_EQ(vzstnot(f, 3, ' '), -1);
    EXPECT_EQ(vzstnot(f, 6, ' '), 3);
    EXPECT_EQ(vzstnot(f, 6, 'q'), 0);
    EXPECT_EQ(vzstnot(f, 0, 'q'), -1);
    EXPECT_EQ(vzstnot(f + 5, 1, 0xE9), -1);
    EXPECT_EQ(vzstnot(f + 5, 1, -23), 0); // a byte is 0..255, never -23
    EXPECT_EQ(allsame(' ', f, 3), 1);
    EXPECT_EQ(allsame(' ', f, 4), 0);
    EXPECT_EQ(allsame('q', f, 0), 1);
    EXPECT_EQ(allsame(' ', f, -1), 0);
    EXPECT_EQ(allsame(0xE9, f + 5, 1), 1);
    EXPECT_EQ(allsame(-23, f + 5, 1), 0);
}

TEST(FieldCase, OnlyTheFiftyTwoLettersCount) {
    for (int c = -300; c < 600; ++c) {
        const bool lower = c >= 'a' && c <= 'z', upper = c >= 'A' && c <= 'Z';
        EXPECT_EQ(TOUPPER(c), lower ? c - 32 : c) << c;
        EXPECT_EQ(ISALPHA(c), lower || upper ? 1 : 0) << c;
    }
    for (auto* up : {&wzstrup, &UQ}) {
        std::string all(256, 0);
        for (int i = 0; i < 256; ++i)
            all[static_cast<std::size_t>(i)] = static_cast<char>(i);
        all += "zz";
        up(all.data(), 256);
        for (int i = 0; i < 256; ++i)
            EXPECT_EQ(static_cast<unsigned char>(all[static_cast<std::size_t>(i)]),
                      i >= 'a' && i <= 'z' ? i - 32 : i);
        EXPECT_EQ(all.substr(256), "zz");
        up(all.data() + 256, -1);
        EXPECT_EQ(all.substr(256), "zz");
    }
}

TEST(DecimalField, WriterExamples) {
    struct Case {
        long v;
        int w;
        const char* text;
        int rc;
    } cases[] = {
        {-42, 5, "  -42", 0}, {12345, 3, "***", 1}, {-123, 3, "***", 1}, {0, 3, "  0", 0},
        {123, 3, "123", 0},   {-12, 3, "-12", 0},   {7, 1, "7", 0},      {-7, 1, "*", 1},
        {10, 1, "*", 1},      {0, 1, "0", 0},
    };
    for (const Case& c : cases) {
        Field f(c.w);
        EXPECT_EQ(vzclchr(c.v, f.p(), c.w), c.rc) << c.v;
        EXPECT_EQ(f.text(), c.text) << c.v;
        EXPECT_TRUE(f.guardsIntact());
    }
    Field empty(0);
    EXPECT_EQ(vzclchr(5, empty.p(), 0), 1);
    EXPECT_TRUE(empty.guardsIntact());
}

TEST(DecimalField, WriterAgreesWithPrintfAndReaderReadsItBack) {
    std::mt19937_64 rng(21);
    for (int t = 0; t < 20000; ++t) {
        const long v = static_cast<long>(static_cast<std::int32_t>(rng())) >> (rng() % 32);
        const int w = 1 + static_cast<int>(rng() % 12);
        char want[32];
        const int n = std::snprintf(want, sizeof want, "%*ld", w, v);
        Field f(w);
        const int rc = vzclchr(v, f.p(), w);
        ASSERT_TRUE(f.guardsIntact());
        if (n > w) {
            ASSERT_EQ(rc, 1);
            ASSERT_EQ(f.text(), std::string(static_cast<std::size_t>(w), '*'));
            continue;
        }
        ASSERT_EQ(rc, 0);
        ASSERT_EQ(f.text(), want);
        int nc = -1;
        long back = 99;
        ASSERT_EQ(wzrlchr(reinterpret_cast<unsigned char*>(f.p()), w, 1, &nc, &back), 0);
        ASSERT_EQ(back, v);
        ASSERT_EQ(nc, static_cast<int>(std::strlen(want) - std::strspn(want, " ")));
    }
}

TEST(DecimalField, ReaderExamples) {
    struct Case {
        const char* field;
        int s;
        int rc, nc;
        long value; // checked only when rc is 0
    } cases[] = {
        {"  -12a", 1, 0, 3, -12}, {"  -12a", 0, 1, 0, 0}, {"    ", 1, 1, 0, 0},
        {"7", 1, 0, 1, 7},        {" -", 1, 0, 1, 0},     {"- 5", 1, 0, 1, 0},
        {"12 34", 0, 0, 2, 12},   {"x1", 1, 1, 0, 0},     {"", 1, 1, 0, 0},
        {"  007", 0, 0, 3, 7},    {"--1", 1, 0, 1, 0},    {" +1", 1, 1, 0, 0},
    };
    for (const Case& c : cases) {
        int nc = -1;
        long value = 12345;
        auto* p = reinterpret_cast<unsigned char*>(const_cast<char*>(c.field));
        EXPECT_EQ(wzrlchr(p, static_cast<int>(std::strlen(c.field)), c.s, &nc, &value), c.rc)
            << '"' << c.field << '"';
        EXPECT_EQ(nc, c.nc) << '"' << c.field << '"';
        EXPECT_EQ(value, c.rc == 0 ? c.value : 12345) << '"' << c.field << '"';
    }
}

} // namespace
