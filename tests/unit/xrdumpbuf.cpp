// Journal dumps, forward and reversed, against an independent model of the lines.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "recording.h"
#include "xr/xrdump.h"

namespace {

using xrtest::Call;
using xrtest::Recorder;
using xrtest::RecordingJournal;
using xrtest::Word;
using xrtest::word;

struct Layout {
    const char* name;
    bool prefix, owner;
    std::uint32_t base;
};
constexpr Layout kLayouts[] = {
    {"neither", false, false, 0x807FC200u},
    {"prefix+owner", true, true, 0x807FC210u},
    {"owner", false, true, 0x807FC220u},
    {"prefix", true, false, 0x807FC230u},
};

XRChar gPrefix[] = {'p', 'r', 'e', 0};
int gOwner;

// What one line must carry: the statusToJnl call of a line of n bytes at p.
Call expectedLine(XRJnlh jnl, const Layout& l, const std::uint8_t* p, std::size_t n) {
    Call c{"statusToJnl",
           xrtest::words(jnl, XRSeverityNone, static_cast<XRStatus>(l.base + n - 1)),
           {}};
    if (l.prefix) c.values.push_back(word(gPrefix));
    if (l.owner) c.values.push_back(word(&gOwner));
    c.values.push_back(word(p));
    for (std::size_t i = 0; i < n; ++i)
        c.values.push_back(p[i]);
    for (std::size_t i = 0; i < n; ++i)
        c.values.push_back(p[i] < 0x20 || p[i] > 0x7E ? Word{'.'} : Word{p[i]});
    return c;
}

std::vector<Call> expectedForward(XRJnlh jnl, const Layout& l, const std::uint8_t* p,
                                  std::size_t len) {
    std::vector<Call> calls;
    for (std::size_t off = 0; off < len; off += 16)
        calls.push_back(expectedLine(jnl, l, p + off, std::min<std::size_t>(16, len - off)));
    return calls;
}

void expectCalls(const std::vector<Call>& got, const std::vector<Call>& want) {
    ASSERT_EQ(got.size(), want.size());
    for (std::size_t i = 0; i < got.size(); ++i) {
        EXPECT_EQ(got[i].op, want[i].op) << "line " << i;
        EXPECT_EQ(got[i].args, want[i].args) << "line " << i;
        EXPECT_EQ(got[i].values, want[i].values) << "line " << i;
    }
}

XRStatus dump(bool reversed, XRJnlh jnl, const Layout& l, std::uint8_t* p, std::size_t len) {
    auto* fn = reversed ? &dumpBufferReversed : &dumpBuffer;
    return fn(jnl, l.prefix ? gPrefix : nullptr, l.owner ? &gOwner : nullptr, p, len);
}

std::vector<std::uint8_t> everyByte() {
    std::vector<std::uint8_t> bytes(256 + 53);
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<std::uint8_t>(i * 7 + 3);
    return bytes;
}

TEST(Dump, EveryLayoutAndLengthSendsTheModelLinesInOrder) {
    auto bytes = everyByte();
    for (const Layout& l : kLayouts) {
        for (std::size_t len = 0; len <= 70; ++len) {
            for (bool reversed : {false, true}) {
                Recorder r;
                RecordingJournal j(r);
                ASSERT_EQ(dump(reversed, j.handle(), l, bytes.data() + 1, len), 0);
                auto want = expectedForward(j.handle(), l, bytes.data() + 1, len);
                if (reversed) std::reverse(want.begin(), want.end());
                SCOPED_TRACE(testing::Message()
                             << l.name << " len " << len << (reversed ? " reversed" : ""));
                expectCalls(r.calls, want);
            }
        }
    }
}

TEST(Dump, EveryByteValueRendersByTheTwoBounds) {
    std::vector<std::uint8_t> all(256);
    for (int i = 0; i < 256; ++i)
        all[i] = static_cast<std::uint8_t>(i);
    Recorder r;
    RecordingJournal j(r);
    ASSERT_EQ(dumpBuffer(j.handle(), nullptr, nullptr, all.data(), all.size()), 0);
    ASSERT_EQ(r.calls.size(), 16u);
    for (int line = 0; line < 16; ++line)
        for (int i = 0; i < 16; ++i) {
            const int b = line * 16 + i;
            EXPECT_EQ(r.calls[line].values[1 + 16 + i], Word(b >= 0x20 && b <= 0x7E ? b : '.'))
                << b;
        }
}

TEST(Dump, ForwardStopsAtTheFirstFailingLine) {
    auto bytes = everyByte();
    const XRStatus failure = static_cast<XRStatus>(0x803FC002u);
    for (const Layout& l : kLayouts) {
        Recorder r;
        RecordingJournal j(r);
        r.script("statusToJnl", 0);
        r.script("statusToJnl", word(failure));
        EXPECT_EQ(dump(false, j.handle(), l, bytes.data(), 40), failure);
        EXPECT_EQ(r.calls.size(), 2u) << "neither the third full line nor the partial line";
    }
    // The partial line's status is the dump's result.
    Recorder r;
    RecordingJournal j(r);
    r.script("statusToJnl", 0);
    r.script("statusToJnl", 0);
    r.script("statusToJnl", word(XRStatus{-5}));
    EXPECT_EQ(dumpBuffer(j.handle(), nullptr, nullptr, bytes.data(), 40), -5);
    EXPECT_EQ(r.calls.size(), 3u);
}

TEST(Dump, ReversedPartialLineFailureMattersOnlyWithoutFullLines) {
    auto bytes = everyByte();
    struct Case {
        std::size_t len;
        std::vector<XRStatus> results; // per line, in sending order
        XRStatus want;
        std::size_t lines;
    } cases[] = {
        {40, {-7, 0, 0}, 0, 3},   // partial fails, both full lines still go
        {40, {0, -9, 0}, -9, 2},  // the line at addr+16 fails: addr is not sent
        {40, {-7, 0, -3}, -3, 3}, // last full line decides
        {5, {-7}, -7, 1},         // no full line: the partial line's status
        {16, {-4}, -4, 1},        {32, {-4, 0}, -4, 1},
    };
    for (const Case& c : cases) {
        Recorder r;
        RecordingJournal j(r);
        for (XRStatus s : c.results)
            r.script("statusToJnl", word(s));
        EXPECT_EQ(dumpBufferReversed(j.handle(), nullptr, nullptr, bytes.data(), c.len), c.want)
            << c.len;
        EXPECT_EQ(r.calls.size(), c.lines) << c.len;
    }
}

TEST(Dump, OnlyTheNullTestsChooseTheLayout) {
    XRChar empty[] = {0};
    std::uint8_t byte = 'A';
    Recorder r;
    RecordingJournal j(r);
    dumpBuffer(j.handle(), empty, nullptr, &byte, 1);
    dumpBuffer(j.handle(), nullptr, &gOwner, &byte, 1);
    dumpBufferReversed(j.handle(), empty, &gOwner, &byte, 1);
    ASSERT_EQ(r.calls.size(), 3u);
    EXPECT_EQ(r.calls[0].args[2], word(static_cast<XRStatus>(0x807FC230u)));
    EXPECT_EQ(r.calls[1].args[2], word(static_cast<XRStatus>(0x807FC220u)));
    EXPECT_EQ(r.calls[2].args[2], word(static_cast<XRStatus>(0x807FC210u)));
    EXPECT_EQ(r.calls[0].values, xrtest::words(empty, &byte, 'A', 'A'));
}

} // namespace
