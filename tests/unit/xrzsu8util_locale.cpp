// Locale and ICU forwarders: the exact entry, arguments in order with the added null,
// statuses bit for bit, and how the ICU service object is found.
#include <gtest/gtest.h>

#include <bit>
#include <functional>

#include "recording.h"
#include "xr/xrentry.h"
#include "xr/xrlocale.h"

namespace {

using xrtest::Recorder;
using xrtest::RecordingHost;
using xrtest::RecordingIcu;
using xrtest::RecordingLocale;
using xrtest::RecordingNls;
using xrtest::Word;
using xrtest::word;
using xrtest::words;

struct Expect {
    const char* entry;
    std::function<XRStatus()> call;
    std::vector<Word> args; // after the locale
};

TEST(LocaleForwarders, EachCallsItsEntryWithTheArgumentsAndReturnsItsStatus) {
    Recorder r;
    RecordingLocale loc(r);
    const XRLocaleh l = loc.handle();
    std::uint8_t buf[8];
    UTF8ByteLength n = 0;
    intfast_t ift;
    intmax_t im;
    uintfast_t uif;
    uintmax_t uim;
    long lo;
    unsigned long ul;
    int i;
    unsigned u;
    double d;
    uint32_t m, dd, y;
    const double big = -1.25e300;
    const std::vector<Expect> table = {
        {"doubleFormatUWithExOpts", [&] { return xrzsu8DoubleFormat(l, big, 3, 4, 5, buf, 8, &n); },
         words(big, 3, 4, 5u, buf, UTF8ByteLength{8}, &n, nullptr)},
        {"intfastFormatU", [&] { return xrzsu8IntfastFormat(l, INT32_MIN, -1, 0, ~0u, buf, 8, &n); },
         words(INT32_MIN, -1, 0, ~0u, buf, UTF8ByteLength{8}, &n)},
        {"intmaxFormatU", [&] { return xrzsu8IntmaxFormat(l, INT64_MIN, 9, 2, 1, buf, 7, &n); },
         words(INT64_MIN, 9, 2, 1u, buf, UTF8ByteLength{7}, &n)},
        {"uintfastFormatU", [&] { return xrzsu8UintfastFormat(l, UINT32_MAX, 1, 1, 0, buf, 6, &n); },
         words(UINT32_MAX, 1, 1, 0u, buf, UTF8ByteLength{6}, &n)},
        {"uintmaxFormatU", [&] { return xrzsu8UintmaxFormat(l, UINT64_MAX, 0, 0, 2, buf, 5, &n); },
         words(UINT64_MAX, 0, 0, 2u, buf, UTF8ByteLength{5}, &n)},
        {"longFormatU", [&] { return xrzsu8LongFormat(l, -7L, 2, 3, 4, buf, 4, &n); },
         words(-7L, 2, 3, 4u, buf, UTF8ByteLength{4}, &n)},
        {"ulongFormatU", [&] { return xrzsu8ULongFormat(l, ~0UL, 2, 3, 4, buf, 3, &n); },
         words(~0UL, 2, 3, 4u, buf, UTF8ByteLength{3}, &n)},
        {"intFormatU", [&] { return xrzsu8IntFormat(l, -1, 2, 3, 4, buf, 2, &n); },
         words(-1, 2, 3, 4u, buf, UTF8ByteLength{2}, &n)},
        {"uintFormatU", [&] { return xrzsu8UIntFormat(l, 0x80000000u, 2, 3, 4, buf, 1, &n); },
         words(0x80000000u, 2, 3, 4u, buf, UTF8ByteLength{1}, &n)},
        {"bufToIntfastU", [&] { return xrzsu8ToIntfast(l, buf, 8, 1, &ift, &n); },
         words(buf, UTF8ByteLength{8}, 1u, &ift, &n)},
        {"bufToIntmaxU", [&] { return xrzsu8ToIntmax(l, buf, 7, 2, &im, &n); },
         words(buf, UTF8ByteLength{7}, 2u, &im, &n)},
        {"bufToUintfastU", [&] { return xrzsu8ToUintfast(l, buf, 6, 3, &uif, &n); },
         words(buf, UTF8ByteLength{6}, 3u, &uif, &n)},
        {"bufToUintmaxU", [&] { return xrzsu8ToUintmax(l, buf, 5, 4, &uim, &n); },
         words(buf, UTF8ByteLength{5}, 4u, &uim, &n)},
        {"bufToLongU", [&] { return xrzsu8ToLong(l, buf, 4, 5, &lo, &n); },
         words(buf, UTF8ByteLength{4}, 5u, &lo, &n)},
        {"bufToULongU", [&] { return xrzsu8ToULong(l, buf, 3, 6, &ul, &n); },
         words(buf, UTF8ByteLength{3}, 6u, &ul, &n)},
        {"bufToIntU", [&] { return xrzsu8ToInt(l, buf, 2, 7, &i, &n); },
         words(buf, UTF8ByteLength{2}, 7u, &i, &n)},
        {"bufToUIntU", [&] { return xrzsu8ToUInt(l, buf, 1, 8, &u, &n); },
         words(buf, UTF8ByteLength{1}, 8u, &u, &n)},
        {"bufToDoubleU", [&] { return xrzsu8ToDouble(l, buf, 8, &d, &n); },
         words(buf, UTF8ByteLength{8}, &d, &n, nullptr)},
        {"dateFormatU", [&] { return xrzsu8DateFormat(l, 12, 31, 1999, 0x10, buf, 8, &n); },
         words(12u, 31u, 1999u, 0x10u, buf, UTF8ByteLength{8}, &n)},
        {"datetimeFormatU", [&] { return xrzsu8DatetimeFormat(l, -0.5, 1, buf, 8, &n); },
         words(-0.5, 1u, buf, UTF8ByteLength{8}, &n)},
        {"timeFormatU", [&] { return xrzsu8TimeFormat(l, 86399.0, 2, buf, 7, &n); },
         words(86399.0, 2u, buf, UTF8ByteLength{7}, &n)},
        {"bufToDatetimeU", [&] { return xrzsu8ToDatetime(l, buf, 6, 3, &d, &n); },
         words(buf, UTF8ByteLength{6}, 3u, &d, &n)},
        {"bufToDateU", [&] { return xrzsu8ToDate(l, buf, 5, 4, &m, &dd, &y, &n); },
         words(buf, UTF8ByteLength{5}, 4u, &m, &dd, &y, &n)},
        {"bufToTimeU", [&] { return xrzsu8ToTime(l, buf, 4, 5, &d, &n); },
         words(buf, UTF8ByteLength{4}, 5u, &d, &n)},
    };
    ASSERT_EQ(table.size(), 24u);
    for (XRStatus st : {XRStatus{0}, XRStatus{-1}, static_cast<XRStatus>(0x803FE807u), INT32_MIN}) {
        for (const Expect& e : table) {
            r.calls.clear();
            r.script(e.entry, word(st));
            EXPECT_EQ(e.call(), st) << e.entry;
            ASSERT_EQ(r.calls.size(), 1u) << e.entry;
            EXPECT_EQ(r.calls[0].op, e.entry);
            std::vector<Word> want = words(l);
            want.insert(want.end(), e.args.begin(), e.args.end());
            EXPECT_EQ(r.calls[0].args, want) << e.entry;
        }
    }
}

// The saved host with an NLS extension, and an ICU object that getIcu may hand out.
struct Icu : ::testing::Test {
    Recorder r;
    RecordingHost host{r};
    RecordingNls nls{r};
    RecordingIcu icu{r};
    const std::uint8_t a[3] = {'a', 0xCC, 0x81};
    const std::uint8_t b[2] = {0xC3, 0xA1};
    std::uint8_t out[8] = {9, 9, 9, 9, 9, 9, 9, 9};
    UTF8ByteLength cvtL = 77;
    void SetUp() override {
        host.rec.xrnls = nls.handle();
        xrextent(host.handle());
    }
    void TearDown() override { xrextent(nullptr); }
};

TEST_F(Icu, TheCachedObjectIsUsedAndGetIcuNeverAsked) {
    nls.rec.icu = icu.handle();
    r.script("normalize", word(XRStatus(-5)));
    EXPECT_EQ(xrzsu8ICUNormalize(a, 3, XRNLS_UNORM_NFC, -2, out, 8, &cvtL), -5);
    r.script("compare", 0);
    r.script("compare.result", word(int32_t{-3}));
    XRStatus stat = 1;
    EXPECT_EQ(xrzsu8ICUNormCompare(a, 3, b, 2, -1, &stat), -3);
    EXPECT_EQ(stat, 0);
    EXPECT_TRUE(r.named("getIcu").empty());
    ASSERT_EQ(r.calls.size(), 2u);
    EXPECT_EQ(r.calls[0].args, words(icu.handle(), a, UTF8ByteLength{3}, XRNLS_UNORM_NFC,
                                     int32_t{-2}, out, UTF8ByteLength{8}, &cvtL));
    EXPECT_EQ(r.calls[1].args[5], Word{0xFFFFFFFFu}) << "opts go as unsigned 32-bit";
    EXPECT_EQ(r.calls[1].args[0], word(icu.handle()));
    EXPECT_EQ(r.calls[1].args[1], word(a));
    EXPECT_EQ(r.calls[1].args[4], Word{2});
}

TEST_F(Icu, GetIcuFillsALocalThatIsNotStoredBack) {
    for (int k = 0; k < 3; ++k) {
        r.script("getIcu", 0);
        r.script("getIcu.object", word(icu.handle()));
    }
    EXPECT_EQ(xrzsu8ICUNormalize(a, 3, XRNLS_UNORM_NFD, 0, out, 8, &cvtL), 0);
    EXPECT_EQ(xrzsu8ICUNormCompare(a, 3, b, 2, 0, nullptr), 0);
    EXPECT_EQ(xrzsu8ICUNormEqual(a, 3, b, 2, 0, nullptr), 1);
    EXPECT_EQ(nls.rec.icu, nullptr);
    const auto asked = r.named("getIcu");
    ASSERT_EQ(asked.size(), 3u) << "asked afresh on every call";
    EXPECT_EQ(asked[0].args[0], word(nls.handle()));
    EXPECT_EQ(asked[0].args[2], Word{0});
}

TEST_F(Icu, AFailingGetIcuGivesFailedAndTouchesNothing) {
    for (XRStatus st : {XRStatus{1}, XRStatus{-1}, XRStatusFailed}) {
        r.script("getIcu", word(st));
        r.script("getIcu", word(st));
        r.script("getIcu", word(st));
        EXPECT_EQ(xrzsu8ICUNormalize(a, 3, XRNLS_UNORM_NFC, 0, out, 8, &cvtL), XRStatusFailed);
        EXPECT_EQ(cvtL, 77u);
        EXPECT_EQ(out[0], 9);
        XRStatus stat = 0;
        EXPECT_EQ(xrzsu8ICUNormCompare(a, 3, a, 3, 0, &stat), 0);
        EXPECT_EQ(stat, -2143305726);
        stat = 0;
        EXPECT_EQ(xrzsu8ICUNormEqual(a, 3, a, 3, 0, &stat), 0);
        EXPECT_EQ(stat, XRStatusFailed);
    }
    EXPECT_TRUE(r.named("normalize").empty());
    EXPECT_TRUE(r.named("compare").empty());
}

TEST_F(Icu, EqualNeedsAZeroStatusAndAZeroResult) {
    nls.rec.icu = icu.handle();
    struct Case {
        XRStatus st;
        int32_t result;
        XRBoolean equal;
    } cases[] = {{0, 0, 1}, {0, 1, 0}, {0, -1, 0}, {7, 0, 0}, {INT32_MIN, 0, 0}};
    for (const Case& c : cases) {
        r.script("compare", word(c.st));
        r.script("compare.result", word(c.result));
        XRStatus stat = 12345;
        EXPECT_EQ(xrzsu8ICUNormEqual(a, 3, b, 2, 4, &stat), c.equal);
        EXPECT_EQ(stat, c.st);
        r.script("compare", word(c.st));
        r.script("compare.result", word(c.result));
        EXPECT_EQ(xrzsu8ICUNormCompare(a, 3, b, 2, 4, &stat), c.result);
        EXPECT_EQ(stat, c.st);
    }
}

TEST_F(Icu, NoHandleOrNoNlsExtensionIsAFailureNotACrash) {
    host.rec.xrnls = nullptr;
    EXPECT_EQ(xrzsu8ICUNormalize(a, 3, XRNLS_UNORM_NFC, 0, out, 8, &cvtL), XRStatusFailed);
    xrextent(nullptr);
    XRStatus stat = 0;
    EXPECT_EQ(xrzsu8ICUNormEqual(a, 3, a, 3, 0, &stat), 0);
    EXPECT_EQ(stat, XRStatusFailed);
    EXPECT_TRUE(r.calls.empty());
}

} // namespace
