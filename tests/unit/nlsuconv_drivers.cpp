// The conversion drivers and the buffer utilities: exact stopping rules and output
// sizes, exact-size outputs with guard bytes. (Each converter is swept against ICU in
// nlsuconv.cpp, each kernel held to the per-character loop in nlsuconv_bulk.cpp, and
// every pairing run against iconv through the CLI in tests/cli/convert.cpp.) Also the
// cases of isLegalUTF8 and GET_UTF8_LEN_FROM_XRCHAR that the sweeps there do not reach.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <tuple>
#include <vector>

#include "xr/xrconv.h"

namespace {

using Bytes = std::vector<XRUtf8>;
constexpr XRStatus kOk = 0, kSmall = XRStatusBufferTooSmall, kIllegal = XRStatusIllegalSequence;
constexpr XRUtf8 kJunk = 0xA5;
constexpr XRMemSize kUntouched = 0xA5A5A5A5A5A5A5A5ull;

using Converted = std::tuple<XRStatus, XRMemSize, Bytes>; // status, usedL, the output it covers

// One driver with a reader and a writer, run on an input in a block of its exact size
// into destL bytes of junk followed by guard bytes that must survive.
struct Conversion {
    bool toUtf32; // ConvertToUTF32, else ConvertFromUTF32
    XRCvtReader reader;
    XRCvtWriter writer;
    Converted operator()(const Bytes& in, XRMemSize destL) const {
        std::unique_ptr<XRUtf8[]> src(new XRUtf8[in.size()]);
        std::copy(in.begin(), in.end(), src.get());
        Bytes dest(destL + 8, kJunk);
        XRMemSize used = kUntouched;
        const XRStatus rc =
            toUtf32
                ? ConvertToUTF32(src.get(), in.size(), dest.data(), destL, &used, reader, writer)
                : ConvertFromUTF32(src.get(), in.size(), dest.data(), destL, &used, writer, reader);
        EXPECT_EQ(std::count(dest.begin() + destL, dest.end(), kJunk), 8) << "guard bytes";
        dest.resize(std::min(used, destL));
        return {rc, used, dest};
    }
};

const Conversion kUtf8To32{true, UTF8_UTF32, COPY_UTF32}, k32ToUtf8{false, COPY_UTF32b, UTF32_UTF8};

TEST(Drivers, StoppingRules) {
    // A reader that fails on every character it reads, as a foreign converter might.
    const XRCvtReader failing = [](XRUtf8*, XRMemSize, XRUtf32* c, XRMemSize* u) {
        *c = 0x41, *u = 4;
        return kIllegal;
    };
    const Conversion to8 = k32ToUtf8, toUcs2Le{false, COPY_UTF32b, UTF32_UTF16},
                     toUcs2Be{false, COPY_UTF32b, UTF32_UTF16_SWAP},
                     failTo{true, failing, COPY_UTF32}, failFrom{false, failing, UTF32_UTF8};
    const Bytes ab = {0, 0, 0, 0x41, 0, 0, 0, 0x42}, smiley = {0, 1, 0xF6, 0, 0, 0, 0, 0x41},
                unchecked = {0, 0, 0xD8, 0, 0, 0x1F, 0xFF, 0xFF};
    const std::tuple<Conversion, Bytes, XRMemSize, Converted> cases[] = {
        {kUtf8To32, {0x41, 0xE2, 0x82, 0xAC}, 8, {kOk, 8, {0, 0, 0, 0x41, 0, 0, 0x20, 0xAC}}},
        {kUtf8To32, {0x41, 0x80, 0x42}, 12, {kIllegal, 4, {0, 0, 0, 0x41}}},
        {kUtf8To32, {0xFF, 0x41}, 8, {kIllegal, 0, {}}},
        {kUtf8To32, {0x41, 0xE2, 0x82}, 12, {XRStatusTruncatedSequence, 4, {0, 0, 0, 0x41}}},
        {kUtf8To32, {0x41, 0xE2, 0x82}, 7, {kOk, 4, {0, 0, 0, 0x41}}}, // full before the cut
        {kUtf8To32, {}, 8, {kOk, 0, {}}},
        {to8, {0, 0, 0x20, 0xAC}, 2, {kSmall, 0, {}}},
        {to8, {0, 0, 0, 0x41, 0, 1, 0xF6, 0}, 4, {kSmall, 1, {0x41}}}, // a character half fits
        {to8, {0, 0, 0, 0x41, 0, 0}, 8, {kOk, 1, {0x41}}},             // the last 2 bytes ignored
        {to8, {0, 0, 0}, 8, {kOk, 0, {}}},
        {to8, unchecked, 7, {kOk, 7, {0xED, 0xA0, 0x80, 0xF7, 0xBF, 0xBF, 0xBF}}},
        {toUcs2Le, smiley, 4, {kOk, 4, {0, 0xF6, 0x41, 0}}}, // the low 16 bits
        {toUcs2Be, smiley, 4, {kOk, 4, {0xF6, 0, 0, 0x41}}},
        {failFrom, {0, 0, 0, 0}, 4, {kOk, 1, {0x41}}}, // the reader's status is not read
        {failFrom, ab, 1, {kOk, 1, {0x41}}},           // stops when the output is full
        // No converter may be called: the reader would fail, or write 41.
        {failTo, {}, 8, {kOk, 0, {}}},
        {failTo, ab, 3, {kOk, 0, {}}},
        {failFrom, {0, 0, 0}, 8, {kOk, 0, {}}},
        {failFrom, ab, 0, {kOk, 0, {}}},
    };
    for (const auto& [convert, in, destL, want] : cases)
        EXPECT_EQ(convert(in, destL), want) << ::testing::PrintToString(in) << " into " << destL;
    XRUtf8 in[1] = {0x41}, out[4];
    EXPECT_EQ(ConvertToUTF32(in, 1, out, 4, nullptr, UTF8_UTF32, COPY_UTF32), kOk);
    EXPECT_EQ(out[3], 0x41);
}

TEST(CopyUtf, CopiesWhatFitsAndAlwaysReportsIt) {
    const Bytes src = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    for (XRMemSize srcL : {0u, 4u, 10u})
        for (XRMemSize destL : {0u, 4u, 10u}) {
            const XRMemSize n = std::min(srcL, destL);
            Bytes in(src.begin(), src.begin() + srcL), dest(destL + 4, kJunk), want(dest);
            std::copy_n(src.begin(), n, want.begin());
            XRMemSize cvtL = kUntouched;
            const XRStatus rc = COPY_UTF(in.data(), srcL, dest.data(), destL, &cvtL);
            EXPECT_EQ(std::tuple(rc, cvtL, dest), std::tuple(srcL > destL ? kSmall : kOk, n, want))
                << srcL << ' ' << destL;
        }
}

// What the UTF-8 sweeps of the converter tests do not reach: lengths outside 1..4, and a
// length the lead does not announce, for which only the lead is checked.
TEST(IsLegalUTF8, LengthsTheSweepsDoNotReach) {
    const std::tuple<Bytes, XRMemSize, XRBoolean> cases[] = {
        {{0x41}, 0, 0}, {{0xF8, 0x80, 0x80, 0x80, 0x80}, 5, 0}, {{0xC3}, 1, 1}};
    for (auto [in, len, legal] : cases) {
        XRMemSize move = kUntouched;
        EXPECT_EQ(isLegalUTF8(in.data(), len, &move), legal) << ::testing::PrintToString(in);
        EXPECT_EQ(move, len);
    }
}

TEST(Utf8Length, OfXRChars) {
    XRChar four[] = {0x41, 0xE9, 0x20AC, 0x1F600};
    EXPECT_EQ(GET_UTF8_LEN_FROM_XRCHAR(four, 4), 10u);
    EXPECT_EQ(GET_UTF8_LEN_FROM_XRCHAR(four, 0), 0u);
    EXPECT_EQ(GET_UTF8_LEN_FROM_XRCHAR(four, -3), 0u);
    XRChar odd[] = {-1, INT32_MIN, INT32_MAX, 0x110000, 0xD800, 0x7FF, 0x800, 0xFFFF, 0x7F, 0x80};
    EXPECT_EQ(GET_UTF8_LEN_FROM_XRCHAR(odd, 10), 4u + 4 + 4 + 4 + 3 + 2 + 3 + 3 + 1 + 2);
}

} // namespace
