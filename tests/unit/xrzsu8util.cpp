// UTF-8 sizing and counting: exact cases, and every 1-3 byte sequence (plus sampled
// longer ones) against the plain reference.
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "utf8_reference.h"
#include "xr/xrutf8.h"

namespace {

using xrref::Bytes;

// The bytes followed by NULs, so that unbounded sizing stops inside the buffer.
struct Padded {
    std::uint8_t b[16] = {};
    explicit Padded(const Bytes& s) { std::memcpy(b, s.data(), s.size()); }
    UTF8Str p() { return b; }
};

struct SizeCase {
    Bytes bytes;
    int size;
    bool valid;
};

TEST(Utf8Sizing, ExactCases) {
    const SizeCase cases[] = {
        {{0xE0, 0xA0, 0x80}, 3, true},       {{0xED, 0x9F, 0xBF}, 3, true},
        {{0xF0, 0x90, 0x80, 0x80}, 4, true}, {{0xF4, 0x8F, 0xBF, 0xBF}, 4, true},
        {{0xF4, 0x90, 0x80, 0x80}, 4, false}, {{0xF5, 0x80, 0x80, 0x80}, 4, false},
        {{0xED, 0xA0, 0x80}, 3, false},      {{0xE0, 0x80, 0x80}, 3, false},
        {{0xC0, 0x80}, 2, false},            {{0xFC, 0x80, 0x80, 0x80, 0x80, 0x80}, 6, false},
        {{0xE0, 0x41, 0x80}, 3, false},      {{0xE3, 0x41}, 1, false},
        {{0x80}, 1, false},                  {{0x41}, 1, true},
        {{0xC3, 0xA9, 0xA9}, 2, true},       {{0xF0, 0x9F, 0x98}, 3, false},
        // A NUL after E0/ED/F0 is the terminator, never the character's second byte.
        {{0xE0}, 1, false},                  {{0xED}, 1, false},
        {{0xF0}, 1, false},                  {{0xC3}, 1, false},
    };
    for (const auto& c : cases) {
        Padded in(c.bytes);
        XRBoolean valid = 0x55;
        EXPECT_EQ(_U8ValidCharSize(in.p(), &valid), c.size) << testing::PrintToString(c.bytes);
        EXPECT_EQ(valid, c.valid ? 1 : 0) << testing::PrintToString(c.bytes);
        valid = 0x55;
        EXPECT_EQ(xrzsu8CharSize(in.p(), &valid), c.size);
        EXPECT_EQ(valid, c.valid ? 1 : 0);
        EXPECT_EQ(xrzsu8CharSize(in.p(), nullptr), c.size);
        EXPECT_EQ(_U8CharSize(in.p()), c.size);
        valid = 0x55;
        EXPECT_EQ(xrzsu8CharSize2(in.p(), &valid), c.size);
        EXPECT_EQ(valid, 0x55) << "xrzsu8CharSize2 must leave *valid alone";
        EXPECT_EQ(xrzsu8NextChar(in.p(), 0), in.p() + c.size);
    }
}

// Checks every sizing function at p against the reference.
void expectSizing(UTF8Str p) {
    const xrref::Size want = xrref::charSize(p);
    XRBoolean valid = 0x55;
    ASSERT_EQ(_U8ValidCharSize(p, &valid), want.size) << std::hex << +p[0] << ' ' << +p[1] << ' ' << +p[2];
    ASSERT_EQ(valid, want.valid) << std::hex << +p[0] << ' ' << +p[1] << ' ' << +p[2];
    ASSERT_EQ(_U8CharSize(p), want.size);
    ASSERT_EQ(utf8_len(p), xrref::announced(p[0]));
}

TEST(Utf8Sizing, EveryOneToThreeByteSequence) {
    std::uint8_t b[8] = {};
    for (unsigned x = 0; x < 0x1000000; ++x) {
        b[0] = static_cast<std::uint8_t>(x >> 16), b[1] = static_cast<std::uint8_t>(x >> 8),
        b[2] = static_cast<std::uint8_t>(x);
        if (b[0] < 0x80 && x & 0xFFFF) continue; // an ASCII lead never looks further
        expectSizing(b);
        const std::uint64_t len = b[2] ? 3 : b[1] ? 2 : 1;
        ASSERT_EQ(UTF8_BLENB(b, len), xrref::blenb(b, len)) << std::hex << x;
        ASSERT_EQ(UTF8_SLENB(b, len), xrref::slenb(b, len)) << std::hex << x;
        ASSERT_EQ(xrzsu8NumChars(b, len), xrref::numChars(b, len)) << std::hex << x;
    }
}

TEST(Utf8Sizing, SampledLongerSequences) {
    std::mt19937_64 rng(42);
    std::uint8_t b[12] = {};
    for (int i = 0; i < 2000000; ++i) {
        const auto r = rng();
        const int len = 4 + static_cast<int>(r % 3);
        b[0] = static_cast<std::uint8_t>(0xF0 + (r >> 8) % 16);
        for (int k = 1; k < len; ++k) {
            const auto v = static_cast<std::uint8_t>(r >> (8 * k + 8));
            b[k] = (v & 7) == 0 ? v : static_cast<std::uint8_t>(0x80 | (v & 0x3F));
        }
        for (int k = len; k < 12; ++k) b[k] = 0;
        expectSizing(b);
        for (std::uint64_t l = 0; l <= static_cast<std::uint64_t>(len); ++l) {
            ASSERT_EQ(UTF8_BLENB(b, l), xrref::blenb(b, l));
            ASSERT_EQ(UTF8_SLENB(b, l), xrref::slenb(b, l));
            ASSERT_EQ(xrzsu8NumChars(b, l), xrref::numChars(b, l));
        }
    }
}

TEST(Utf8Counting, ExactCases) {
    EXPECT_EQ(UTF8_SLEN(nullptr), 0u);
    EXPECT_EQ(UTF8_SLEN(Padded({}).p()), 0u);
    EXPECT_EQ(UTF8_SLEN(Padded({0x61, 0xC3, 0xA9}).p()), 2u);
    // A cut last character still counts, and counting stops at the NUL.
    EXPECT_EQ(UTF8_SLEN(Padded({0x61, 0xE3, 0x00, 0x41}).p()), 2u);
    EXPECT_EQ(UTF8_SLEN(Padded({0xE3, 0x41, 0x42}).p()), 1u);
    std::uint8_t s[] = {0x61, 0xC3, 0xA9, 0xA9};
    EXPECT_EQ(UTF8_SLENB(s, 2), 2u);
    EXPECT_EQ(UTF8_SLENB(s, 0), 0u);
    EXPECT_EQ(UTF8_BLENB(s, 2), 1u);
    EXPECT_EQ(UTF8_BLENB(s, 3), 3u);
    EXPECT_EQ(UTF8_BLENB(s, 4), 3u);
    EXPECT_EQ(UTF8_BLENB(s, 0), 0u);
    const std::uint8_t overlong[] = {0x61, 0x62, 0x63, 0xC0, 0x80};
    EXPECT_EQ(UTF8_BLENB(overlong, 5), 0u);
    const std::uint8_t cont[] = {0x80};
    EXPECT_EQ(UTF8_BLENB(cont, 1), 0u);
    EXPECT_EQ(UTF8_BLEN(nullptr), 0u);
    EXPECT_EQ(UTF8_BLEN(Padded({0x61, 0xC3, 0xA9, 0xE3, 0x81}).p()), 3u);
    std::uint8_t e3[] = {0xE3, 0x41, 0x42};
    EXPECT_EQ(xrzsu8NumChars(e3, 3), 3u);
    EXPECT_EQ(UTF8_SLENB(e3, 3), 1u);
    EXPECT_EQ(xrzsu8NumChars(e3, 2), 2u);
    EXPECT_EQ(xrzsu8NumChars(e3, 0), 0u);
    EXPECT_EQ(xrzsu8NumChars(e3, 1), 1u);
    const std::uint8_t e3cut[] = {0xE3, 0x81};
    EXPECT_EQ(xrzsu8NumChars(e3cut, 2), 1u);
}

TEST(Utf8Counting, ByteLengthAndLengths) {
    const Bytes text = {0x61, 0xC3, 0xA9, 0xE3, 0x41, 0xF0, 0x9F, 0x98, 0x80, 0x80, 0x62};
    // Steps: 61 | C3 A9 | E3 | 41 | F0 9F 98 80 | 80 | 62
    const std::uint64_t ends[] = {0, 1, 3, 4, 5, 9, 10, 11};
    for (std::uint64_t n = 0; n < 8; ++n) EXPECT_EQ(xrzsu8ByteLength(text.data(), n), ends[n]);
    EXPECT_EQ(xrzsu8NumChars(text.data(), text.size()), 7u);

    Padded in(text);
    UTF8CharLength cl = 99;
    UTF8ByteLength bl = 99;
    xrzsu8Lengths(in.p(), &cl, &bl);
    EXPECT_EQ(cl, 7u);
    EXPECT_EQ(bl, 11u);
    cl = bl = 99;
    xrzsu8Lengths(nullptr, &cl, &bl);
    EXPECT_EQ(cl, 99u);
    EXPECT_EQ(bl, 99u);
    xrzsu8Lengths(in.p(), nullptr, &bl);
    EXPECT_EQ(bl, 11u);
    xrzsu8Lengths(in.p(), nullptr, nullptr);
    xrzsu8Lengths(Padded({}).p(), &cl, &bl);
    EXPECT_EQ(cl, 0u);
    EXPECT_EQ(bl, 0u);
    // The terminator ends a cut character.
    xrzsu8Lengths(Padded({0x61, 0xE3, 0x81}).p(), &cl, &bl);
    EXPECT_EQ(cl, 2u);
    EXPECT_EQ(bl, 3u);
}

} // namespace
