// Fixed-field helpers: the stated examples, exhaustive byte sweeps for the letter helpers,
// token search against std::string::find, and the decimal field writer and reader against
// printf over every small value and width.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <string>

#include "xr/xrfixed.h"

namespace {

// A field of width w between four junk bytes on each side; text() is the field only.
struct Field {
    std::string buf;
    int w;
    explicit Field(int width) : buf(static_cast<std::size_t>(width) + 8, '#'), w(width) {}
    char* p() { return buf.data() + 4; }
    std::string text() const { return buf.substr(4, static_cast<std::size_t>(w)); }
    bool guardsIntact() const {
        return buf.substr(0, 4) == "####" && buf.substr(buf.size() - 4) == "####";
    }
};

TEST(FieldMove, PadsShortTextAndCutsLongText) {
    const struct {
        const char* text;
        int len, w;
        const char* want;
    } rows[] = {
        {"abc", 3, 6, "abc   "}, {"abcdef", 6, 3, "abc"}, {"xyz", 0, 3, "   "}, {"xyz", 3, 0, ""}};
    for (auto* move : {&vzstmov, &vzstmv2})
        for (const auto& r : rows) {
            Field f(r.w);
            move(const_cast<char*>(r.text), r.len, f.p(), r.w);
            EXPECT_EQ(f.text(), r.want) << r.text << " into " << r.w;
            EXPECT_TRUE(f.guardsIntact());
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

TEST(FieldSearch, TokenSearchEdgesAndRandom) {
    char f[] = "ab ab c";
    EXPECT_EQ(vzstndx(f, 7, const_cast<char*>(" c"), 2), 5);
    EXPECT_EQ(vzstndx(f, 7, const_cast<char*>("ab ab c!"), 8), -1);
    EXPECT_EQ(vzstndx(f, 0, const_cast<char*>(""), 0), 0);
    std::mt19937 rng(9);
    for (int t = 0; t < 20000; ++t) {
        std::string s(rng() % 30, 'a'), tok(rng() % 4, 'a');
        for (auto* str : {&s, &tok})
            for (auto& c : *str)
                c = "ab\xE1"[rng() % 3];
        const auto at = s.size() < tok.size() ? std::string::npos : s.find(tok);
        ASSERT_EQ(vzstndx(s.data(), int(s.size()), tok.data(), int(tok.size())),
                  at == std::string::npos ? -1 : int(at));
    }
}

TEST(FieldSearch, PositionNotAndAllSame) {
    char f[] = "   x \xE9";
    const int rows[][2] = {
        {wzstpos(f, 6, 'x'), 3},      {wzstpos(f, 6, 0x100 + 'x'), 3}, // low 8 bits
        {wzstpos(f, 6, 0xE9), 5},     {wzstpos(f, 3, 'x'), -1},        {wzstpos(f, 0, ' '), -1},
        {vzstnot(f, 3, ' '), -1},     {vzstnot(f, 6, ' '), 3},         {vzstnot(f, 6, 'q'), 0},
        {vzstnot(f, 0, 'q'), -1},     {vzstnot(f + 5, 1, 0xE9), -1},   {vzstnot(f + 5, 1, -23), 0},
        {allsame(' ', f, 3), 1}, // a byte is never -23
        {allsame(' ', f, 4), 0},      {allsame('q', f, 0), 1},         {allsame(' ', f, -1), 0},
        {allsame(0xE9, f + 5, 1), 1}, {allsame(-23, f + 5, 1), 0}};
    for (const auto& r : rows)
        EXPECT_EQ(r[0], r[1]) << "row " << &r - rows;
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
        up(all.data() + 256, -1);
        EXPECT_EQ(all.substr(256), "zz");
    }
}

// Every value from -1100 to 1100, the stated examples, the 32-bit extremes and random
// values, each in every width 0..12: the field is printf's "%*ld" with result 0, or all
// stars with result 1 when that is wider; a field that fits reads back.
TEST(DecimalField, WriterAgreesWithPrintfAndReaderReadsItBack) {
    std::vector<long> values = {-42, 12345, -123, INT32_MIN, INT32_MAX};
    for (long v = -1100; v <= 1100; ++v)
        values.push_back(v);
    std::mt19937_64 rng(21);
    for (int t = 0; t < 2000; ++t)
        values.push_back(static_cast<long>(static_cast<std::int32_t>(rng())) >> (rng() % 32));
    for (long v : values)
        for (int w = 0; w <= 12; ++w) {
            char want[32];
            const bool fits = std::snprintf(want, sizeof want, "%*ld", w, v) <= w;
            Field f(w);
            ASSERT_EQ(vzclchr(v, f.p(), w), fits ? 0 : 1) << v << " in " << w;
            ASSERT_TRUE(f.guardsIntact());
            ASSERT_EQ(f.text(), fits ? want : std::string(std::size_t(w), '*')) << v;
            if (!fits) continue;
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
