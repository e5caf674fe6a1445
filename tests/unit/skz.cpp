// In-place case mapping: which units go to the host's NLS extension, with which
// arguments, and which go through the tables.
#include <gtest/gtest.h>

#include <vector>

#include "internal/skztbl.h"
#include "recording.h"
#include "xr/xrcase.h"
#include "xr/xrentry.h"

namespace {

using xrtest::Recorder;
using xrtest::RecordingHost;
using xrtest::RecordingNls;
using xrtest::Word;
using xrtest::word;

constexpr XRChar kGuard = 0x5A5A5A5A;

struct Fixture : ::testing::Test {
    Recorder rec;
    RecordingHost host{rec};
    RecordingNls nls{rec};
    void SetUp() override { xrextent(host.handle()); }
    void TearDown() override { xrextent(nullptr); }
    void attachNls() { host.rec.xrnls = nls.handle(); }

    // Runs fn over units with a guard unit after them; the guard must survive.
    std::vector<XRChar> run(void (*fn)(XRChar*, XRStrSize), std::vector<XRChar> units) {
        const size_t n = units.size();
        units.push_back(kGuard);
        fn(units.data(), static_cast<XRStrSize>(n));
        EXPECT_EQ(units.back(), kGuard);
        units.pop_back();
        return units;
    }
};

using CaseMapping = Fixture;

TEST_F(CaseMapping, WithoutTheExtensionEverythingGoesThroughTheTables) {
    const std::vector<XRChar> in = {'a', 'Z', 0xFF, 0x17F, 0x1F78, 0xDF, 0x131, 0x10428, -5};
    EXPECT_EQ(run(xrzstup, in),
              (std::vector<XRChar>{'A', 'Z', 0x178, 0x53, 0x1FF8, 0xDF, 0x131, 0x10428, -5}));
    EXPECT_EQ(run(xrzstlo, in),
              (std::vector<XRChar>{'a', 'z', 0xFF, 0x17F, 0x1F78, 0xDF, 0x131, 0x10428, -5}));
    EXPECT_TRUE(rec.calls.empty());
}

TEST_F(CaseMapping, NoSavedHandleMeansTheTables) {
    xrextent(nullptr);
    EXPECT_EQ(run(xrzstlo, {0xC0, 'Q'}), (std::vector<XRChar>{0xE0, 'q'}));
    EXPECT_EQ(xrtoupper(0xE0), 0xC0);
}

TEST_F(CaseMapping, NonAsciiUnitsGoToTheExtensionWithExactArguments) {
    attachNls();
    rec.script("charDowncase", word(XRChar{0x1234}));
    rec.script("charDowncase", word(XRChar{-7}));
    rec.script("charDowncase", word(XRChar{0x7FFFFFFF}));
    const auto out = run(xrzstlo, {'A', 0xC0, 0x7F, 0x80, -1, 'z'});
    // ASCII by the tables, whatever the host would say; the host's results stored unchecked.
    EXPECT_EQ(out, (std::vector<XRChar>{'a', 0x1234, 0x7F, -7, 0x7FFFFFFF, 'z'}));
    ASSERT_EQ(rec.calls.size(), 3u);
    const XRChar sent[] = {0xC0, 0x80, -1};
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(rec.calls[i].op, "charDowncase");
        EXPECT_EQ(rec.calls[i].args,
                  (std::vector<Word>{word(nls.handle()), word(sent[i]), word(1)}));
    }
}

TEST_F(CaseMapping, UpperCasingUsesCharUpcase) {
    attachNls();
    rec.script("charUpcase", word(XRChar{0x2C00}));
    EXPECT_EQ(run(xrzstup, {'q', 0x2C30, '1'}), (std::vector<XRChar>{'Q', 0x2C00, '1'}));
    ASSERT_EQ(rec.calls.size(), 1u);
    EXPECT_EQ(rec.calls[0].op, "charUpcase");
    EXPECT_EQ(rec.calls[0].args,
              (std::vector<Word>{word(nls.handle()), word(XRChar{0x2C30}), word(1)}));
}

TEST_F(CaseMapping, SingleCharacterWrappersTakeTheSamePath) {
    attachNls();
    rec.script("charUpcase", word(XRChar{0x41}));
    rec.script("charDowncase", word(XRChar{0x42}));
    EXPECT_EQ(xrtoupper(0x100), 0x41);
    EXPECT_EQ(xrtolower(0x101), 0x42);
    EXPECT_EQ(xrtolower('M'), 'm');
    EXPECT_EQ(xrtoupper('m'), 'M');
    ASSERT_EQ(rec.calls.size(), 2u);
    EXPECT_EQ(rec.calls[0].args[1], word(XRChar{0x100}));
    EXPECT_EQ(rec.calls[1].args[1], word(XRChar{0x101}));
}

TEST_F(CaseMapping, TheExtensionIsLookedUpAnewOnEveryCall) {
    attachNls();
    rec.script("charDowncase", word(XRChar{0x99}));
    EXPECT_EQ(xrtolower(0xC0), 0x99);
    host.rec.xrnls = nullptr;
    EXPECT_EQ(xrtolower(0xC0), 0xE0);
    EXPECT_EQ(rec.calls.size(), 1u);
}

TEST_F(CaseMapping, ZeroAndNegativeLengthsTouchNothing) {
    attachNls();
    for (XRStrSize len : {XRStrSize{0}, XRStrSize{-1}, XRStrSize{INT64_MIN}})
        for (auto fn : {xrzstup, xrzstlo, xrzstmin, xrzstmax}) {
            XRChar s[2] = {'a', 0xC0};
            fn(s, len);
            EXPECT_EQ(s[0], 'a');
            EXPECT_EQ(s[1], 0xC0);
        }
    EXPECT_TRUE(rec.calls.empty());
}

TEST_F(CaseMapping, MinAndMaxNeverCallTheHost) {
    attachNls();
    EXPECT_EQ(run(xrzstmin, {'k', 'e', 'l', 'v', 'i', 'n'}),
              (std::vector<XRChar>{'K', 'E', 'L', 'V', 'I', 'N'}));
    EXPECT_EQ(run(xrzstmax, {'K', 'E', 'L', 'V', 'I', 'N'}),
              (std::vector<XRChar>{0x212A, 'e', 'l', 'v', 0x131, 'n'}));
    EXPECT_EQ(run(xrzstmax, {0xDF, 0x1E9E}), (std::vector<XRChar>{0xDF, 0x1E9E}));
    EXPECT_EQ(run(xrzstmin, {0xDF, 0x1E9E}), (std::vector<XRChar>{0xDF, 0xDF}));
    EXPECT_TRUE(rec.calls.empty());
}

} // namespace
