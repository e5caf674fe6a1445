// Logger dumps: which lines are enabled, what each capture and event carries, and that
// a disabled line reads none of its bytes.
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "recording.h"
#include "xr/xrdump.h"

namespace {

using xrtest::Call;
using xrtest::Recorder;
using xrtest::RecordingLogger;
using xrtest::Word;
using xrtest::word;
using xrtest::words;

struct Layout {
    bool prefix, owner;
    std::uint32_t base;
};
constexpr Layout kLayouts[] = {
    {false, false, 0x807FC200u},
    {true, true, 0x807FC210u},
    {false, true, 0x807FC220u},
    {true, false, 0x807FC230u},
};

XRChar gPrefix[] = {'l', 'g', 0};
int gOwner;

XRChar* prefixOf(const Layout& l) { return l.prefix ? gPrefix : nullptr; }
XRMemPtr ownerOf(const Layout& l) { return l.owner ? &gOwner : nullptr; }

// The CaptureV call of a line of n bytes at p.
Call capture(Loggerp lg, const Layout& l, const std::uint8_t* p, std::size_t n) {
    Call c{"CaptureV", words(lg, static_cast<XRStatus>(l.base + n - 1)), {}};
    if (l.prefix) c.values.push_back(word(gPrefix));
    if (l.owner) c.values.push_back(word(&gOwner));
    c.values.push_back(word(p));
    for (std::size_t i = 0; i < n; ++i) c.values.push_back(p[i]);
    for (std::size_t i = 0; i < n; ++i)
        c.values.push_back(p[i] >= 0x20 && p[i] <= 0x7E ? p[i] : Word{'.'});
    return c;
}

std::vector<std::uint8_t> pattern(std::size_t n, unsigned seed) {
    std::vector<std::uint8_t> v(n);
    for (std::size_t i = 0; i < n; ++i) v[i] = static_cast<std::uint8_t>(i * 37 + seed * 101);
    return v;
}

TEST(LoggerDump, EveryLineIsCapturedAndRaisedWithTheTenFields) {
    for (const Layout& l : kLayouts) {
        for (std::size_t len : {0, 1, 15, 16, 17, 40, 64}) {
            for (bool force : {false, true}) {
                Recorder r;
                RecordingLogger lg(r, LL_Debug);
                const auto mem = pattern(len, static_cast<unsigned>(len + l.base));
                const XRStatus rc =
                    force ? dumpBufferLoggerForce(lg.handle(), prefixOf(l), ownerOf(l),
                                                  const_cast<std::uint8_t*>(mem.data()), len)
                          : dumpBufferLogger(lg.handle(), LL_Error, prefixOf(l), ownerOf(l),
                                             const_cast<std::uint8_t*>(mem.data()), len);
                EXPECT_EQ(rc, 0);
                std::size_t lines = 0;
                for (std::size_t off = 0; off < len; off += 16, ++lines) {
                    const std::size_t n = std::min<std::size_t>(16, len - off);
                    ASSERT_LT(2 * lines + 1, r.calls.size());
                    const Call want = capture(lg.handle(), l, mem.data() + off, n);
                    const Call& got = r.calls[2 * lines];
                    EXPECT_EQ(got.op, "CaptureV");
                    EXPECT_EQ(got.args, want.args);
                    EXPECT_EQ(got.values, want.values);
                    const Call& ev = r.calls[2 * lines + 1];
                    EXPECT_EQ(ev.op, "LogEvent");
                    const LoggerLevel lv = force ? LL_Uninitialized : LL_Error;
                    EXPECT_EQ(ev.args, words(lg.handle(), lv, 0u, nullptr, nullptr,
                                             ev.args[5], ev.args[6], U_L_UCS4_CE, nullptr,
                                             lg.captured));
                    EXPECT_EQ(lg.srcFiles[lines], "xrdumpbuf.cpp");
                    EXPECT_FALSE(lg.srcLines[lines].empty());
                    EXPECT_EQ(lg.srcLines[lines].find_first_not_of("0123456789"),
                              std::string::npos);
                }
                EXPECT_EQ(r.calls.size(), 2 * lines);
            }
        }
    }
}

TEST(LoggerDump, EachLineSizeHasItsOwnSourceLine) {
    Recorder r;
    RecordingLogger lg(r);
    const auto mem = pattern(16, 1);
    for (std::size_t n = 1; n <= 16; ++n)
        dumpBufferLoggerForce(lg.handle(), nullptr, nullptr, const_cast<std::uint8_t*>(mem.data()),
                              n);
    ASSERT_EQ(lg.srcLines.size(), 16u);
    EXPECT_EQ(std::set<std::string>(lg.srcLines.begin(), lg.srcLines.end()).size(), 16u);
    dumpBufferLogger(lg.handle(), LL_Fatal, gPrefix, nullptr,
                     const_cast<std::uint8_t*>(mem.data()), 16);
    EXPECT_EQ(lg.srcLines.back(), lg.srcLines[15]) << "the layout does not change the statement";
}

struct Gate {
    std::uint32_t level, ancestor; // raw 32-bit values, as a C host may store them
    LoggerLevel wanted;
    std::vector<Word> isEnabled; // scripted answers, one per line
    std::size_t raised;          // of the 3 lines of a 40-byte dump
    std::size_t asked;           // IsEnabled calls
};

TEST(LoggerDump, EnabledTestTakesLevelThenAncestorThenIsEnabled) {
    const std::uint32_t bad = 0xFFFFFFFFu; // -1 in a signed comparison
    const Gate gates[] = {
        {LL_Info, LL_Null, LL_Debug, {}, 0, 0},
        {LL_Info, LL_Null, LL_Info, {}, 3, 0},
        {LL_Info, LL_Fatal, LL_Warn, {}, 3, 0}, // the own level wins over the ancestor's
        {LL_Null, LL_Warn, LL_Error, {}, 3, 0},
        {LL_Null, LL_Warn, LL_Info, {1, 1, 1}, 0, 0},
        {LL_Null, LL_Null, LL_Trace, {1, 0, 1}, 2, 3},
        {LL_Null, LL_Null, LL_Trace, {0, 0, 0}, 0, 3},
        {LL_Null, LL_Null, LL_Trace, {2, 0, 0x80}, 2, 3}, // any nonzero XRBoolean
        {bad, LL_Null, LL_Fatal, {}, 0, 0},                // unsigned: 7 < 0xFFFFFFFF
        {LL_Null, bad, LL_Off, {}, 0, 0},
        {LL_Off, LL_Null, LL_Uninitialized, {}, 3, 0},
    };
    const auto mem = pattern(40, 3);
    for (const Gate& g : gates) {
        Recorder r;
        RecordingLogger lg(r);
        std::memcpy(&lg.rec.level, &g.level, sizeof g.level);
        std::memcpy(&lg.rec.ancestorlevel, &g.ancestor, sizeof g.ancestor);
        for (Word w : g.isEnabled) r.script("IsEnabled", w);
        EXPECT_EQ(dumpBufferLogger(lg.handle(), g.wanted, nullptr, &gOwner,
                                   const_cast<std::uint8_t*>(mem.data()), 40),
                  0);
        EXPECT_EQ(r.named("LogEvent").size(), g.raised) << g.level << "/" << g.ancestor;
        EXPECT_EQ(r.named("CaptureV").size(), g.raised);
        const auto asked = r.named("IsEnabled");
        ASSERT_EQ(asked.size(), g.asked);
        for (const Call& c : asked) EXPECT_EQ(c.args, words(lg.handle(), g.wanted));
        if (g.raised == 2) {
            EXPECT_EQ(r.named("CaptureV")[1].args[1], word(static_cast<XRStatus>(0x807FC227u)));
        }
    }
}

TEST(LoggerDump, ForceConsultsNoLevelAndRaisesAtUninitialized) {
    Recorder r;
    RecordingLogger lg(r, LL_Off, LL_Off);
    r.script("IsEnabled", 0);
    const auto mem = pattern(33, 4);
    EXPECT_EQ(dumpBufferLoggerForce(lg.handle(), gPrefix, &gOwner,
                                    const_cast<std::uint8_t*>(mem.data()), 33),
              0);
    const auto events = r.named("LogEvent");
    ASSERT_EQ(events.size(), 3u);
    for (const Call& e : events) EXPECT_EQ(e.args[1], Word{9});
    EXPECT_TRUE(r.named("IsEnabled").empty());
}

TEST(LoggerDump, ANullCaptureSkipsOnlyThatLine) {
    Recorder r;
    RecordingLogger lg(r, LL_Trace);
    const auto second = reinterpret_cast<XRZCapturedp>(std::uintptr_t{0x5550});
    r.script("CaptureV", word(lg.captured));
    r.script("CaptureV", 0);
    r.script("CaptureV", word(second));
    const auto mem = pattern(40, 5);
    EXPECT_EQ(dumpBufferLogger(lg.handle(), LL_Trace, nullptr, nullptr,
                               const_cast<std::uint8_t*>(mem.data()), 40),
              0);
    EXPECT_EQ(r.named("CaptureV").size(), 3u);
    const auto events = r.named("LogEvent");
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].args[9], word(lg.captured));
    EXPECT_EQ(events[1].args[9], word(second));
    EXPECT_EQ(r.calls.back().op, "LogEvent");
}

// Two pages, the second unreadable; the dump starts 16 bytes before it.
struct Fenced {
    long page = sysconf(_SC_PAGESIZE);
    std::uint8_t* base = static_cast<std::uint8_t*>(
        mmap(nullptr, 2 * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
    Fenced() {
        std::memset(base, 'F', static_cast<std::size_t>(page));
        mprotect(base + page, static_cast<std::size_t>(page), PROT_NONE);
    }
    ~Fenced() { munmap(base, static_cast<std::size_t>(2 * page)); }
    std::uint8_t* start() { return base + page - 16; }
};

TEST(LoggerDump, ADisabledLineReadsNoByteOfTheMemory) {
    Fenced mem;
    ASSERT_NE(mem.base, MAP_FAILED);
    Recorder r;
    RecordingLogger lg(r);
    r.script("IsEnabled", 1);
    r.script("IsEnabled", 0);
    r.script("IsEnabled", 0);
    EXPECT_EQ(dumpBufferLogger(lg.handle(), LL_Info, nullptr, nullptr, mem.start(), 16 + 16 + 9),
              0);
    ASSERT_EQ(r.named("LogEvent").size(), 1u);
    EXPECT_EQ(r.named("CaptureV")[0].values[1], Word{'F'});

    RecordingLogger quiet(r, LL_Fatal);
    EXPECT_EQ(dumpBufferLogger(quiet.handle(), LL_Debug, gPrefix, &gOwner, mem.base + mem.page,
                               static_cast<XRMemSize>(mem.page)),
              0);
    EXPECT_EQ(r.named("LogEvent").size(), 1u);
}

Recorder* gRecorder;

TEST(LoggerDump, TheLevelIsReadAfreshForEveryLine) {
    Recorder r;
    gRecorder = &r;
    RecordingLogger lg(r);
    // The first answer also raises the logger's own level above the dump's.
    lg.svcs.IsEnabled = [](Loggerp l, LoggerLevel level) -> XRBoolean {
        gRecorder->record("IsEnabled", words(l, level));
        l->level = LL_Fatal;
        return 1;
    };
    const auto mem = pattern(48, 6);
    dumpBufferLogger(lg.handle(), LL_Warn, nullptr, nullptr, const_cast<std::uint8_t*>(mem.data()),
                     48);
    EXPECT_EQ(r.named("IsEnabled").size(), 1u);
    EXPECT_EQ(r.named("LogEvent").size(), 1u);
}

} // namespace
