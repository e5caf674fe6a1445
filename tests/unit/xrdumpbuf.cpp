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

// The statusToJnl call of a line of n bytes at p.
Call expectedLine(XRJnlh jnl, const Layout& l, const std::uint8_t* p, std::size_t n) {
    return {
        "statusToJnl", xrtest::words(jnl, XRSeverityNone, static_cast<XRStatus>(l.base + n - 1)),
        xrtest::dumpLineValues(l.prefix ? gPrefix : nullptr, l.owner ? &gOwner : nullptr, p, n)};
}

std::vector<Call> expectedForward(XRJnlh jnl, const Layout& l, const std::uint8_t* p,
                                  std::size_t len) {
    std::vector<Call> calls;
    for (std::size_t off = 0; off < len; off += 16)
        calls.push_back(expectedLine(jnl, l, p + off, std::min<std::size_t>(16, len - off)));
    return calls;
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

// Up to 70 bytes, and 289 bytes that hold every byte value (7 is prime to 256).
TEST(Dump, EveryLayoutAndLengthSendsTheModelLinesInOrder) {
    auto bytes = everyByte();
    for (const Layout& l : kLayouts)
        for (std::size_t len = 0; len <= 289; len += len < 70 ? 1 : 219)
            for (bool reversed : {false, true}) {
                Recorder r;
                RecordingJournal j(r);
                ASSERT_EQ(dump(reversed, j.handle(), l, bytes.data() + 1, len), 0);
                auto want = expectedForward(j.handle(), l, bytes.data() + 1, len);
                if (reversed) std::reverse(want.begin(), want.end());
                ASSERT_EQ(r.calls, want) << l.name << " len " << len << " " << reversed;
            }
}

// Forward stops at the first failing line; reversed, a failing partial line (sent first)
// matters only without full lines, and the last full line sent decides.
TEST(Dump, FailingLinesStopTheDumpAndDecideItsStatus) {
    auto bytes = everyByte();
    const XRStatus f = static_cast<XRStatus>(0x803FC002u);
    const struct {
        bool reversed;
        std::size_t len;
        std::vector<XRStatus> results; // per line, in sending order
        XRStatus want;
        std::size_t lines;
    } cases[] = {
        {false, 40, {0, f}, f, 2},  {false, 40, {0, 0, -5}, -5, 3}, {true, 40, {-7, 0, 0}, 0, 3},
        {true, 40, {0, -9}, -9, 2}, {true, 40, {-7, 0, -3}, -3, 3}, {true, 5, {-7}, -7, 1},
        {true, 16, {-4}, -4, 1},    {true, 32, {-4, 0}, -4, 1},
    };
    for (const Layout& l : kLayouts)
        for (const auto& c : cases) {
            Recorder r;
            RecordingJournal j(r);
            for (XRStatus s : c.results)
                r.script("statusToJnl", word(s));
            EXPECT_EQ(dump(c.reversed, j.handle(), l, bytes.data(), c.len), c.want) << c.len;
            EXPECT_EQ(r.calls.size(), c.lines) << l.name << " " << c.len << " " << c.reversed;
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
