// The host services through the real library on the ICU-backed reference host:
// captured and rendered messages, loggers, locales, normalization.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>

#include "xr/xrdump.h"
#include "xr/xrformat.h"
#include "xr/xrlocale.h"
#include "xrhost/format.h"
#include "xrhost/host.h"
#include "xrhost/icu.h"
#include "xrhost/journal.h"
#include "xrhost/loader.h"
#include "xrhost/locale.h"
#include "xrhost/logger.h"
#include "xrhost/nls.h"
#include "xrhost/pool.h"

namespace {

using xrhost::fromUtf8;
using xrhost::toUtf8;
using xrhost::XRText;

#define FN(name) lib.fn<decltype(name)>(#name)

// The library attached to a host with an NLS extension and its ICU object.
struct Services : ::testing::Test {
    xrhost::Host host;
    xrhost::Nls nls{host};
    xrhost::Icu icu;
    xrhost::Library lib{XRKIT_LIBRARY_FILE};
    void SetUp() override {
        nls.attach();
        nls.setIcuService(icu.handle());
        lib.attach(host.handle());
    }
};

TEST_F(Services, CapturedMessagesKeepTypedValuesAndRenderLikeTheBufferForm) {
    xrhost::Pool pool;
    host.catalog().add(0x11, "%d|%lld|%c|%p|%.2f|%Lg|%s|%hs|%*d");
    const XRText text = xrhost::zText("ünï");
    int marker;
    auto cap = FN(xrzCapture)(host.handle(), pool.handle(), 0x11, -7, -5000000000LL, 0x3B1, &marker,
                              2.5, 1.5L, text.data(), "utf8", 6, 42);
    ASSERT_NE(cap, nullptr);
    EXPECT_EQ(cap->status, 0x11);
    EXPECT_EQ(cap->pool, pool.handle());
    ASSERT_EQ(cap->count, 10);
    const XRZMsgArgType types[] = {
        xrzf_msg_int,     xrzf_msg_intmax, xrzf_msg_xrch,   xrzf_msg_ptr, xrzf_msg_double,
        xrzf_msg_ldouble, xrzf_msg_xr_str, xrzf_msg_ch_str, xrzf_msg_int, xrzf_msg_int};
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(cap->args()[i].argType, types[i]) << i;
    // The values themselves show in the rendering below, which must match the buffer form.
    EXPECT_EQ(cap->args()[6].argVal.str.ptr, reinterpret_cast<std::intptr_t>(text.data()));
    EXPECT_NE(cap->args()[6].argVal.str.buff, reinterpret_cast<const char*>(text.data()));
    EXPECT_EQ(cap->args()[6].argVal.str.buffSz, 4 * sizeof(XRChar));

    XRChar buf[128];
    XRStrSize n = 0;
    ASSERT_EQ(FN(xrzStatusBuff)(nullptr, 0x11, buf, 128, &n, -7, -5000000000LL, 0x3B1, &marker, 2.5,
                                1.5L, text.data(), "utf8", 6, 42),
              0);
    auto rendered = FN(xrzRender)(nullptr, pool.handle(), cap);
    ASSERT_NE(rendered, nullptr);
    ASSERT_EQ(rendered->count, 1);
    EXPECT_EQ(toUtf8(rendered->lines()[0].line, rendered->lines()[0].lineL), toUtf8(buf, n));
    EXPECT_NE(toUtf8(buf, n).find("|ünï|utf8|    42"), std::string::npos) << toUtf8(buf, n);
}

TEST_F(Services, RenderFmtSplitsLinesAndStatusBuffHonoursTheDefaultLocale) {
    const XRText fmt = fromUtf8("a=%d\nb=%s\n"), s = xrhost::zText("x");
    auto r = FN(xrzRenderFmt)(nullptr, nullptr, fmt.data(), static_cast<XRStrSize>(fmt.size()), 5,
                              s.data());
    ASSERT_NE(r, nullptr);
    ASSERT_EQ(r->count, 3);
    EXPECT_EQ(toUtf8(r->lines()[0].line, r->lines()[0].lineL), "a=5");
    EXPECT_EQ(toUtf8(r->lines()[1].line, r->lines()[1].lineL), "b=x");
    EXPECT_EQ(r->lines()[2].lineL, 0);

    XRChar buf[8] = {};
    XRStrSize n = -1;
    host.setDefaultLocale(nullptr);
    EXPECT_EQ(FN(xrzStatusBuff)(nullptr, XRStatusFailed, buf, 8, &n), XRStatusNotAvailable);
    EXPECT_EQ(n, -1);
    xrhost::Locale en(nls, "en_US");
    host.setDefaultLocale(en.handle());
    EXPECT_EQ(FN(xrzStatusBuff)(nullptr, XRStatusFailed, buf, 8, &n), XRStatusBufferTooSmall);
    EXPECT_EQ(n, 8);
    EXPECT_EQ(toUtf8(buf, 8), "The ICU ");
    XRZFmtInfo info{nullptr, 0, 0};
    EXPECT_EQ(FN(xrzStatus2Buff)(&info, XRStatusFailed, buf, 8, &n), XRStatusBufferTooSmall);
    EXPECT_EQ(info.locale, en.handle());
}

// The logger's own level, the default threshold and forced dumps are covered through
// the command line (tests/cli/dump_logger.cpp); here: the ancestor's level, the
// release of every capture, and rendering through a logger.
TEST_F(Services, LoggerDumpFollowsTheAncestorsLevelAndReleasesItsCaptures) {
    std::vector<std::uint8_t> mem(45);
    for (std::size_t i = 0; i < mem.size(); ++i)
        mem[i] = static_cast<std::uint8_t>(i * 7);
    xrhost::Journal jnl(host.catalog());
    XRText prefix = xrhost::zText("pfx");
    ASSERT_EQ(FN(dumpBuffer)(jnl.handle(), prefix.data(), nullptr, mem.data(), mem.size()), 0);
    xrhost::Logger root(host, "root"), child(host, "child", &root);
    root.setLevel(LL_Warn);
    ASSERT_EQ(child.ancestorLevel(), LL_Warn);
    for (LoggerLevel level : {LL_Info, LL_Error})
        EXPECT_EQ(FN(dumpBufferLogger)(child.handle(), level, prefix.data(), nullptr, mem.data(),
                                       mem.size()),
                  0);
    ASSERT_EQ(child.lines().size(), jnl.lines().size()) << "the INFO dump is left out";
    for (std::size_t i = 0; i < jnl.lines().size(); ++i)
        EXPECT_EQ(child.lines()[i], "[ERROR] " + jnl.lines()[i]);
    EXPECT_EQ(child.liveCaptures(), 0u) << "each event releases its capture";
    const XRText fmt = fromUtf8("n=%d");
    auto r = FN(LoggerRender)(child.handle(), fmt.data(), 4, 12);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(toUtf8(r->lines()[0].line, r->lines()[0].lineL), "n=12");
}

std::string text(const std::uint8_t* p, UTF8ByteLength n) {
    return std::string(reinterpret_cast<const char*>(p), n);
}

TEST_F(Services, NumbersDatesAndTimesFormatAndParseBackInSeveralLocales) {
    const std::pair<const char*, std::string> cases[] = {
        {"en_US", "1,234,567"},
        {"de_DE", "1.234.567"},
        {"fr_FR", "1\u202f234\u202f567"},
        {"hi_IN", "12,34,567"},
        {"ja_JP", "1,234,567"},
        {"ru_RU", "1\u00a0234\u00a0567"}}; // 1234567 with grouping
    std::mt19937_64 rng(7);
    for (const auto& [name, million] : cases) {
        xrhost::Locale loc(nls, name);
        const XRLocaleh l = loc.handle();
        std::uint8_t buf[128], junk[4] = {'a', 'b', 'c', 'd'}, small[3] = {7, 7, 7};
        UTF8ByteLength n = 0, used = 0;
        ASSERT_EQ(FN(xrzsu8IntFormat)(l, 1234567, 0, -1, 0, buf, 64, &n), 0);
        EXPECT_EQ(text(buf, n), million) << name;
        ASSERT_EQ(FN(xrzsu8IntFormat)(l, 1234567, 12, -1, XRHOST_NUM_NO_GROUPING, buf, 64, &n), 0);
        EXPECT_EQ(text(buf, n), "     1234567");
        for (int k = 0; k < 200; ++k) {
            const auto v = static_cast<std::int64_t>(rng());
            const std::uint64_t u = rng();
            const double d = std::ldexp(static_cast<double>(rng() >> 11), -20) - 4e9;
            std::int64_t vBack = 0;
            std::uint64_t uBack = 0;
            double dBack = 0;
            ASSERT_EQ(FN(xrzsu8IntmaxFormat)(l, v, 0, -1, 0, buf, 64, &n), 0);
            ASSERT_EQ(FN(xrzsu8ToIntmax)(l, buf, n, 0, &vBack, &used), 0) << text(buf, n);
            EXPECT_EQ(used, n);
            ASSERT_EQ(FN(xrzsu8UintmaxFormat)(l, u, 0, -1, 0, buf, 64, &n), 0);
            ASSERT_EQ(FN(xrzsu8ToUintmax)(l, buf, n, 0, &uBack, &used), 0) << text(buf, n);
            ASSERT_EQ(FN(xrzsu8DoubleFormat)(l, d, 0, 6, 0, buf, 64, &n), 0);
            ASSERT_EQ(FN(xrzsu8ToDouble)(l, buf, n, &dBack, &used), 0) << text(buf, n);
            EXPECT_EQ(vBack, v);
            EXPECT_EQ(uBack, u);
            EXPECT_NEAR(dBack, d, 1e-6);
        }
        // Garbage, range, small buffers, unknown options.
        int i = 99;
        unsigned u = 5;
        EXPECT_EQ(FN(xrzsu8ToInt)(l, junk, 4, 0, &i, &used), xrhost::kStatusNotANumber);
        EXPECT_EQ(used, 0u);
        ASSERT_EQ(FN(xrzsu8LongFormat)(l, 3000000000L, 0, -1, 0, buf, 64, &n), 0);
        EXPECT_EQ(FN(xrzsu8ToInt)(l, buf, n, 0, &i, &used), xrhost::kStatusOutOfRange);
        EXPECT_EQ(i, 99);
        ASSERT_EQ(FN(xrzsu8IntFormat)(l, -1, 0, -1, 0, buf, 64, &n), 0);
        EXPECT_EQ(FN(xrzsu8ToUInt)(l, buf, n, 0, &u, &used), xrhost::kStatusOutOfRange);
        EXPECT_EQ(u, 5u);
        EXPECT_EQ(FN(xrzsu8IntFormat)(l, 1234567, 0, -1, 0, small, 2, &n), XRStatusBufferTooSmall);
        EXPECT_EQ(n, million.size());
        EXPECT_EQ(small[0], 7);
        EXPECT_EQ(FN(xrzsu8IntFormat)(l, 1, 0, -1, 0x80, buf, 64, &n), XRStatusUnsupported);
        const std::uint32_t dates[][3] = {
            {1, 1, 1970}, {2, 29, 2024}, {12, 31, 1999}, {7, 4, 1776}};
        for (auto [m, d, y] : dates) {
            for (XRFlags style : {0u, 2u, 3u}) {
                ASSERT_EQ(FN(xrzsu8DateFormat)(l, m, d, y, style, buf, 128, &n), 0) << name;
                std::uint32_t back[3] = {};
                ASSERT_EQ(FN(xrzsu8ToDate)(l, buf, n, style, back, back + 1, back + 2, &used), 0)
                    << name << " " << text(buf, n);
                EXPECT_EQ(std::vector<std::uint32_t>(back, back + 3), std::vector({m, d, y}));
                EXPECT_EQ(used, n);
            }
        }
        std::uint32_t m = 5, d = 5, y = 5;
        EXPECT_EQ(FN(xrzsu8DateFormat)(l, 2, 30, 2023, 0, buf, 128, &n), xrhost::kStatusBadDate);
        EXPECT_EQ(FN(xrzsu8DateFormat)(l, 13, 1, 2023, 0, buf, 128, &n), xrhost::kStatusBadDate);
        EXPECT_EQ(FN(xrzsu8ToDate)(l, junk, 2, 0, &m, &d, &y, &used), xrhost::kStatusBadDate);
        EXPECT_EQ(m, 5u);
        for (double t : {0.0, 951782400.0 + 3723, 1.7e9, -86400.0 * 365}) {
            double back = 0;
            ASSERT_EQ(FN(xrzsu8DatetimeFormat)(l, t, 0, buf, 128, &n), 0);
            ASSERT_EQ(FN(xrzsu8ToDatetime)(l, buf, n, 0, &back, &used), 0) << text(buf, n);
            EXPECT_EQ(back, std::floor(t));
            ASSERT_EQ(FN(xrzsu8TimeFormat)(l, t, 0, buf, 128, &n), 0);
            ASSERT_EQ(FN(xrzsu8ToTime)(l, buf, n, 0, &back, &used), 0) << text(buf, n);
            EXPECT_EQ(back, std::fmod(std::fmod(std::floor(t), 86400) + 86400, 86400));
        }
    }
}

TEST_F(Services, DateTimeComesFromServiceSixteen) {
    double offset = 1e9;
    EXPECT_NEAR(FN(xrzdtgmt)(&offset), static_cast<double>(std::time(nullptr)), 5);
    EXPECT_LE(std::fabs(offset), 14 * 3600);
}

// Normalization against ICU and Unicode's conformance data runs through the command
// line (tests/cli/normalize.cpp); here: statuses, output bounds, the modes without a
// command, and the comparisons.
TEST_F(Services, NormalizationStatusesAndComparisons) {
    auto fn = FN(xrzsu8ICUNormalize);
    auto u8 = [](const char* s) { return reinterpret_cast<const std::uint8_t*>(s); };
    const auto* decomposed = u8("e\xCC\x81"); // e + U+0301
    const auto* composed = u8("\xC3\xA9");    // U+00E9
    const auto* bad = u8("a\xC3");
    std::uint8_t out[4] = {1, 1, 1, 1};
    UTF8ByteLength n = 0;
    EXPECT_EQ(fn(decomposed, 3, XRNLS_UNORM_NFC, 0, out, 1, &n), XRStatusBufferTooSmall);
    EXPECT_EQ(n, 2u);
    EXPECT_EQ(out[0], 1);
    EXPECT_EQ(fn(decomposed, 3, XRNLS_UNORM_NFC, 0, out, 2, &n), 0);
    EXPECT_EQ(out[2], 1) << "nothing past the result";
    EXPECT_EQ(fn(bad, 2, XRNLS_UNORM_NFC, 0, out, 4, &n), XRStatusIllegalSequence);
    EXPECT_EQ(fn(composed, 2, XRNLS_UNORM_MODE_COUNT, 0, out, 4, &n), XRStatusUnsupported);
    const auto* unordered = u8("a\xCC\x81\xCC\xA3"); // a + U+0301 + U+0323: not FCD
    std::uint8_t big[8] = {};
    EXPECT_EQ(fn(unordered, 5, XRNLS_UNORM_NONE, 0, big, 8, &n), 0);
    EXPECT_EQ(text(big, n), "a\xCC\x81\xCC\xA3");
    EXPECT_EQ(fn(unordered, 5, XRNLS_UNORM_FCD, 0, big, 8, &n), 0);
    EXPECT_EQ(text(big, n), "a\xCC\xA3\xCC\x81");

    XRStatus st = 1;
    EXPECT_EQ(FN(xrzsu8ICUNormEqual)(decomposed, 3, composed, 2, 0, &st), 1);
    EXPECT_EQ(st, 0);
    EXPECT_EQ(FN(xrzsu8ICUNormCompare)(u8("a"), 1, composed, 2, 0, &st), -1);
    EXPECT_EQ(FN(xrzsu8ICUNormCompare)(composed, 2, u8("E\xCC\x81"), 3, 0x10000, &st), 0);
    EXPECT_EQ(FN(xrzsu8ICUNormEqual)(bad, 2, bad, 2, 0, &st), 0);
    EXPECT_EQ(st, XRStatusIllegalSequence);
    nls.setIcuService(nullptr);
    EXPECT_EQ(fn(composed, 2, XRNLS_UNORM_NFC, 0, out, 4, &n), XRStatusFailed);
}

} // namespace
