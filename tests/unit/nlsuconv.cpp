// The one-character converters: exact statuses, steps and bytes, byte orders, short
// inputs read within bounds, exact-size outputs with guard bytes, and exhaustive sweeps
// against ICU's UTF macros and an independent model of the lax UTF-8 reader. The UTF-8
// sweeps also hold isLegalUTF8 and GET_UTF8_LEN_FROM_XRCHAR to ICU.
#include <gtest/gtest.h>
#include <unicode/utf16.h>
#include <unicode/utf8.h>

#include <algorithm>
#include <array>
#include <memory>
#include <random>
#include <tuple>
#include <vector>

#include "utf8_reference.h"
#include "xr/xrconv.h"

namespace {

using Bytes = std::vector<XRUtf8>;
constexpr XRStatus kOk = 0, kSmall = XRStatusBufferTooSmall, kIllegal = XRStatusIllegalSequence,
                   kTrunc = XRStatusTruncatedSequence;
constexpr XRMemSize kUntouched = 0xA5A5A5A5A5A5A5A5ull;
constexpr XRUtf8 J = 0xA5; // junk in the output, and the guard bytes after it

using Read = std::tuple<XRStatus, XRUtf32, XRMemSize>; // status, code point, usedL
using Write = std::tuple<XRStatus, XRMemSize, Bytes>;  // status, usedL, the destL output bytes

// The input sits in a heap block of exactly its size, so a read past it is an error
// under AddressSanitizer.
Read readWith(XRCvtReader f, const Bytes& in) {
    std::unique_ptr<XRUtf8[]> exact(new XRUtf8[in.size()]);
    std::copy(in.begin(), in.end(), exact.get());
    XRUtf32 cp = 0x12345678;
    XRMemSize used = kUntouched;
    const XRStatus rc = f(exact.get(), in.size(), &cp, &used);
    return {rc, cp, used};
}

// What the sweeps below do not pin by ICU: the lax UTF-8 reader's skips and values, which
// also anchor the model the sweeps use; inputs shorter than one unit of the encoding;
// the UTF-32 readers.
TEST(Readers, TableOfCases) {
    const std::tuple<XRCvtReader, Bytes, Read> cases[] = {
        {UTF8_UTF32, {0xC0, 0x80}, {kIllegal, 0xFFFD, 2}}, // a bad lead eats its continuation
        {UTF8_UTF32, {0xC0, 0x41}, {kIllegal, 0xFFFD, 1}},
        {UTF8_UTF32, {0x80, 0x80}, {kIllegal, 0xFFFD, 1}},
        {UTF8_UTF32, {0xF8, 0x80, 0x80, 0x80, 0x80, 0x80}, {kIllegal, 0xFFFD, 5}},
        {UTF8_UTF32, {0xE2, 0x82}, {kTrunc, 0xFFFD, 2}},
        {UTF8_UTF32, {0xE0, 0x80, 0x80}, {kOk, 0, 3}}, // overlong, surrogate, above 10FFFF
        {UTF8_UTF32, {0xED, 0xA0, 0x80}, {kOk, 0xD800, 3}},
        {UTF8_UTF32, {0xF4, 0x90, 0x80, 0x80}, {kOk, 0x110000, 4}},
        {UTF8_UTF32, {}, {kTrunc, 0xFFFD, 0}},
        {UTF16_UTF32, {0xD8, 0x3D}, {kTrunc, 0xFFFD, 1}},
        {UTF16_UTF32, {0xD8, 0x3D, 0xDE}, {kTrunc, 0xFFFD, 1}},
        {UTF16_UTF32, {0x20}, {kTrunc, 0xFFFD, 1}},
        {UTF16_UTF32, {}, {kTrunc, 0xFFFD, 0}},
        {UTF16_UTF32_SWAP, {0xAC}, {kTrunc, 0xFFFD, 1}},
        {COPY_UTF32b, {0xFF, 0xFE, 0xFD, 0xFC}, {kOk, 0xFFFEFDFC, 4}}, // unchecked
        {COPY_UTF32b, {0x00, 0x00, 0x00}, {kTrunc, 0xFFFD, 3}},
        {COPY_UTF32b_SWAP, {0x41}, {kTrunc, 0xFFFD, 1}},
    };
    for (const auto& [f, in, want] : cases)
        EXPECT_EQ(readWith(f, in), want) << ::testing::PrintToString(in);
}

// destL bytes of junk followed by guard bytes that must survive.
Write writeWith(XRCvtWriter f, XRUtf32 cp, XRMemSize destL) {
    Bytes buf(destL + 8, J);
    XRMemSize used = kUntouched;
    const XRStatus rc = f(cp, buf.data(), destL, &used);
    EXPECT_EQ(std::count(buf.begin() + destL, buf.end(), J), 8) << "guard bytes, code point " << cp;
    buf.resize(destL);
    return {rc, used, buf};
}

// UTF16_UTF8 in the shape of a writer.
XRStatus unitToUtf8(XRUtf32 u, XRUtf8* dest, XRMemSize destL, XRMemSize* used) {
    return UTF16_UTF8(static_cast<XRUtf16>(u), dest, destL, used);
}

// The writers and sizes the sweep below does not reach.
TEST(Writers, TableOfCases) {
    const std::tuple<XRCvtWriter, XRUtf32, XRMemSize, Write> cases[] = {
        {UTF32_UTF16, 0x1F600, 2, {kOk, 2, {0x00, 0xF6}}}, // UCS-2 keeps the low 16 bits
        {UTF32_UTF16_SWAP, 0x1F600, 2, {kOk, 2, {0xF6, 0x00}}},
        {UTF32_UTF8, 0x1FFFFF, 4, {kOk, 4, {0xF7, 0xBF, 0xBF, 0xBF}}},
        {UTF32_UTF8, 0x41, 0, {kSmall, 0, {}}},
    };
    for (const auto& [f, cp, destL, want] : cases)
        EXPECT_EQ(writeWith(f, cp, destL), want) << std::hex << cp << " into " << destL;
}

TEST(ByteOrderReaders, FixedOrdersAtAnyAlignment) {
    XRUtf8 raw[8] = {0x00, 0x12, 0x34, 0x56, 0x78, 0x9A, 0, 0}; // read at raw + 1, unaligned
    EXPECT_EQ(Byte2DWord(raw + 1), 0x78563412u);
    EXPECT_EQ(Byte2DWord_swap(raw + 1), 0x12345678u);
    EXPECT_EQ(Byte2Word(raw + 1), 0x3412u);
    EXPECT_EQ(Byte2Word_swap(raw + 1), 0x1234u);
    EXPECT_EQ(BYTE_UTF16_UTF32(raw + 1), 0x1234u);
    EXPECT_EQ(BYTE_UTF16_UTF32_SWAP(raw + 1), 0x3412u);
}

// The lax UTF-8 reader as the test reference spells it out, with the status it implies.
Read laxUtf8Model(const XRUtf8* s, XRMemSize n) {
    if (n == 0) return {kTrunc, 0xFFFD, 0};
    const auto [cp, used] = xrref::decode(s, n);
    const bool cut = n < static_cast<XRMemSize>(xrref::announced(s[0]));
    return {!xrref::canLead(s[0]) ? kIllegal : cut ? kTrunc : kOk, cp, used};
}

// UTF8_UTF32 on the n bytes at s agrees with the model, and with ICU's strict U8_NEXT
// wherever that finds a well-formed character; UTF8_UTF16 takes the same step, reports
// a truncated input as illegal, and stores ICU's UTF-16 units for the value. isLegalUTF8,
// told n bytes, steps to the first byte after the lead that is not a continuation byte,
// and judges as ICU does where the lead announces n bytes. Returns whether a well-formed
// character spans exactly the n bytes.
bool readsLikeModelAndIcu(XRUtf8* s, XRMemSize n) {
    const auto bytes = [&] { return ::testing::PrintToString(Bytes(s, s + n)); };
    XRUtf32 cp = 0;
    XRMemSize used = 0;
    const XRStatus rc = UTF8_UTF32(s, n, &cp, &used);
    const Read got{rc, cp, used};
    EXPECT_EQ(got, laxUtf8Model(s, n)) << bytes();
    int32_t i = 0, c = 0, k = 0;
    U8_NEXT(s, i, static_cast<int32_t>(n), c);
    EXPECT_EQ(got, c < 0 ? got : Read(kOk, XRUtf32(c), XRMemSize(i))) << bytes(); // where ICU can
    const bool wellFormed = c >= 0 && XRMemSize(i) == n;
    std::array<XRUtf16, 3> units{0xA5A5, 0xA5A5, 0xA5A5}, want{0xFFFD, 0xA5A5, 0xA5A5};
    if (rc == kOk) U16_APPEND_UNSAFE(want, k, cp);
    XRMemSize used16 = kUntouched;
    const XRStatus rc16 = UTF8_UTF16(s, n, units.data(), &used16);
    EXPECT_EQ(std::tuple(rc16, used16, units), std::tuple(rc == kTrunc ? kIllegal : rc, used, want))
        << bytes();
    if (n > 4) return wellFormed;
    XRMemSize move = kUntouched, bad = 1;
    while (bad < n && xrref::isCont(s[bad]))
        ++bad;
    const int legal = isLegalUTF8(s, n, &move);
    EXPECT_EQ(move, bad) << bytes();
    EXPECT_EQ(legal, xrref::announced(s[0]) == static_cast<int>(n) ? wellFormed : legal) << bytes();
    return wellFormed;
}

// Every sequence of 1 to 3 bytes, read with exactly its own length.
TEST(Utf8Readers, ExhaustiveUpToThreeBytesAgainstModelAndIcu) {
    long wellFormed = 0;
    for (int len = 1; len <= 3; ++len) {
        std::unique_ptr<XRUtf8[]> s(new XRUtf8[len]);
        for (std::uint32_t v = 0; v < 1u << (8 * len) && !HasFailure(); ++v) {
            for (int i = 0; i < len; ++i)
                s[i] = static_cast<XRUtf8>(v >> (8 * (len - 1 - i)));
            wellFormed += readsLikeModelAndIcu(s.get(), static_cast<XRMemSize>(len));
        }
    }
    EXPECT_EQ(wellFormed, 0x80 + (0x800 - 0x80) + (0x10000 - 0x800 - 0x800));
}

// Sequences of 4 to 7 bytes behind the long leads, mostly continuations, some cut short.
TEST(Utf8Readers, RandomFourToSevenBytesAgainstModelAndIcu) {
    // The first and last supplementary characters, which random bytes rarely hit.
    for (std::array<XRUtf8, 4> edge : {std::array<XRUtf8, 4>{0xF0, 0x90, 0x80, 0x80},
                                       std::array<XRUtf8, 4>{0xF4, 0x8F, 0xBF, 0xBF}})
        EXPECT_TRUE(readsLikeModelAndIcu(edge.data(), 4));
    std::mt19937_64 rng(41);
    std::unique_ptr<XRUtf8[]> s(new XRUtf8[7]);
    for (int n = 0; n < 2000000 && !HasFailure(); ++n) {
        const auto r = rng();
        const int len = 4 + static_cast<int>(r % 4);
        s[0] = static_cast<XRUtf8>(0xE0 | (r >> 8 & 0x1F)); // E0..FF
        for (int i = 1; i < len; ++i) {
            const auto b = r >> (13 + 7 * i);
            s[i] = static_cast<XRUtf8>((b & 7) == 0 ? b >> 3 : 0x80 | (b >> 3 & 0x3F));
        }
        readsLikeModelAndIcu(s.get(), (r >> 60) == 0 ? 1 + r % 3 : static_cast<XRMemSize>(len));
    }
}

// Every code point through every writer (UCS-2: the BMP), into exactly the room it needs
// and, on a sample (they cost a vector each), into one byte less, against ICU's encoders;
// through the UTF-32 readers; and the UTF-8 length GET_UTF8_LEN_FROM_XRCHAR gives it.
TEST(Writers, EveryCodePointAgainstIcu) {
    for (XRUtf32 cp = 0; cp <= 0x10FFFF && !HasFailure(); ++cp) {
        XRUtf8 u8[4];
        XRUtf16 u16[2];
        int32_t n8 = 0, n16 = 0;
        U8_APPEND_UNSAFE(u8, n8, cp);
        U16_APPEND_UNSAFE(u16, n16, cp);
        XRChar xc = static_cast<XRChar>(cp);
        EXPECT_EQ(GET_UTF8_LEN_FROM_XRCHAR(&xc, 1), XRMemSize(n8)) << cp;
        Bytes le, be;
        for (int i = 0; i < n16; ++i) {
            le.insert(le.end(), {XRUtf8(u16[i]), XRUtf8(u16[i] >> 8)});
            be.insert(be.end(), {XRUtf8(u16[i] >> 8), XRUtf8(u16[i])});
        }
        const Bytes be32 = {XRUtf8(cp >> 24), XRUtf8(cp >> 16), XRUtf8(cp >> 8), XRUtf8(cp)},
                    le32(be32.rbegin(), be32.rend());
        EXPECT_EQ(std::pair(readWith(COPY_UTF32b, be32), readWith(COPY_UTF32b_SWAP, le32)),
                  std::pair(Read(kOk, cp, 4), Read(kOk, cp, 4)));
        const bool bmp = cp <= 0xFFFF;
        // writer, the bytes it writes, its usedL when one byte short
        const std::tuple<XRCvtWriter, Bytes, XRMemSize> writers[] = {
            {UTF32_UTF8, Bytes(u8, u8 + n8), 0},
            {bmp ? unitToUtf8 : nullptr, Bytes(u8, u8 + n8), 0},
            {UTF32_UTF16s, le, kUntouched},
            {UTF32_UTF16s_SWAP, be, kUntouched},
            {bmp ? UTF32_UTF16 : nullptr, le, kUntouched},
            {bmp ? UTF32_UTF16_SWAP : nullptr, be, kUntouched},
            {COPY_UTF32, be32, 0},
            {COPY_UTF32_SWAP, le32, 0}};
        for (const auto& [f, want, usedWhenSmall] : writers) {
            const XRMemSize L = want.size();
            if (!f) continue;
            EXPECT_EQ(writeWith(f, cp, L), Write(kOk, L, want)) << cp;
            if (cp % 61 != 0 || L < 2) continue; // ASCII to UTF-8 needs no room check
            EXPECT_EQ(writeWith(f, cp, L - 1), Write(kSmall, usedWhenSmall, Bytes(L - 1, J))) << cp;
        }
    }
}

// Every unit and a sample of pairs, both orders, against ICU's U16_NEXT.
TEST(Readers, Utf16AgainstIcu) {
    std::mt19937 rng(3);
    for (std::uint32_t v = 0; v < 0x10000 + 400000 && !HasFailure(); ++v) {
        const XRUtf16 a = static_cast<XRUtf16>(v < 0x10000 ? v : 0xD800 + rng() % 0x400);
        const XRUtf16 b = static_cast<XRUtf16>(v < 0x10000 ? 0x41 : 0xD000 + rng() % 0x1400);
        const XRUtf16 units[2] = {a, b};
        int32_t i = 0, c = 0;
        U16_NEXT(units, i, 2, c);
        const Read want = U_IS_SURROGATE(c) ? Read{kIllegal, 0xFFFD, U16_IS_LEAD(a) ? 4u : 2u}
                                            : Read{kOk, static_cast<XRUtf32>(c), 2u * i};
        const Bytes be = {XRUtf8(a >> 8), XRUtf8(a), XRUtf8(b >> 8), XRUtf8(b)};
        const Bytes le = {XRUtf8(a), XRUtf8(a >> 8), XRUtf8(b), XRUtf8(b >> 8)};
        EXPECT_EQ(readWith(UTF16_UTF32, be), want) << std::hex << a << ' ' << b;
        EXPECT_EQ(readWith(UTF16_UTF32_SWAP, le), want) << std::hex << a << ' ' << b;
    }
}

} // namespace
