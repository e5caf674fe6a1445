// Locale and ICU forwarders: the exact entry, arguments in order with the added null,
// statuses bit for bit, and how the ICU service object is found.
#include <gtest/gtest.h>

#include <functional>

#include "recording.h"
#include "xr/xrentry.h"
#include "xr/xrlocale.h"

namespace {

using namespace xrtest;

struct Expect {
    const char* entry;
    std::function<XRStatus()> call;
    std::vector<Word> args; // as the entry must receive them, the locale first
};
// The entry must receive the forwarder's arguments unchanged (every value below is
// distinct within its row, so a swap shows), plus a null last where the row adds one.
#define ROW(entry, fn, ...)                                                                        \
    (Expect{entry, [&] { return fn(l, __VA_ARGS__); }, words(l, __VA_ARGS__)})
#define ROW_NULL(entry, fn, ...)                                                                   \
    (Expect{entry, [&] { return fn(l, __VA_ARGS__); }, words(l, __VA_ARGS__, nullptr)})

// Storage for an out-parameter: one place per type and index K.
template <class T, int K = 0> T* out() {
    static T v;
    return &v;
}

TEST(LocaleForwarders, EachCallsItsEntryWithTheArgumentsAndReturnsItsStatus) {
    Recorder r;
    RecordingLocale loc(r);
    const XRLocaleh l = loc.handle();
    std::uint8_t b[8];
    UTF8ByteLength n = 0;
    const double big = -1.25e300;
    const std::vector<Expect> table = {
        ROW_NULL("doubleFormatUWithExOpts", xrzsu8DoubleFormat, big, 3, 4, 5u, b, 8u, &n),
        ROW("intfastFormatU", xrzsu8IntfastFormat, INT32_MIN, -1, 0, ~0u, b, 8u, &n),
        ROW("intmaxFormatU", xrzsu8IntmaxFormat, INT64_MIN, 9, 2, 1u, b, 7u, &n),
        ROW("uintfastFormatU", xrzsu8UintfastFormat, UINT32_MAX, 1, 3, 0u, b, 6u, &n),
        ROW("uintmaxFormatU", xrzsu8UintmaxFormat, UINT64_MAX, 0, 1, 2u, b, 5u, &n),
        ROW("longFormatU", xrzsu8LongFormat, -7L, 2, 3, 4u, b, 1u, &n),
        ROW("ulongFormatU", xrzsu8ULongFormat, ~0UL, 2, 3, 4u, b, 5u, &n),
        ROW("intFormatU", xrzsu8IntFormat, -1, 2, 3, 4u, b, 5u, &n),
        ROW("uintFormatU", xrzsu8UIntFormat, 0x80000000u, 2, 3, 4u, b, 1u, &n),
        ROW("bufToIntfastU", xrzsu8ToIntfast, b, 8u, 1u, out<intfast_t>(), &n),
        ROW("bufToIntmaxU", xrzsu8ToIntmax, b, 7u, 2u, out<intmax_t>(), &n),
        ROW("bufToUintfastU", xrzsu8ToUintfast, b, 6u, 3u, out<uintfast_t>(), &n),
        ROW("bufToUintmaxU", xrzsu8ToUintmax, b, 5u, 4u, out<uintmax_t>(), &n),
        ROW("bufToLongU", xrzsu8ToLong, b, 4u, 5u, out<long>(), &n),
        ROW("bufToULongU", xrzsu8ToULong, b, 3u, 6u, out<unsigned long>(), &n),
        ROW("bufToIntU", xrzsu8ToInt, b, 2u, 7u, out<int>(), &n),
        ROW("bufToUIntU", xrzsu8ToUInt, b, 1u, 8u, out<unsigned>(), &n),
        ROW_NULL("bufToDoubleU", xrzsu8ToDouble, b, 8u, out<double>(), &n),
        ROW("dateFormatU", xrzsu8DateFormat, 12u, 31u, 1999u, 0x10u, b, 8u, &n),
        ROW("datetimeFormatU", xrzsu8DatetimeFormat, -0.5, 1u, b, 8u, &n),
        ROW("timeFormatU", xrzsu8TimeFormat, 86399.0, 2u, b, 7u, &n),
        ROW("bufToDatetimeU", xrzsu8ToDatetime, b, 6u, 3u, out<double>(), &n),
        ROW("bufToDateU", xrzsu8ToDate, b, 5u, 4u, out<uint32_t, 0>(), out<uint32_t, 1>(),
            out<uint32_t, 2>(), &n),
        ROW("bufToTimeU", xrzsu8ToTime, b, 4u, 5u, out<double>(), &n),
    };
    ASSERT_EQ(table.size(), 24u);
    for (XRStatus st : {XRStatus{0}, XRStatus{-1}, static_cast<XRStatus>(0x803FE807u), INT32_MIN}) {
        for (const Expect& e : table) {
            r.calls.clear();
            r.script(e.entry, word(st));
            EXPECT_EQ(e.call(), st) << e.entry;
            ASSERT_EQ(r.calls.size(), 1u) << e.entry;
            EXPECT_EQ(r.calls[0].op, e.entry);
            EXPECT_EQ(r.calls[0].args, e.args) << e.entry;
        }
    }
}

// The saved host with an NLS extension, and an ICU object that getIcu may hand out.
struct Icu : ::testing::Test {
    Recorder r;
    RecordingHost host{r};
    RecordingNls nls{r};
    RecordingIcu icu{r};
    const std::uint8_t a[3] = {'a', 0xCC, 0x81}, b[2] = {0xC3, 0xA1};
    std::uint8_t out[8] = {9, 9, 9, 9, 9, 9, 9, 9};
    UTF8ByteLength cvtL = 77;
    void SetUp() override { host.rec.xrnls = nls.handle(), xrextent(host.handle()); }
    void TearDown() override { xrextent(nullptr); }
};

TEST_F(Icu, TheCachedObjectServesWithoutGetIcu) {
    nls.rec.icu = icu.handle();
    r.script("normalize", word(XRStatus(-5)));
    EXPECT_EQ(xrzsu8ICUNormalize(a, 3, XRNLS_UNORM_NFC, -2, out, 8, &cvtL), -5);
    EXPECT_EQ(r.calls[0].args, words(icu.handle(), a, UTF8ByteLength{3}, XRNLS_UNORM_NFC,
                                     int32_t{-2}, out, UTF8ByteLength{8}, &cvtL));
    // Equal needs a zero status and a zero result; Compare returns the stored result.
    const std::tuple<XRStatus, int32_t, XRBoolean> cases[] = {
        {0, 0, 1}, {0, 1, 0}, {0, -3, 0}, {7, 0, 0}, {INT32_MIN, 0, 0}};
    for (const auto& [st, result, equal] : cases) {
        XRStatus stat[2] = {12345, 12345};
        for (int k = 0; k < 2; ++k)
            r.script("compare", word(st)), r.script("compare.result", word(result));
        const XRBoolean eq = xrzsu8ICUNormEqual(a, 3, b, 2, -1, &stat[0]);
        const int order = xrzsu8ICUNormCompare(a, 3, b, 2, -1, &stat[1]);
        EXPECT_EQ(std::tuple(eq, order, stat[0], stat[1]), std::tuple(equal, result, st, st));
    }
    const auto compares = r.named("compare");
    ASSERT_EQ(compares.size(), 10u);
    EXPECT_EQ(compares[9].args, words(icu.handle(), a, UTF8ByteLength{3}, b, UTF8ByteLength{2},
                                      0xFFFFFFFFu, compares[9].args[6]))
        << "opts go as unsigned 32-bit";
    EXPECT_TRUE(r.named("getIcu").empty());
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
    EXPECT_EQ(std::tuple(asked[0].args[0], asked[0].args[2], r.named("normalize").size(),
                         r.named("compare").size()),
              std::tuple(word(nls.handle()), Word{0}, 1u, 2u));
}

TEST_F(Icu, AFailingGetIcuOrNoNlsExtensionGivesFailedAndTouchesNothing) {
    for (XRStatus st : {XRStatus{1}, XRStatus{-1}, XRStatusFailed, XRStatus{0}}) {
        if (st != 0) {
            for (int k = 0; k < 3; ++k)
                r.script("getIcu", word(st));
        } else {
            host.rec.xrnls = nullptr; // and then no saved handle at all
        }
        XRStatus stat[2] = {0, 0};
        const XRStatus rc = xrzsu8ICUNormalize(a, 3, XRNLS_UNORM_NFC, 0, out, 8, &cvtL);
        const int order = xrzsu8ICUNormCompare(a, 3, a, 3, 0, &stat[0]);
        if (st == 0) xrextent(nullptr);
        const XRBoolean eq = xrzsu8ICUNormEqual(a, 3, a, 3, 0, &stat[1]);
        EXPECT_EQ(std::tuple(rc, cvtL, out[0], order, stat[0], eq, stat[1]),
                  std::tuple(-2143305726, 77u, 9, 0, XRStatusFailed, 0, XRStatusFailed));
    }
    EXPECT_TRUE(r.named("normalize").empty());
    EXPECT_TRUE(r.named("compare").empty());
    EXPECT_EQ(r.named("getIcu").size(), 9u);
}

} // namespace
