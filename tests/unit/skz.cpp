// In-place case mapping: which units go to the host's NLS extension, with which
// arguments, and which go through the tables (whose every entry skztbl.cpp sweeps).
#include <gtest/gtest.h>

#include <vector>

#include "internal/skztbl.h"
#include "recording.h"
#include "xr/xrcase.h"
#include "xr/xrentry.h"

namespace {

using Units = std::vector<XRChar>;
using xrtest::word;

struct CaseMapping : ::testing::Test {
    xrtest::Recorder rec;
    xrtest::RecordingHost host{rec};
    xrtest::RecordingNls nls{rec};
    void SetUp() override { xrextent(host.handle()); }
    void TearDown() override { xrextent(nullptr); }

    // Runs fn over units with a guard unit after them; the guard must survive.
    Units run(void (*fn)(XRChar*, XRStrSize), Units units) {
        units.push_back(0x5A5A5A5A);
        fn(units.data(), static_cast<XRStrSize>(units.size() - 1));
        EXPECT_EQ(units.back(), 0x5A5A5A5A);
        units.pop_back();
        return units;
    }
    // The recorded calls are exactly op on each of sent, as (extension, unit, 1).
    void expectCalls(const char* op, const Units& sent) {
        ASSERT_EQ(rec.calls.size(), sent.size());
        for (size_t i = 0; i < sent.size(); ++i) {
            EXPECT_EQ(rec.calls[i].op, op);
            EXPECT_EQ(rec.calls[i].args, xrtest::words(nls.handle(), sent[i], 1));
        }
        rec.calls.clear();
    }
};

TEST_F(CaseMapping, WithoutTheExtensionEverythingGoesThroughTheTables) {
    EXPECT_EQ(run(xrzstup, {'a', 0xFF, -5}), (Units{'A', 0x178, -5}));
    EXPECT_EQ(run(xrzstlo, {'Z', 0xC0, -5}), (Units{'z', 0xE0, -5}));
    EXPECT_TRUE(rec.calls.empty());
}

TEST_F(CaseMapping, NonAsciiUnitsGoToTheExtensionWithExactArguments) {
    host.rec.xrnls = nls.handle();
    rec.script("charDowncase", word(XRChar{0x1234}));
    rec.script("charDowncase", word(XRChar{-7}));
    rec.script("charDowncase", word(XRChar{0x7FFFFFFF}));
    // ASCII by the tables, whatever the host would say; the host's results stored unchecked.
    EXPECT_EQ(run(xrzstlo, {'A', 0xC0, 0x7F, 0x80, -1, 'z'}),
              (Units{'a', 0x1234, 0x7F, -7, 0x7FFFFFFF, 'z'}));
    expectCalls("charDowncase", {0xC0, 0x80, -1});
    rec.script("charUpcase", word(XRChar{0x2C00}));
    EXPECT_EQ(run(xrzstup, {'q', 0x2C30, '1'}), (Units{'Q', 0x2C00, '1'}));
    expectCalls("charUpcase", {0x2C30});
}

// The extension is looked up anew on every call: detached, the tables serve again.
TEST_F(CaseMapping, SingleCharacterWrappersTakeTheSamePath) {
    host.rec.xrnls = nls.handle();
    rec.script("charUpcase", word(XRChar{0x41}));
    rec.script("charDowncase", word(XRChar{0x42}));
    EXPECT_EQ(xrtolower('M'), 'm');
    EXPECT_EQ(xrtoupper('m'), 'M');
    EXPECT_EQ(xrtoupper(0x100), 0x41);
    expectCalls("charUpcase", {0x100});
    EXPECT_EQ(xrtolower(0x101), 0x42);
    expectCalls("charDowncase", {0x101});
    host.rec.xrnls = nullptr;
    EXPECT_EQ(xrtolower(0xC0), 0xE0);
    EXPECT_TRUE(rec.calls.empty());
}

// Min and max with the extension attached, and every mapping with a length below 1.
TEST_F(CaseMapping, MinMaxAndEmptyLengthsNeverCallTheHost) {
    host.rec.xrnls = nls.handle();
    EXPECT_EQ(run(xrzstmin, {'k', 0xE0, 0x1E9E}), (Units{'K', 0xC0, 0xDF}));
    EXPECT_EQ(run(xrzstmax, {'K', 0xC0, 'i'}), (Units{0x212A, 0xE0, 0x131}));
    for (XRStrSize len : {XRStrSize{0}, XRStrSize{-1}, XRStrSize{INT64_MIN}})
        for (auto fn : {xrzstup, xrzstlo, xrzstmin, xrzstmax}) {
            XRChar s[2] = {'a', 0xC0};
            fn(s, len);
            EXPECT_EQ(Units(s, s + 2), (Units{'a', 0xC0}));
        }
    EXPECT_TRUE(rec.calls.empty());
}

} // namespace
