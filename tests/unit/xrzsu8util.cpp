// UTF-8 sizing and counting: exact cases, and every 1-3 byte sequence against the plain
// reference. (Longer sequences against the same reference: the fuzz target utf8_compare,
// replayed by every build.)
#include <gtest/gtest.h>

#include <cstring>
#include <tuple>

#include "utf8_reference.h"
#include "xr/xrutf8.h"

namespace {

using xrref::Bytes; // its terminating NUL stops unbounded sizing and ends NUL-terminated text
using U64 = std::uint64_t;

Bytes b(const char* s) {
    return Bytes(reinterpret_cast<const std::uint8_t*>(s), std::strlen(s));
}

// Every sizing function at p gives size (and utf8_len the announced length); both
// verdicts are ok, and xrzsu8CharSize2 leaves its verdict alone.
void expectSizing(UTF8Str p, int size, bool ok) {
    XRBoolean valid = 0x55, valid2 = 0x55, kept = 0x55;
    const auto sizes = std::tuple(_U8ValidCharSize(p, &valid), xrzsu8CharSize(p, &valid2),
                                  xrzsu8CharSize2(p, &kept), xrzsu8CharSize(p, nullptr),
                                  _U8CharSize(p), xrzsu8NextChar(p, 0) - p, utf8_len(p));
    ASSERT_EQ(sizes, std::tuple(size, size, size, size, size, size, xrref::announced(*p)))
        << testing::PrintToString(Bytes(p));
    ASSERT_EQ(std::tuple(valid, valid2, kept), std::tuple(ok, ok, 0x55))
        << testing::PrintToString(Bytes(p));
}

// The last three: a NUL after E0/ED/F0 is the terminator, never the character's second byte.
TEST(Utf8Sizing, ExactCases) {
    const std::tuple<const char*, int, bool> cases[] = {{"\xE0\xA0\x80", 3, true},
                                                        {"\xED\x9F\xBF", 3, true},
                                                        {"\xF0\x90\x80\x80", 4, true},
                                                        {"\xF4\x8F\xBF\xBF", 4, true},
                                                        {"\xF4\x90\x80\x80", 4, false},
                                                        {"\xF5\x80\x80\x80", 4, false},
                                                        {"\xED\xA0\x80", 3, false},
                                                        {"\xE0\x80\x80", 3, false},
                                                        {"\xC0\x80", 2, false},
                                                        {"\xE0\x41\x80", 3, false},
                                                        {"\xE3\x41", 1, false},
                                                        {"\x80", 1, false},
                                                        {"\x41", 1, true},
                                                        {"\xC3\xA9\xA9", 2, true},
                                                        {"\xF0\x9F\x98", 3, false},
                                                        {"\xFC\x80\x80\x80\x80\x80", 6, false},
                                                        {"\xC3", 1, false},
                                                        {"\xE0", 1, false},
                                                        {"\xED", 1, false},
                                                        {"\xF0", 1, false}};
    for (auto [bytes, size, ok] : cases)
        expectSizing(b(bytes).data(), size, ok);
}

// Every 1-3 byte sequence (the bounded forms read nothing at or past the length, so
// shorter lengths are the shorter sequences): sizing, both counting rules and the
// boundary trim; and the NUL-terminated forms, which count and trim up to the first NUL.
TEST(Utf8Sizing, EveryOneToThreeByteSequence) {
    std::uint8_t b[8] = {};
    for (unsigned x = 0; x < 0x1000000; ++x) {
        for (int k = 0; k < 3; ++k)
            b[k] = static_cast<std::uint8_t>(x >> (16 - 8 * k));
        if (b[0] < 0x80 && x & 0xFFFF) continue; // an ASCII lead never looks further
        const U64 l = b[2] ? 3 : b[1] ? 2 : 1, nul = std::strlen(reinterpret_cast<char*>(b));
        const xrref::Size want = xrref::charSize(b);
        ASSERT_NO_FATAL_FAILURE(expectSizing(b, want.size, want.valid));
        ASSERT_EQ(std::tuple(UTF8_BLENB(b, l), UTF8_SLENB(b, l), xrzsu8NumChars(b, l), UTF8_SLEN(b),
                             UTF8_BLEN(b)),
                  std::tuple(xrref::blenb(b, l), xrref::slenb(b, l), xrref::numChars(b, l),
                             xrref::slenb(b, nul), xrref::blenb(b, nul)))
            << testing::PrintToString(Bytes(b, l));
    }
}

TEST(Utf8Counting, ExactCases) {
    // Bytes, l: UTF8_SLENB, UTF8_BLENB, xrzsu8NumChars.
    const std::tuple<Bytes, U64, U64, U64, U64> cases[] = {
        {b("a\xC3\xA9\xA9"), 0, 0, 0, 0},  {b("a\xC3\xA9\xA9"), 2, 2, 1, 2},
        {b("a\xC3\xA9\xA9"), 3, 2, 3, 2},  {b("a\xC3\xA9\xA9"), 4, 3, 3, 3},
        {b("abc\xC0\x80"), 5, 4, 0, 4},    {b("\x80"), 1, 1, 0, 1},
        {b("\xE3") + b("AB"), 3, 1, 3, 3}, {b("\xE3") + b("AB"), 2, 1, 2, 2},
        {b("\xE3") + b("AB"), 1, 1, 0, 1}, {b("\xE3\x81"), 2, 1, 0, 1}};
    for (auto [s, l, slenb, blenb, chars] : cases)
        EXPECT_EQ(std::tuple(UTF8_SLENB(s.data(), l), UTF8_BLENB(s.data(), l),
                             xrzsu8NumChars(s.data(), l)),
                  std::tuple(slenb, blenb, chars))
            << testing::PrintToString(s) << " l " << l;
    // NUL-terminated (the sweep holds them to the bounded forms): UTF8_SLEN, UTF8_BLEN.
    for (auto [s, slen, blen] : {std::tuple(b(""), 0ul, 0ul), std::tuple(b("a\xC3\xA9"), 2ul, 3ul)})
        EXPECT_EQ(std::tuple(UTF8_SLEN(s.data()), UTF8_BLEN(s.data())), std::tuple(slen, blen))
            << s.size();
    EXPECT_EQ(std::tuple(UTF8_SLEN(nullptr), UTF8_BLEN(nullptr)), std::tuple(0u, 0u));
}

TEST(Utf8Counting, ByteLengthAndLengths) {
    Bytes text = b("a\xC3\xA9\xE3\x41\xF0\x9F\x98\x80\x80\x62"), empty, cut = b("a\xE3\x81");
    // Steps: 61 | C3 A9 | E3 | 41 | F0 9F 98 80 | 80 | 62
    const U64 ends[] = {0, 1, 3, 4, 5, 9, 10, 11};
    for (U64 n = 0; n < 8; ++n)
        EXPECT_EQ(xrzsu8ByteLength(text.data(), n), ends[n]);
    EXPECT_EQ(xrzsu8NumChars(text.data(), text.size()), 7u);
    auto lengths = [](UTF8Str s, bool both) { // *cl and *bl, or 99 where left alone
        std::vector<U64> got{99, 99};
        xrzsu8Lengths(s, both ? &got[0] : nullptr, &got[1]);
        return got;
    };
    EXPECT_EQ(lengths(text.data(), true), std::vector<U64>({7, 11}));
    EXPECT_EQ(lengths(text.data(), false), std::vector<U64>({99, 11}));
    EXPECT_EQ(lengths(nullptr, true), std::vector<U64>({99, 99}));
    EXPECT_EQ(lengths(empty.data(), true), std::vector<U64>({0, 0}));
    EXPECT_EQ(lengths(cut.data(), true), std::vector<U64>({2, 3}))
        << "the terminator ends a cut character";
    xrzsu8Lengths(text.data(), nullptr, nullptr);
}

} // namespace
