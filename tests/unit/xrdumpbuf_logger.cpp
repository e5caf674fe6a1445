// Logger dumps: which lines are enabled, what each capture and event carries, and that
// a disabled line reads none of its bytes.
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "recording.h"
#include "xr/xrdump.h"

namespace {

using namespace xrtest;

XRChar gPrefix[] = {'l', 'g', 0};
int gOwner;

std::vector<std::uint8_t> pattern(std::size_t n, unsigned seed) {
    std::vector<std::uint8_t> v(n);
    for (std::size_t i = 0; i < n; ++i)
        v[i] = static_cast<std::uint8_t>(i * 37 + seed * 101);
    return v;
}

// Every layout, every line size and both entries: the exact calls, and nothing else. The
// forced dumps go to a logger whose levels are off and whose IsEnabled would say no. Each
// line size has its own source line, whatever the layout and the entry.
TEST(LoggerDump, EveryLineIsCapturedAndRaisedWithTheTenFields) {
    const struct {
        bool prefix, owner;
        std::uint32_t base;
    } layouts[] = {{false, false, 0x807FC200u},
                   {true, true, 0x807FC210u},
                   {false, true, 0x807FC220u},
                   {true, false, 0x807FC230u}};
    std::map<std::size_t, std::string> srcLineOf; // by line size
    for (const auto& l : layouts) {
        XRChar* prefix = l.prefix ? gPrefix : nullptr;
        XRMemPtr owner = l.owner ? &gOwner : nullptr;
        for (std::size_t len = 0; len <= 48; ++len) {
            for (bool force : {false, true}) {
                Recorder r;
                RecordingLogger lg(r, force ? LL_Off : LL_Debug, force ? LL_Off : LL_Null);
                r.script("IsEnabled", 0);
                auto mem = pattern(len, static_cast<unsigned>(len + l.base));
                EXPECT_EQ(
                    force ? dumpBufferLoggerForce(lg.handle(), prefix, owner, mem.data(), len)
                          : dumpBufferLogger(lg.handle(), LL_Error, prefix, owner, mem.data(), len),
                    0);
                const auto lines = (len + 15) / 16;
                ASSERT_EQ(r.calls.size(), 2 * lines);
                for (std::size_t k = 0; k < lines; ++k) {
                    const std::size_t n = std::min<std::size_t>(16, len - 16 * k);
                    EXPECT_EQ(r.calls[2 * k],
                              (Call{"CaptureV", words(lg.handle(), XRStatus(l.base + n - 1)),
                                    dumpLineValues(prefix, owner, mem.data() + 16 * k, n)}));
                    const auto& ev = r.calls[2 * k + 1].args;
                    EXPECT_EQ(r.calls[2 * k + 1],
                              (Call{"LogEvent",
                                    words(lg.handle(), Word{force ? 9u : 6u}, 0u, nullptr, nullptr,
                                          ev[5], ev[6], U_L_UCS4_CE, nullptr, lg.captured),
                                    {}}));
                    EXPECT_EQ(lg.srcFiles[k], "xrdumpbuf.cpp");
                    const std::string& line = lg.srcLines[k];
                    EXPECT_TRUE(!line.empty() && line.find_first_not_of("0123456789") == line.npos);
                    EXPECT_EQ(srcLineOf.emplace(n, lg.srcLines[k]).first->second, lg.srcLines[k]);
                }
            }
        }
    }
    ASSERT_EQ(srcLineOf.size(), 16u);
    std::set<std::string> distinct;
    for (const auto& [n, line] : srcLineOf)
        distinct.insert(line);
    EXPECT_EQ(distinct.size(), 16u);
}

TEST(LoggerDump, EnabledTestTakesLevelThenAncestorThenIsEnabled) {
    const std::uint32_t bad = 0xFFFFFFFFu; // -1 in a signed comparison
    const struct {
        std::uint32_t level, ancestor; // raw 32-bit values, as a C host may store them
        LoggerLevel wanted;
        std::vector<Word> isEnabled; // scripted answers, one per line
        std::size_t raised;          // of the 3 lines of a 40-byte dump
        std::size_t asked;           // IsEnabled calls
    } gates[] = {
        {LL_Info, LL_Null, LL_Debug, {}, 0, 0},
        {LL_Info, LL_Null, LL_Info, {}, 3, 0},
        {LL_Info, LL_Fatal, LL_Warn, {}, 3, 0}, // the own level wins over the ancestor's
        {LL_Null, LL_Warn, LL_Error, {}, 3, 0},
        {LL_Null, LL_Warn, LL_Info, {1, 1, 1}, 0, 0},
        {LL_Null, LL_Null, LL_Trace, {1, 0, 1}, 2, 3},
        {LL_Null, LL_Null, LL_Trace, {0, 0, 0}, 0, 3},
        {LL_Null, LL_Null, LL_Trace, {2, 0, 0x80}, 2, 3}, // any nonzero XRBoolean
        {bad, LL_Null, LL_Fatal, {}, 0, 0},               // unsigned: 7 < 0xFFFFFFFF
        {LL_Null, bad, LL_Off, {}, 0, 0},
        {LL_Off, LL_Null, LL_Uninitialized, {}, 3, 0},
    };
    auto mem = pattern(40, 3);
    for (const auto& g : gates) {
        Recorder r;
        RecordingLogger lg(r);
        std::memcpy(&lg.rec.level, &g.level, sizeof g.level);
        std::memcpy(&lg.rec.ancestorlevel, &g.ancestor, sizeof g.ancestor);
        for (Word w : g.isEnabled)
            r.script("IsEnabled", w);
        EXPECT_EQ(dumpBufferLogger(lg.handle(), g.wanted, nullptr, &gOwner, mem.data(), 40), 0);
        EXPECT_EQ(r.named("LogEvent").size(), g.raised) << g.level << "/" << g.ancestor;
        const auto captures = r.named("CaptureV");
        ASSERT_EQ(captures.size(), g.raised);
        const auto asked = r.named("IsEnabled");
        ASSERT_EQ(asked.size(), g.asked);
        for (const Call& c : asked)
            EXPECT_EQ(c.args, words(lg.handle(), g.wanted));
        if (g.raised != 2) continue; // lines 1 and 3: the second has 8 bytes
        EXPECT_EQ(captures[1].args[1], word(XRStatus(0x807FC227u)));
    }
}

TEST(LoggerDump, ANullCaptureSkipsOnlyThatLine) {
    Recorder r;
    RecordingLogger lg(r, LL_Trace);
    const auto second = reinterpret_cast<XRZCapturedp>(std::uintptr_t{0x5550});
    r.script("CaptureV", word(lg.captured));
    r.script("CaptureV", 0);
    r.script("CaptureV", word(second));
    auto mem = pattern(40, 5);
    EXPECT_EQ(dumpBufferLogger(lg.handle(), LL_Trace, nullptr, nullptr, mem.data(), 40), 0);
    EXPECT_EQ(r.named("CaptureV").size(), 3u);
    const auto events = r.named("LogEvent");
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].args[9], word(lg.captured));
    EXPECT_EQ(events[1].args[9], word(second));
    EXPECT_EQ(r.calls.back().op, "LogEvent");
}

// The memory is two pages, the second unreadable: a disabled line must not touch it.
TEST(LoggerDump, ADisabledLineReadsNoByteOfTheMemory) {
    const long page = sysconf(_SC_PAGESIZE);
    const auto size = static_cast<std::size_t>(page);
    auto* base = static_cast<std::uint8_t*>(
        mmap(nullptr, 2 * size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
    ASSERT_NE(base, MAP_FAILED);
    std::memset(base, 'F', size);
    ASSERT_EQ(mprotect(base + page, size, PROT_NONE), 0);
    Recorder r;
    RecordingLogger lg(r);
    for (Word w : {1, 0, 0})
        r.script("IsEnabled", w);
    EXPECT_EQ(dumpBufferLogger(lg.handle(), LL_Info, nullptr, nullptr, base + page - 16, 41), 0);
    ASSERT_EQ(r.named("LogEvent").size(), 1u);
    EXPECT_EQ(r.named("CaptureV")[0].values[1], Word{'F'});

    RecordingLogger quiet(r, LL_Fatal);
    EXPECT_EQ(dumpBufferLogger(quiet.handle(), LL_Debug, gPrefix, &gOwner, base + page, size), 0);
    EXPECT_EQ(r.named("LogEvent").size(), 1u);
    munmap(base, 2 * size);
}

TEST(LoggerDump, TheLevelIsReadAfreshForEveryLine) {
    Recorder r;
    RecordingLogger lg(r);
    // The first answer also raises the logger's own level above the dump's.
    lg.svcs.IsEnabled = [](Loggerp l, LoggerLevel level) -> XRBoolean {
        reinterpret_cast<RecordingLogger*>(l)->recorder->record("IsEnabled", words(l, level));
        l->level = LL_Fatal;
        return 1;
    };
    auto mem = pattern(48, 6);
    dumpBufferLogger(lg.handle(), LL_Warn, nullptr, nullptr, mem.data(), 48);
    EXPECT_EQ(r.named("IsEnabled").size(), 1u);
    EXPECT_EQ(r.named("LogEvent").size(), 1u);
}

} // namespace
