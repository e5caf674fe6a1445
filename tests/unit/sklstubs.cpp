// Journal forwarders: the journal sees exactly the caller's arguments and values, and
// its result comes back bit for bit.
#include <gtest/gtest.h>

#include "recording.h"
#include "xr/xrjournal.h"

namespace {

using xrtest::Recorder;
using xrtest::RecordingJournal;
using xrtest::word;
using xrtest::words;

const XRStatus kStatuses[] = {0, 1, -1, static_cast<XRStatus>(0x803FC002u), INT32_MIN, INT32_MAX};

TEST(JournalForwarders, PassArgumentsValuesAndStatusUnchanged) {
    const XRChar fmt[] = {'%', 'd', '%', 's'};
    XRChar msg[8];
    XRStrSize cnvL = 0;
    for (XRStatus st : kStatuses) {
        Recorder r;
        RecordingJournal j(r);
        r.shape = "ipd";
        const XRJnlh jh = j.handle();
        for (const char* op : {"messageToBuf", "messageToJnl", "statusToBuf", "statusToJnl"})
            r.script(op, word(st));
        EXPECT_EQ(xrlMessageToBuf(jh, fmt, 4, msg, 8, &cnvL, 42, &cnvL, 2.5), st);
        EXPECT_EQ(xrlMessageToJnl(jh, XRSeverityWarning, fmt, 4, -42, fmt, -0.0), st);
        EXPECT_EQ(xrlStatusToBuf(jh, st, msg, 8, &cnvL, 7, nullptr, 1e300), st);
        EXPECT_EQ(xrlStatusToJnl(jh, XRSeverityError, st, INT32_MIN, msg, 3.0), st);
        ASSERT_EQ(r.calls.size(), 4u);
        EXPECT_EQ(r.calls[0].args, words(jh, fmt, XRStrSize{4}, msg, XRStrSize{8}, &cnvL));
        EXPECT_EQ(r.calls[0].values, words(42, &cnvL, 2.5));
        EXPECT_EQ(r.calls[1].args, words(jh, XRSeverityWarning, fmt, XRStrSize{4}));
        EXPECT_EQ(r.calls[1].values, words(-42, fmt, -0.0));
        EXPECT_EQ(r.calls[2].args, words(jh, st, msg, XRStrSize{8}, &cnvL));
        EXPECT_EQ(r.calls[2].values, words(7, nullptr, 1e300));
        EXPECT_EQ(r.calls[3].args, words(jh, XRSeverityError, st));
        EXPECT_EQ(r.calls[3].values, words(INT32_MIN, msg, 3.0));
    }
}

TEST(JournalForwarders, NoValuesStillCallTheJournalAndGetLocaleReturnsItsAnswer) {
    Recorder r;
    RecordingJournal j(r);
    const XRChar fmt[] = {'x'};
    r.script("getLocale", 0x1230);
    EXPECT_EQ(xrlMessageToJnl(j.handle(), XRSeverityNote, fmt, 1), 0);
    EXPECT_EQ(xrlStatusToJnl(j.handle(), XRSeverityNone, 5), 0);
    EXPECT_EQ(xrlGetLocale(j.handle()), reinterpret_cast<XRLocaleh>(0x1230));
    EXPECT_EQ(xrlGetLocale(j.handle()), nullptr);
    ASSERT_EQ(r.calls.size(), 4u);
    EXPECT_TRUE(r.calls[0].values.empty());
    EXPECT_EQ(r.calls[3].args, words(j.handle()));
}

} // namespace
