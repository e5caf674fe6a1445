// The conversion drivers and the buffer utilities: exact stopping rules, every
// reader/writer pairing against glibc iconv on the corpus and on random text over all
// planes, exact-size outputs with guard bytes, and isLegalUTF8 swept against ICU.
#include <gtest/gtest.h>
#include <iconv.h>
#include <unicode/utf8.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "xr/xrconv.h"

namespace {

using Bytes = std::vector<XRUtf8>;
constexpr XRStatus kOk = 0, kSmall = XRStatusBufferTooSmall, kIllegal = XRStatusIllegalSequence,
                   kTrunc = XRStatusTruncatedSequence;
constexpr XRUtf8 kJunk = 0xA5;
constexpr XRMemSize kUntouched = 0xA5A5A5A5A5A5A5A5ull;

struct Encoding {
    const char* iconvName;
    XRCvtReader reader; // null where the library has none
    XRCvtWriter writer;
};
const Encoding kUtf8{"UTF-8", UTF8_UTF32, UTF32_UTF8};
const Encoding kUtf16Be{"UTF-16BE", UTF16_UTF32, UTF32_UTF16s_SWAP};
const Encoding kUtf16Le{"UTF-16LE", UTF16_UTF32_SWAP, UTF32_UTF16s};
const Encoding kUtf32Be{"UTF-32BE", COPY_UTF32b, COPY_UTF32};
const Encoding kUtf32Le{"UTF-32LE", COPY_UTF32b_SWAP, COPY_UTF32_SWAP};
const Encoding kUcs2Be{"UCS-2BE", nullptr, UTF32_UTF16_SWAP};
const Encoding kUcs2Le{"UCS-2LE", nullptr, UTF32_UTF16};
const Encoding* const kReadable[] = {&kUtf8, &kUtf16Be, &kUtf16Le, &kUtf32Be, &kUtf32Le};
const Encoding* const kUtf32s[] = {&kUtf32Be, &kUtf32Le};
const Encoding* const kWritable[] = {&kUtf8,    &kUtf16Be, &kUtf16Le, &kUtf32Be,
                                     &kUtf32Le, &kUcs2Be,  &kUcs2Le};

Bytes iconvert(const char* from, const char* to, const Bytes& in) {
    iconv_t cd = iconv_open(to, from);
    EXPECT_NE(cd, reinterpret_cast<iconv_t>(-1)) << from << " -> " << to;
    Bytes out(in.size() * 4 + 16);
    char* ip = reinterpret_cast<char*>(const_cast<XRUtf8*>(in.data()));
    char* op = reinterpret_cast<char*>(out.data());
    std::size_t il = in.size(), ol = out.size();
    EXPECT_NE(iconv(cd, &ip, &il, &op, &ol), static_cast<std::size_t>(-1)) << from << " -> " << to;
    iconv_close(cd);
    out.resize(out.size() - ol);
    return out;
}

struct Converted {
    XRStatus rc;
    XRMemSize used;
    Bytes out;
};

// dest is exactly destL bytes of junk followed by guard bytes that must survive.
template <class Driver> Converted drive(Driver driver, const Bytes& in, XRMemSize destL) {
    std::unique_ptr<XRUtf8[]> src(new XRUtf8[in.size() + 1]);
    std::copy(in.begin(), in.end(), src.get());
    Bytes dest(destL + 8, kJunk);
    Converted c{0, kUntouched, {}};
    c.rc = driver(src.get(), in.size(), dest.data(), destL, &c.used);
    for (std::size_t i = destL; i < dest.size(); ++i)
        EXPECT_EQ(dest[i], kJunk) << "guard " << i;
    c.out.assign(dest.begin(), dest.begin() + static_cast<std::ptrdiff_t>(std::min(c.used, destL)));
    return c;
}

Converted toUtf32(const Bytes& in, XRMemSize destL, XRCvtReader r, XRCvtWriter w) {
    return drive([&](XRUtf8* s, XRMemSize sl, XRUtf8* d, XRMemSize dl,
                     XRMemSize* u) { return ConvertToUTF32(s, sl, d, dl, u, r, w); },
                 in, destL);
}
Converted fromUtf32(const Bytes& in, XRMemSize destL, XRCvtWriter w, XRCvtReader r) {
    return drive([&](XRUtf8* s, XRMemSize sl, XRUtf8* d, XRMemSize dl,
                     XRMemSize* u) { return ConvertFromUTF32(s, sl, d, dl, u, w, r); },
                 in, destL);
}

struct DriverCase {
    const char* what;
    Bytes in;
    XRMemSize destL;
    XRStatus rc;
    Bytes out; // what the output holds, usedL bytes
};

template <std::size_t N, class Run> void expectCases(const DriverCase (&cases)[N], Run run) {
    for (const auto& c : cases) {
        const Converted got = run(c.in, c.destL);
        EXPECT_EQ(got.rc, c.rc) << c.what;
        EXPECT_EQ(got.used, c.out.size()) << c.what;
        EXPECT_EQ(got.out, c.out) << c.what;
    }
}

TEST(ConvertToUTF32, StoppingRules) {
    const DriverCase cases[] = {
        {"two characters", {0x41, 0xE2, 0x82, 0xAC}, 8, kOk, {0, 0, 0, 0x41, 0, 0, 0x20, 0xAC}},
        {"output fills up", {0x41, 0xE2, 0x82, 0xAC}, 7, kOk, {0, 0, 0, 0x41}},
        {"bad byte stops in front", {0x41, 0x80, 0x42}, 12, kIllegal, {0, 0, 0, 0x41}},
        {"truncated tail", {0x41, 0xE2, 0x82}, 12, kTrunc, {0, 0, 0, 0x41}},
        {"bad first", {0xFF, 0x41}, 8, kIllegal, {}},
        {"empty input", {}, 8, kOk, {}},
        {"no room", {0x41}, 3, kOk, {}},
        {"exact fit", {0x41, 0x42}, 8, kOk, {0, 0, 0, 0x41, 0, 0, 0, 0x42}},
    };
    expectCases(cases, [](const Bytes& in, XRMemSize destL) {
        return toUtf32(in, destL, UTF8_UTF32, COPY_UTF32);
    });
    XRUtf8 in[1] = {0x41}, out[4];
    EXPECT_EQ(ConvertToUTF32(in, 1, out, 4, nullptr, UTF8_UTF32, COPY_UTF32), kOk);
    EXPECT_EQ(out[3], 0x41);
}

int gCalls = 0;
XRStatus countingReader(XRUtf8* s, XRMemSize l, XRUtf32* c, XRMemSize* u) {
    ++gCalls;
    return COPY_UTF32b(s, l, c, u);
}
XRStatus countingWriter(XRUtf32 c, XRUtf8* d, XRMemSize l, XRMemSize* u) {
    ++gCalls;
    return COPY_UTF32(c, d, l, u);
}
// A reader that fails on every character it reads, as a foreign converter might.
XRStatus failingReader(XRUtf8*, XRMemSize, XRUtf32* c, XRMemSize* u) {
    *c = 0x41;
    *u = 4;
    return kIllegal;
}

TEST(Drivers, ConvertersAreNotCalledWithoutInputOrRoom) {
    XRUtf8 in[8] = {0, 0, 0, 0x41, 0, 0, 0, 0x42}, out[8];
    XRMemSize used = kUntouched;
    gCalls = 0;
    EXPECT_EQ(ConvertToUTF32(in, 0, out, 8, &used, countingReader, countingWriter), kOk);
    EXPECT_EQ(used, 0u);
    EXPECT_EQ(ConvertToUTF32(in, 8, out, 3, &used, countingReader, countingWriter), kOk);
    EXPECT_EQ(ConvertFromUTF32(in, 3, out, 8, &used, countingWriter, countingReader), kOk);
    EXPECT_EQ(used, 0u);
    used = kUntouched;
    EXPECT_EQ(ConvertFromUTF32(in, 8, out, 0, &used, countingWriter, countingReader), kOk);
    EXPECT_EQ(used, 0u);
    EXPECT_EQ(gCalls, 0);
}

TEST(ConvertFromUTF32, StoppingRules) {
    const DriverCase cases[] = {
        {"euro into 2", {0, 0, 0x20, 0xAC}, 2, kSmall, {}},
        {"euro into 3", {0, 0, 0x20, 0xAC}, 3, kOk, {0xE2, 0x82, 0xAC}},
        {"trailing 2 bytes ignored", {0, 0, 0, 0x41, 0, 0}, 8, kOk, {0x41}},
        {"3 bytes: nothing", {0, 0, 0}, 8, kOk, {}},
        {"second does not fit", {0, 0, 0, 0x41, 0, 0, 0x20, 0xAC}, 3, kSmall, {0x41}},
        {"output fills exactly",
         {0, 0, 0, 0x41, 0, 0, 0, 0x42, 0, 0, 0, 0x43},
         2,
         kOk,
         {0x41, 0x42}},
        {"unchecked values",
         {0, 0, 0xD8, 0x00, 0, 0x1F, 0xFF, 0xFF},
         7,
         kOk,
         {0xED, 0xA0, 0x80, 0xF7, 0xBF, 0xBF, 0xBF}},
    };
    expectCases(cases, [](const Bytes& in, XRMemSize destL) {
        return fromUtf32(in, destL, UTF32_UTF8, COPY_UTF32b);
    });
    // The reader's status is not consulted.
    XRUtf8 in[4] = {}, out[4];
    XRMemSize used = 0;
    EXPECT_EQ(ConvertFromUTF32(in, 4, out, 4, &used, UTF32_UTF8, failingReader), kOk);
    EXPECT_EQ(used, 1u);
    EXPECT_EQ(out[0], 0x41);
}

std::u32string randomText(std::mt19937_64& rng, std::size_t n) {
    std::u32string s;
    while (s.size() < n) {
        const auto r = rng();
        char32_t cp;
        switch (r % 4) {
        case 0:
            cp = 0x20 + (r >> 8) % 0x5F;
            break;
        case 1:
            cp = (r >> 8) % 0x800;
            break;
        case 2:
            cp = (r >> 8) % 0x10000;
            break;
        default:
            cp = 0x10000 + (r >> 8) % 0x100000;
            break;
        }
        if (cp >= 0xD800 && cp <= 0xDFFF) continue;
        s.push_back(cp);
    }
    return s;
}

Bytes utf32be(const std::u32string& s) {
    Bytes b;
    for (char32_t c : s)
        b.insert(b.end(), {XRUtf8(c >> 24), XRUtf8(c >> 16), XRUtf8(c >> 8), XRUtf8(c)});
    return b;
}

std::vector<Bytes> wellFormedSamples() {
    std::vector<Bytes> samples;
    for (const auto& e : std::filesystem::directory_iterator(XRKIT_CORPUS_DIR)) {
        if (!e.path().string().ends_with(".utf8.txt")) continue;
        std::ifstream in(e.path(), std::ios::binary);
        Bytes utf8((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        samples.push_back(iconvert("UTF-8", "UTF-32BE", utf8));
    }
    EXPECT_GE(samples.size(), 9u) << "corpus at " XRKIT_CORPUS_DIR;
    std::mt19937_64 rng(2024);
    for (std::size_t n : {1u, 2u, 7u, 100u, 5000u})
        samples.push_back(utf32be(randomText(rng, n)));
    return samples;
}

bool allBmp(const Bytes& u32be) {
    for (std::size_t i = 0; i < u32be.size(); i += 4)
        if (u32be[i + 1] != 0) return false;
    return true;
}

// Every reader into every UTF-32 writer and every UTF-32 reader into every writer,
// each into an output of exactly the size iconv produces.
TEST(Drivers, EveryPairingMatchesIconvOnWellFormedText) {
    for (const Bytes& text : wellFormedSamples()) {
        for (const Encoding* from : kReadable) {
            const Bytes in = iconvert("UTF-32BE", from->iconvName, text);
            for (const Encoding* to : kUtf32s) {
                const Bytes want = iconvert("UTF-32BE", to->iconvName, text);
                const Converted got = toUtf32(in, want.size(), from->reader, to->writer);
                ASSERT_EQ(got.rc, kOk) << from->iconvName << " -> " << to->iconvName;
                ASSERT_EQ(got.used, want.size());
                ASSERT_TRUE(got.out == want) << from->iconvName << " -> " << to->iconvName;
            }
        }
        for (const Encoding* from : kUtf32s) {
            const Bytes in = iconvert("UTF-32BE", from->iconvName, text);
            for (const Encoding* to : kWritable) {
                if (!to->reader && !allBmp(text)) continue; // UCS-2 has no room for them
                const Bytes want = iconvert("UTF-32BE", to->iconvName, text);
                const Converted got = fromUtf32(in, want.size(), to->writer, from->reader);
                ASSERT_EQ(got.rc, kOk) << from->iconvName << " -> " << to->iconvName;
                ASSERT_EQ(got.used, want.size());
                ASSERT_TRUE(got.out == want) << from->iconvName << " -> " << to->iconvName;
            }
        }
    }
}

// UCS-2 keeps the low 16 bits of a supplementary code point.
TEST(Drivers, Ucs2WritersTruncateSupplementaryCodePoints) {
    const Bytes in = {0, 0x01, 0xF6, 0x00, 0, 0, 0, 0x41};
    EXPECT_EQ(fromUtf32(in, 4, UTF32_UTF16, COPY_UTF32b).out, (Bytes{0x00, 0xF6, 0x41, 0x00}));
    EXPECT_EQ(fromUtf32(in, 4, UTF32_UTF16_SWAP, COPY_UTF32b).out, (Bytes{0xF6, 0x00, 0x00, 0x41}));
}

// Any output size, on text with a supplementary character and a bad tail: only complete
// characters, the right status, and the same prefix as the full conversion.
TEST(Drivers, EveryOutputSizeKeepsCompleteCharactersOnly) {
    const Bytes u8 = {0x41, 0xC3, 0xA9, 0xE2, 0x82, 0xAC, 0xF0, 0x9F, 0x98, 0x80, 0x42, 0xE2, 0x82};
    const Converted full = toUtf32(u8, 64, UTF8_UTF32, COPY_UTF32);
    ASSERT_EQ(full.rc, kTrunc);
    ASSERT_EQ(full.used, 20u);
    for (XRMemSize destL = 0; destL <= 24; ++destL) {
        const Converted got = toUtf32(u8, destL, UTF8_UTF32, COPY_UTF32);
        const XRMemSize fit = std::min<XRMemSize>(destL / 4 * 4, 20);
        EXPECT_EQ(got.rc, destL >= 24 ? kTrunc : kOk) << destL;
        EXPECT_EQ(got.used, fit) << destL;
        EXPECT_TRUE(std::equal(got.out.begin(), got.out.end(), full.out.begin())) << destL;
    }
    const Bytes u32 = Bytes(full.out.begin(), full.out.end());
    const Bytes want8(u8.begin(), u8.end() - 2);
    const XRMemSize ends[] = {0, 1, 3, 6, 10, 11}; // character boundaries in UTF-8
    for (XRMemSize destL = 1; destL <= 12; ++destL) {
        const Converted got = fromUtf32(u32, destL, UTF32_UTF8, COPY_UTF32b);
        XRMemSize fit = 0;
        for (XRMemSize e : ends)
            if (e <= destL) fit = e;
        EXPECT_EQ(got.used, fit) << destL;
        EXPECT_EQ(got.rc, destL >= 11 || destL == fit ? kOk : kSmall) << destL;
        EXPECT_TRUE(std::equal(got.out.begin(), got.out.end(), want8.begin())) << destL;
    }
}

TEST(CopyUtf, CopiesWhatFitsAndAlwaysReportsIt) {
    const Bytes src = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    for (XRMemSize srcL : {0u, 4u, 10u})
        for (XRMemSize destL : {0u, 4u, 10u}) {
            Bytes dest(destL + 4, kJunk);
            XRMemSize cvtL = kUntouched;
            Bytes in(src.begin(), src.begin() + static_cast<std::ptrdiff_t>(srcL));
            const XRStatus rc = COPY_UTF(in.data(), srcL, dest.data(), destL, &cvtL);
            const XRMemSize n = std::min(srcL, destL);
            EXPECT_EQ(rc, srcL > destL ? kSmall : kOk) << srcL << ' ' << destL;
            EXPECT_EQ(cvtL, n);
            EXPECT_TRUE(std::equal(src.begin(), src.begin() + static_cast<std::ptrdiff_t>(n),
                                   dest.begin()));
            for (std::size_t i = n; i < dest.size(); ++i)
                EXPECT_EQ(dest[i], kJunk);
        }
}

struct Legal {
    XRBoolean ok;
    XRMemSize move;
    bool operator==(const Legal&) const = default;
};
std::ostream& operator<<(std::ostream& o, const Legal& l) {
    return o << "{" << int(l.ok) << ", " << l.move << "}";
}
Legal legal(const XRUtf8* s, XRMemSize len) {
    Legal l{2, kUntouched};
    l.ok = isLegalUTF8(const_cast<XRUtf8*>(s), len, &l.move);
    return l;
}

TEST(IsLegalUTF8, TableOfCases) {
    const struct {
        Bytes in;
        XRMemSize len;
        Legal want;
    } cases[] = {
        {{0xE2, 0x82, 0xAC}, 3, {1, 3}},
        {{0xE2, 0x28, 0xAC}, 3, {0, 1}},
        {{0xE2, 0x82, 0x28}, 3, {0, 2}},
        {{0xE0, 0x80, 0x80}, 3, {0, 3}},
        {{0xED, 0xA0, 0x80}, 3, {0, 3}},
        {{0xF4, 0x90, 0x80, 0x80}, 4, {0, 4}},
        {{0xC0, 0x80}, 2, {0, 2}},
        {{0x41}, 1, {1, 1}},
        {{0x41}, 0, {0, 0}},
        {{0xF8, 0x80, 0x80, 0x80, 0x80}, 5, {0, 5}},
        {{0xF0, 0x41, 0x80, 0x41}, 4, {0, 1}},
        {{0xF0, 0x90, 0x41, 0x80}, 4, {0, 2}},
        {{0xF0, 0x90, 0x80, 0x41}, 4, {0, 3}},
        {{0xF0, 0x8F, 0x80, 0x80}, 4, {0, 4}},
        {{0xC3}, 1, {1, 1}}, // the length is the caller's claim; only the lead is checked
        {{0x80}, 1, {0, 1}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(legal(c.in.data(), c.len), c.want) << int(c.in[0]);
}

// The offset of the first byte after the lead that is not 80..BF, else len.
XRMemSize firstBadContinuation(const XRUtf8* s, XRMemSize len) {
    for (XRMemSize i = 1; i < len; ++i)
        if ((s[i] & 0xC0) != 0x80) return i;
    return len;
}

// Every sequence of 1 to 3 bytes with its own length as the claim, and a random sample
// of 4-byte ones: where the lead announces that length, the verdict is ICU's strict one.
TEST(IsLegalUTF8, SweepAgainstIcu) {
    XRUtf8 s[4];
    auto check = [&](int len) {
        const Legal got = legal(s, static_cast<XRMemSize>(len));
        const XRMemSize move = firstBadContinuation(s, static_cast<XRMemSize>(len));
        if (got.move != move) return false;
        const int announced = s[0] < 0xC0   ? 1
                              : s[0] < 0xE0 ? 2
                              : s[0] < 0xF0 ? 3
                              : s[0] < 0xF8 ? 4
                                            : 5;
        if (announced != len) return true;
        int32_t i = 0, c = 0;
        U8_NEXT(s, i, len, c);
        return got.ok == (c >= 0 && i == len);
    };
    for (int len = 1; len <= 3; ++len)
        for (std::uint32_t v = 0; v < 1u << (8 * len); ++v) {
            for (int i = 0; i < len; ++i)
                s[i] = static_cast<XRUtf8>(v >> (8 * (len - 1 - i)));
            ASSERT_TRUE(check(len)) << std::hex << v << " len " << len;
        }
    std::mt19937_64 rng(11);
    for (int n = 0; n < 4000000; ++n) {
        const auto r = rng();
        s[0] = static_cast<XRUtf8>(0xF0 | (r & 0xF));
        for (int i = 1; i < 4; ++i) {
            const auto b = r >> (4 + 12 * i);
            s[i] = static_cast<XRUtf8>((b & 0xF) == 0 ? b >> 4 : 0x80 | (b >> 4 & 0x3F));
        }
        ASSERT_TRUE(check(4)) << std::hex << int(s[0]) << int(s[1]) << int(s[2]) << int(s[3]);
    }
}

TEST(Utf8Length, OfXRCharsMatchesTheWriter) {
    XRChar four[] = {0x41, 0xE9, 0x20AC, 0x1F600};
    EXPECT_EQ(GET_UTF8_LEN_FROM_XRCHAR(four, 4), 10u);
    EXPECT_EQ(GET_UTF8_LEN_FROM_XRCHAR(four, 0), 0u);
    EXPECT_EQ(GET_UTF8_LEN_FROM_XRCHAR(four, -3), 0u);
    XRChar odd[] = {-1, INT32_MIN, 0xD800, 0x7FF, 0x800, 0xFFFF, 0x10000, 0x7F, 0x80};
    EXPECT_EQ(GET_UTF8_LEN_FROM_XRCHAR(odd, 9), 4u + 4 + 3 + 2 + 3 + 3 + 4 + 1 + 2);
    std::mt19937 rng(5);
    for (int n = 0; n < 100000; ++n) {
        XRChar c = static_cast<XRChar>(rng() % 0x200000 >> (rng() % 21));
        XRUtf8 out[4];
        XRMemSize used = 0;
        ASSERT_EQ(UTF32_UTF8(static_cast<XRUtf32>(c), out, 4, &used), kOk);
        ASSERT_EQ(GET_UTF8_LEN_FROM_XRCHAR(&c, 1), used) << c;
    }
}

} // namespace
