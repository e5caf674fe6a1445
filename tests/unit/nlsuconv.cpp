// The one-character converters: exact statuses, steps and bytes, byte orders, short
// inputs read within bounds, exact-size outputs with guard bytes, and exhaustive sweeps
// against ICU's UTF macros and an independent model of the lax UTF-8 reader.
#include <gtest/gtest.h>
#include <unicode/utf16.h>
#include <unicode/utf8.h>

#include <bit>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "xr/xrconv.h"

namespace {

using Bytes = std::vector<XRUtf8>;
constexpr XRStatus kOk = 0, kSmall = XRStatusBufferTooSmall, kIllegal = XRStatusIllegalSequence,
                   kTrunc = XRStatusTruncatedSequence;
constexpr XRMemSize kUntouched = 0xA5A5A5A5A5A5A5A5ull;
constexpr XRUtf8 kJunk = 0xA5;

struct ReadResult {
    XRStatus rc;
    XRUtf32 cp;
    XRMemSize used;
    bool operator==(const ReadResult&) const = default;
};
std::ostream& operator<<(std::ostream& o, const ReadResult& r) {
    return o << "{rc " << r.rc << ", cp " << std::hex << r.cp << std::dec << ", used " << r.used
             << "}";
}

// The input sits in a heap block of exactly srcL bytes, so a read past it is an error
// under AddressSanitizer.
ReadResult readWith(XRCvtReader f, const Bytes& in, XRMemSize srcL) {
    std::unique_ptr<XRUtf8[]> exact(new XRUtf8[srcL ? srcL : 1]);
    if (srcL) std::memcpy(exact.get(), in.data(), srcL);
    ReadResult r{0, 0x12345678, kUntouched};
    r.rc = f(exact.get(), srcL, &r.cp, &r.used);
    return r;
}

struct ReaderCase {
    const char* what;
    XRCvtReader f;
    Bytes in;
    XRMemSize srcL;
    ReadResult want;
};

TEST(Readers, TableOfCases) {
    const ReaderCase cases[] = {
        {"ascii", UTF8_UTF32, {0x41}, 1, {kOk, 0x41, 1}},
        {"C0 80 illegal lead eats its continuation",
         UTF8_UTF32,
         {0xC0, 0x80},
         2,
         {kIllegal, 0xFFFD, 2}},
        {"C0 41", UTF8_UTF32, {0xC0, 0x41}, 2, {kIllegal, 0xFFFD, 1}},
        {"lone 80", UTF8_UTF32, {0x80, 0x80}, 2, {kIllegal, 0xFFFD, 1}},
        {"F8 + 4 continuations",
         UTF8_UTF32,
         {0xF8, 0x80, 0x80, 0x80, 0x80, 0x80},
         6,
         {kIllegal, 0xFFFD, 5}},
        {"FC + 5 continuations",
         UTF8_UTF32,
         {0xFC, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80},
         7,
         {kIllegal, 0xFFFD, 6}},
        {"F5 cut by srcL", UTF8_UTF32, {0xF5, 0x80, 0x80, 0x80}, 2, {kIllegal, 0xFFFD, 2}},
        {"E2 82 truncated", UTF8_UTF32, {0xE2, 0x82}, 2, {kTrunc, 0xFFFD, 2}},
        {"euro", UTF8_UTF32, {0xE2, 0x82, 0xAC}, 3, {kOk, 0x20AC, 3}},
        {"overlong E0 80 80 passes", UTF8_UTF32, {0xE0, 0x80, 0x80}, 3, {kOk, 0, 3}},
        {"surrogate passes", UTF8_UTF32, {0xED, 0xA0, 0x80}, 3, {kOk, 0xD800, 3}},
        {"above 10FFFF passes", UTF8_UTF32, {0xF4, 0x90, 0x80, 0x80}, 4, {kOk, 0x110000, 4}},
        {"continuations unchecked", UTF8_UTF32, {0xE2, 0x41, 0x42}, 3, {kOk, 0x2042, 3}},
        {"emoji", UTF8_UTF32, {0xF0, 0x9F, 0x98, 0x80}, 4, {kOk, 0x1F600, 4}},
        {"empty utf-8", UTF8_UTF32, {}, 0, {kTrunc, 0xFFFD, 0}},
        {"pair", UTF16_UTF32, {0xD8, 0x3D, 0xDE, 0x00}, 4, {kOk, 0x1F600, 4}},
        {"high + non-low", UTF16_UTF32, {0xD8, 0x3D, 0x00, 0x41}, 4, {kIllegal, 0xFFFD, 4}},
        {"lone low", UTF16_UTF32, {0xDE, 0x00}, 2, {kIllegal, 0xFFFD, 2}},
        {"high, 2 bytes", UTF16_UTF32, {0xD8, 0x3D}, 2, {kTrunc, 0xFFFD, 1}},
        {"high, 3 bytes", UTF16_UTF32, {0xD8, 0x3D, 0xDE}, 3, {kTrunc, 0xFFFD, 1}},
        {"bmp big-endian", UTF16_UTF32, {0x20, 0xAC}, 2, {kOk, 0x20AC, 2}},
        {"one byte utf-16", UTF16_UTF32, {0x20}, 1, {kTrunc, 0xFFFD, 1}},
        {"empty utf-16", UTF16_UTF32, {}, 0, {kTrunc, 0xFFFD, 0}},
        {"swap pair", UTF16_UTF32_SWAP, {0x3D, 0xD8, 0x00, 0xDE}, 4, {kOk, 0x1F600, 4}},
        {"swap bmp", UTF16_UTF32_SWAP, {0xAC, 0x20}, 2, {kOk, 0x20AC, 2}},
        {"swap lone low", UTF16_UTF32_SWAP, {0x00, 0xDC}, 2, {kIllegal, 0xFFFD, 2}},
        {"swap one byte", UTF16_UTF32_SWAP, {0xAC}, 1, {kTrunc, 0xFFFD, 1}},
        {"utf-32 be", COPY_UTF32b, {0x00, 0x01, 0xF6, 0x00}, 4, {kOk, 0x1F600, 4}},
        {"utf-32 be unchecked", COPY_UTF32b, {0xFF, 0xFE, 0xFD, 0xFC}, 4, {kOk, 0xFFFEFDFC, 4}},
        {"utf-32 le", COPY_UTF32b_SWAP, {0x00, 0xF6, 0x01, 0x00}, 4, {kOk, 0x1F600, 4}},
        {"utf-32 short", COPY_UTF32b, {0x00, 0x00, 0x00}, 3, {kTrunc, 0xFFFD, 3}},
        {"utf-32 le short", COPY_UTF32b_SWAP, {0x41}, 1, {kTrunc, 0xFFFD, 1}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(readWith(c.f, c.in, c.srcL), c.want) << c.what;
}

struct WriteResult {
    XRStatus rc;
    XRMemSize used;
    Bytes out; // the destL bytes of the output
    bool operator==(const WriteResult&) const = default;
};
std::ostream& operator<<(std::ostream& o, const WriteResult& r) {
    o << "{rc " << r.rc << ", used " << r.used << ", out";
    for (auto b : r.out)
        o << ' ' << std::hex << int(b) << std::dec;
    return o << "}";
}

// destL bytes of junk followed by guard bytes that must survive.
WriteResult writeWith(XRCvtWriter f, XRUtf32 cp, XRMemSize destL) {
    Bytes buf(destL + 8, kJunk);
    WriteResult r{0, kUntouched, {}};
    r.rc = f(cp, buf.data(), destL, &r.used);
    for (std::size_t i = destL; i < buf.size(); ++i)
        EXPECT_EQ(buf[i], kJunk) << "guard byte " << i;
    r.out.assign(buf.begin(), buf.begin() + static_cast<std::ptrdiff_t>(destL));
    return r;
}

struct WriterCase {
    const char* what;
    XRCvtWriter f;
    XRUtf32 cp;
    XRMemSize destL;
    WriteResult want;
};

TEST(Writers, TableOfCases) {
    const XRUtf8 J = kJunk;
    const WriterCase cases[] = {
        {"utf-32 be", COPY_UTF32, 0x41, 4, {kOk, 4, {0, 0, 0, 0x41}}},
        {"utf-32 le", COPY_UTF32_SWAP, 0x41, 4, {kOk, 4, {0x41, 0, 0, 0}}},
        {"utf-32 be, 3 bytes", COPY_UTF32, 0x41, 3, {kSmall, 0, {J, J, J}}},
        {"utf-32 le, 3 bytes", COPY_UTF32_SWAP, 0x41, 3, {kSmall, 0, {J, J, J}}},
        {"ucs-2 le truncates", UTF32_UTF16, 0x1F600, 2, {kOk, 2, {0x00, 0xF6}}},
        {"ucs-2 be truncates", UTF32_UTF16_SWAP, 0x1F600, 2, {kOk, 2, {0xF6, 0x00}}},
        {"ucs-2 le 1 byte", UTF32_UTF16, 0x41, 1, {kSmall, kUntouched, {J}}},
        {"ucs-2 be 1 byte", UTF32_UTF16_SWAP, 0x41, 1, {kSmall, kUntouched, {J}}},
        {"utf-16 le pair", UTF32_UTF16s, 0x1F600, 4, {kOk, 4, {0x3D, 0xD8, 0x00, 0xDE}}},
        {"utf-16 be pair", UTF32_UTF16s_SWAP, 0x1F600, 4, {kOk, 4, {0xD8, 0x3D, 0xDE, 0x00}}},
        {"utf-16 le pair, 3 bytes", UTF32_UTF16s, 0x1F600, 3, {kSmall, kUntouched, {J, J, J}}},
        {"utf-16 be pair, 3 bytes", UTF32_UTF16s_SWAP, 0x1F600, 3, {kSmall, kUntouched, {J, J, J}}},
        {"utf-16 le bmp", UTF32_UTF16s, 0x20AC, 2, {kOk, 2, {0xAC, 0x20}}},
        {"utf-16 be bmp", UTF32_UTF16s_SWAP, 0x20AC, 2, {kOk, 2, {0x20, 0xAC}}},
        {"utf-16 bmp, 1 byte", UTF32_UTF16s, 0x20AC, 1, {kSmall, kUntouched, {J}}},
        {"utf-16 max", UTF32_UTF16s_SWAP, 0x10FFFF, 4, {kOk, 4, {0xDB, 0xFF, 0xDF, 0xFF}}},
        {"utf-8 euro, 2 bytes", UTF32_UTF8, 0x20AC, 2, {kSmall, 0, {J, J}}},
        {"utf-8 euro", UTF32_UTF8, 0x20AC, 3, {kOk, 3, {0xE2, 0x82, 0xAC}}},
        {"utf-8 max", UTF32_UTF8, 0x10FFFF, 4, {kOk, 4, {0xF4, 0x8F, 0xBF, 0xBF}}},
        {"utf-8 surrogate", UTF32_UTF8, 0xDC00, 3, {kOk, 3, {0xED, 0xB0, 0x80}}},
        {"utf-8 1FFFFF", UTF32_UTF8, 0x1FFFFF, 4, {kOk, 4, {0xF7, 0xBF, 0xBF, 0xBF}}},
        {"utf-8 ascii", UTF32_UTF8, 0x7F, 1, {kOk, 1, {0x7F}}},
        {"utf-8 ascii, no room", UTF32_UTF8, 0x41, 0, {kSmall, 0, {}}},
        {"utf-8 4 bytes, 3 room", UTF32_UTF8, 0x10000, 3, {kSmall, 0, {J, J, J}}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(writeWith(c.f, c.cp, c.destL), c.want) << c.what;
}

TEST(Writers, Utf16UnitToUtf8) {
    struct {
        XRUtf16 u;
        XRMemSize room;
        WriteResult want;
    } cases[] = {
        {0x41, 1, {kOk, 1, {0x41}}},
        {0xE9, 2, {kOk, 2, {0xC3, 0xA9}}},
        {0xE9, 1, {kSmall, 0, {kJunk}}},
        {0xD83D, 3, {kOk, 3, {0xED, 0xA0, 0xBD}}},
        {0xFFFF, 2, {kSmall, 0, {kJunk, kJunk}}},
    };
    for (const auto& c : cases) {
        Bytes buf(c.room + 4, kJunk);
        WriteResult r{0, kUntouched, {}};
        r.rc = UTF16_UTF8(c.u, buf.data(), c.room, &r.used);
        r.out.assign(buf.begin(), buf.begin() + static_cast<std::ptrdiff_t>(c.room));
        EXPECT_EQ(r, c.want) << std::hex << c.u;
        for (std::size_t i = c.room; i < buf.size(); ++i)
            EXPECT_EQ(buf[i], kJunk);
    }
}

TEST(Readers, Utf8ToUtf16UnitsInMachineOrder) {
    struct {
        Bytes in;
        XRStatus rc;
        XRMemSize used;
        std::vector<XRUtf16> units;
    } cases[] = {
        {{0xF0, 0x9F, 0x98, 0x80}, kOk, 4, {0xD83D, 0xDE00}},
        {{0xE2, 0x82, 0xAC}, kOk, 3, {0x20AC, 0xA5A5}},
        {{0x41}, kOk, 1, {0x41, 0xA5A5}},
        {{0xE2, 0x82}, kIllegal, 2, {0xFFFD, 0xA5A5}},
        {{0xC0, 0x80}, kIllegal, 2, {0xFFFD, 0xA5A5}},
        {{0x80}, kIllegal, 1, {0xFFFD, 0xA5A5}},
        {{0xF4, 0x8F, 0xBF, 0xBF}, kOk, 4, {0xDBFF, 0xDFFF}},
    };
    for (const auto& c : cases) {
        std::unique_ptr<XRUtf8[]> exact(new XRUtf8[c.in.size()]);
        std::memcpy(exact.get(), c.in.data(), c.in.size());
        XRUtf16 out[3] = {0xA5A5, 0xA5A5, 0xA5A5};
        XRMemSize used = kUntouched;
        EXPECT_EQ(UTF8_UTF16(exact.get(), c.in.size(), out, &used), c.rc);
        EXPECT_EQ(used, c.used);
        EXPECT_EQ(out[0], c.units[0]);
        EXPECT_EQ(out[1], c.units[1]);
        EXPECT_EQ(out[2], 0xA5A5);
    }
}

TEST(ByteOrderReaders, FixedOrdersAtAnyAlignment) {
    XRUtf8 raw[8] = {0x00, 0x12, 0x34, 0x56, 0x78, 0x9A, 0, 0};
    XRUtf8* p = raw + 1; // deliberately unaligned
    EXPECT_EQ(Byte2DWord(p), 0x78563412u);
    EXPECT_EQ(Byte2DWord_swap(p), 0x12345678u);
    EXPECT_EQ(Byte2Word(p), 0x3412u);
    EXPECT_EQ(Byte2Word_swap(p), 0x1234u);
    EXPECT_EQ(BYTE_UTF16_UTF32(p), 0x1234u);
    EXPECT_EQ(BYTE_UTF16_UTF32_SWAP(p), 0x3412u);
}

// Independent model of the lax UTF-8 reader, written from bit patterns rather than tables.
ReadResult laxUtf8Model(const XRUtf8* s, XRMemSize n) {
    if (n == 0) return {kTrunc, 0xFFFD, 0};
    const unsigned lead = s[0];
    if (lead < 0x80) return {kOk, lead, 1};
    const int ones = std::countl_one(static_cast<std::uint8_t>(lead));
    const XRMemSize announced = ones == 1 ? 1 : ones > 6 ? 6 : static_cast<XRMemSize>(ones);
    if (lead < 0xC2 || lead > 0xF4) {
        XRMemSize used = 1;
        while (used < announced && used < n && (s[used] >> 6) == 2)
            ++used;
        return {kIllegal, 0xFFFD, used};
    }
    if (n < announced) return {kTrunc, 0xFFFD, n};
    XRUtf32 cp = lead & (0x7Fu >> announced);
    for (XRMemSize i = 1; i < announced; ++i)
        cp = cp << 6 | (s[i] & 0x3F);
    return {kOk, cp, announced};
}

// Every sequence of 1 to 3 bytes, read with exactly its own length: agrees with the
// model always, and with ICU's strict U8_NEXT wherever the sequence is well-formed.
TEST(Readers, Utf8ExhaustiveUpToThreeBytesAgainstModelAndIcu) {
    std::unique_ptr<XRUtf8[]> buf[4];
    for (int len = 1; len <= 3; ++len)
        buf[len].reset(new XRUtf8[len]);
    long wellFormed = 0;
    for (int len = 1; len <= 3; ++len) {
        const std::uint32_t total = 1u << (8 * len);
        XRUtf8* s = buf[len].get();
        for (std::uint32_t v = 0; v < total; ++v) {
            for (int i = 0; i < len; ++i)
                s[i] = static_cast<XRUtf8>(v >> (8 * (len - 1 - i)));
            ReadResult got{0, 0, 0};
            got.rc = UTF8_UTF32(s, static_cast<XRMemSize>(len), &got.cp, &got.used);
            const ReadResult want = laxUtf8Model(s, static_cast<XRMemSize>(len));
            if (got != want) {
                ADD_FAILURE() << "len " << len << " bytes " << std::hex << v << ": " << got
                              << " want " << want;
                return;
            }
            int32_t i = 0, c = 0;
            U8_NEXT(s, i, len, c);
            if (c >= 0 && i == len) {
                ++wellFormed;
                ASSERT_EQ(got, (ReadResult{kOk, static_cast<XRUtf32>(c), XRMemSize(len)}));
            }
        }
    }
    EXPECT_EQ(wellFormed, 0x80 + (0x800 - 0x80) + (0x10000 - 0x800 - 0x800));
}

TEST(Readers, Utf8RandomFourToSevenBytesAgainstModelAndIcu) {
    std::mt19937_64 rng(41);
    std::unique_ptr<XRUtf8[]> buf(new XRUtf8[7]);
    for (int n = 0; n < 2000000; ++n) {
        const auto r = rng();
        const int len = 4 + static_cast<int>(r % 4);
        XRUtf8* s = buf.get();
        s[0] = static_cast<XRUtf8>(0xE0 | (r >> 8 & 0x1F)); // E0..FF: the long leads
        for (int i = 1; i < len; ++i) {
            const auto b = r >> (13 + 7 * i);
            s[i] = static_cast<XRUtf8>((b & 7) == 0 ? b >> 3 : 0x80 | (b >> 3 & 0x3F));
        }
        const XRMemSize srcL = (r >> 60) == 0 ? 1 + r % 3 : static_cast<XRMemSize>(len);
        ReadResult got{0, 0, 0};
        got.rc = UTF8_UTF32(s, srcL, &got.cp, &got.used);
        ASSERT_EQ(got, laxUtf8Model(s, srcL));
        int32_t i = 0, c = 0;
        U8_NEXT(s, i, static_cast<int32_t>(srcL), c);
        if (c >= 0) {
            ASSERT_EQ(got, (ReadResult{kOk, static_cast<XRUtf32>(c), XRMemSize(i)}));
        }
    }
}

// Every code point through every writer, into exactly the room it needs and into one
// byte less, against ICU's encoders.
TEST(Writers, EveryCodePointAgainstIcu) {
    for (XRUtf32 cp = 0; cp <= 0x10FFFF; ++cp) {
        XRUtf8 want8[4];
        int32_t n8 = 0;
        U8_APPEND_UNSAFE(want8, n8, cp);
        XRUtf16 want16[2];
        int32_t n16 = 0;
        U16_APPEND_UNSAFE(want16, n16, cp);
        Bytes le, be;
        for (int i = 0; i < n16; ++i) {
            le.insert(le.end(), {XRUtf8(want16[i]), XRUtf8(want16[i] >> 8)});
            be.insert(be.end(), {XRUtf8(want16[i] >> 8), XRUtf8(want16[i])});
        }
        const Bytes u8(want8, want8 + n8);
        const XRMemSize L8 = static_cast<XRMemSize>(n8), L16 = 2 * static_cast<XRMemSize>(n16);
        ASSERT_EQ(writeWith(UTF32_UTF8, cp, L8), (WriteResult{kOk, L8, u8})) << cp;
        ASSERT_EQ(writeWith(UTF32_UTF16s, cp, L16), (WriteResult{kOk, L16, le})) << cp;
        ASSERT_EQ(writeWith(UTF32_UTF16s_SWAP, cp, L16), (WriteResult{kOk, L16, be})) << cp;
        if (cp % 61 == 0) { // the failing sizes on a sample: they cost a vector each
            if (L8 > 1) {
                ASSERT_EQ(writeWith(UTF32_UTF8, cp, L8 - 1).rc, kSmall);
            }
            ASSERT_EQ(writeWith(UTF32_UTF16s, cp, L16 - 1).rc, kSmall);
        }
        if (cp <= 0xFFFF) {
            XRUtf8 out[3] = {kJunk, kJunk, kJunk};
            XRMemSize used = kUntouched;
            ASSERT_EQ(UTF16_UTF8(static_cast<XRUtf16>(cp), out, L8, &used), kOk);
            ASSERT_EQ(Bytes(out, out + used), u8);
            ASSERT_EQ(out[2], used == 3 ? want8[2] : kJunk);
        }
    }
}

// Every unit and a sample of pairs, both orders, against ICU's U16_NEXT.
TEST(Readers, Utf16AgainstIcu) {
    std::mt19937 rng(3);
    for (std::uint32_t v = 0; v < 0x10000 + 400000; ++v) {
        const XRUtf16 a = static_cast<XRUtf16>(v < 0x10000 ? v : 0xD800 + rng() % 0x400);
        const XRUtf16 b = static_cast<XRUtf16>(v < 0x10000 ? 0x41 : 0xD000 + rng() % 0x1400);
        const XRUtf16 units[2] = {a, b};
        int32_t i = 0;
        UChar32 c = 0;
        U16_NEXT(units, i, 2, c);
        const bool bad = U_IS_SURROGATE(c);
        const ReadResult want = bad ? ReadResult{kIllegal, 0xFFFD, U16_IS_LEAD(a) ? 4u : 2u}
                                    : ReadResult{kOk, static_cast<XRUtf32>(c), 2u * i};
        const Bytes be = {XRUtf8(a >> 8), XRUtf8(a), XRUtf8(b >> 8), XRUtf8(b)};
        const Bytes le = {XRUtf8(a), XRUtf8(a >> 8), XRUtf8(b), XRUtf8(b >> 8)};
        ASSERT_EQ(readWith(UTF16_UTF32, be, 4), want) << std::hex << a << ' ' << b;
        ASSERT_EQ(readWith(UTF16_UTF32_SWAP, le, 4), want) << std::hex << a << ' ' << b;
    }
}

} // namespace
