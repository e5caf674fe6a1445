// The host services through the real library on the ICU-backed reference host:
// captured and rendered messages, loggers, locales, normalization.
#include <gtest/gtest.h>
#include <unicode/unorm2.h>
#include <unicode/ustring.h>

#include <cmath>
#include <cstdio>
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
    auto cap = FN(xrzCapture)(host.handle(), pool.handle(), 0x11, -7, -5000000000LL, 0x3B1,
                              &marker, 2.5, 1.5L, text.data(), "utf8", 6, 42);
    ASSERT_NE(cap, nullptr);
    EXPECT_EQ(cap->status, 0x11);
    EXPECT_EQ(cap->pool, pool.handle());
    ASSERT_EQ(cap->count, 10);
    const XRZMsgArgType types[] = {xrzf_msg_int,    xrzf_msg_intmax,  xrzf_msg_xrch,
                                   xrzf_msg_ptr,    xrzf_msg_double,  xrzf_msg_ldouble,
                                   xrzf_msg_xr_str, xrzf_msg_ch_str,  xrzf_msg_int,
                                   xrzf_msg_int};
    for (int i = 0; i < 10; ++i) EXPECT_EQ(cap->args[i].argType, types[i]) << i;
    EXPECT_EQ(static_cast<int>(cap->args[0].argVal.uix), -7);
    EXPECT_EQ(cap->args[3].argVal.ptr, reinterpret_cast<std::uintptr_t>(&marker));
    EXPECT_EQ(cap->args[6].argVal.str.ptr, reinterpret_cast<std::intptr_t>(text.data()));
    EXPECT_NE(cap->args[6].argVal.str.buff, reinterpret_cast<const char*>(text.data()));
    EXPECT_EQ(cap->args[6].argVal.str.buffSz, 4 * sizeof(XRChar));

    XRChar buf[128];
    XRStrSize n = 0;
    ASSERT_EQ(FN(xrzStatusBuff)(nullptr, 0x11, buf, 128, &n, -7, -5000000000LL, 0x3B1, &marker,
                                2.5, 1.5L, text.data(), "utf8", 6, 42),
              0);
    auto rendered = FN(xrzRender)(nullptr, pool.handle(), cap);
    ASSERT_NE(rendered, nullptr);
    ASSERT_EQ(rendered->count, 1);
    EXPECT_EQ(toUtf8(rendered->lines[0].line, rendered->lines[0].lineL), toUtf8(buf, n));
    EXPECT_NE(toUtf8(buf, n).find("|ünï|utf8|    42"), std::string::npos) << toUtf8(buf, n);
}

TEST_F(Services, RenderFmtSplitsLinesAndStatusBuffHonoursTheDefaultLocale) {
    const XRText fmt = fromUtf8("a=%d\nb=%s\n");
    const XRText s = xrhost::zText("x");
    auto r = FN(xrzRenderFmt)(nullptr, nullptr, fmt.data(), static_cast<XRStrSize>(fmt.size()), 5,
                              s.data());
    ASSERT_NE(r, nullptr);
    ASSERT_EQ(r->count, 3);
    EXPECT_EQ(toUtf8(r->lines[0].line, r->lines[0].lineL), "a=5");
    EXPECT_EQ(toUtf8(r->lines[1].line, r->lines[1].lineL), "b=x");
    EXPECT_EQ(r->lines[2].lineL, 0);

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

TEST_F(Services, LoggerDumpShowsTheJournalsLinesWhenEnabled) {
    std::vector<std::uint8_t> mem(45);
    for (std::size_t i = 0; i < mem.size(); ++i) mem[i] = static_cast<std::uint8_t>(i * 7);
    xrhost::Journal jnl(host.catalog());
    XRText prefix = xrhost::zText("pfx");
    ASSERT_EQ(FN(dumpBuffer)(jnl.handle(), prefix.data(), nullptr, mem.data(), mem.size()), 0);

    xrhost::Logger root(host, "root");
    xrhost::Logger child(host, "child", &root);
    root.setLevel(LL_Warn);
    EXPECT_EQ(child.ancestorLevel(), LL_Warn);
    EXPECT_EQ(FN(dumpBufferLogger)(child.handle(), LL_Info, prefix.data(), nullptr, mem.data(),
                                   mem.size()),
              0);
    EXPECT_TRUE(child.lines().empty());
    EXPECT_EQ(FN(dumpBufferLogger)(child.handle(), LL_Error, prefix.data(), nullptr, mem.data(),
                                   mem.size()),
              0);
    ASSERT_EQ(child.lines().size(), jnl.lines().size());
    for (std::size_t i = 0; i < jnl.lines().size(); ++i)
        EXPECT_EQ(child.lines()[i], "[ERROR] " + jnl.lines()[i]);
    EXPECT_EQ(child.liveCaptures(), 0u) << "each event releases its capture";

    root.setLevel(LL_Null); // neither level: IsEnabled with the default threshold (INFO)
    EXPECT_EQ(child.ancestorLevel(), LL_Null);
    FN(dumpBufferLogger)(child.handle(), LL_Debug, nullptr, nullptr, mem.data(), mem.size());
    EXPECT_EQ(child.lines().size(), 3u);
    child.setLevel(LL_Off);
    FN(dumpBufferLoggerForce)(child.handle(), nullptr, nullptr, mem.data(), 16);
    ASSERT_EQ(child.lines().size(), 4u);
    EXPECT_EQ(child.lines().back().rfind("[FORCED] ", 0), 0u);

    const XRText fmt = fromUtf8("n=%d");
    auto r = FN(LoggerRender)(child.handle(), fmt.data(), 4, 12);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(toUtf8(r->lines[0].line, r->lines[0].lineL), "n=12");
}

std::string text(const std::uint8_t* p, UTF8ByteLength n) {
    return std::string(reinterpret_cast<const char*>(p), n);
}

TEST_F(Services, NumbersFormatAndParseBackInSeveralLocales) {
    struct Case {
        const char* locale;
        std::string million; // 1234567 with grouping
    } cases[] = {{"en_US", "1,234,567"}, {"de_DE", "1.234.567"}, {"fr_FR", "1\u202f234\u202f567"},
                 {"hi_IN", "12,34,567"}, {"ja_JP", "1,234,567"}};
    std::mt19937_64 rng(7);
    for (const Case& c : cases) {
        xrhost::Locale loc(nls, c.locale);
        const XRLocaleh l = loc.handle();
        std::uint8_t buf[64];
        UTF8ByteLength n = 0, used = 0;
        ASSERT_EQ(FN(xrzsu8IntFormat)(l, 1234567, 0, -1, 0, buf, sizeof buf, &n), 0);
        EXPECT_EQ(text(buf, n), c.million) << c.locale;
        ASSERT_EQ(FN(xrzsu8IntFormat)(l, 1234567, 12, -1, XRHOST_NUM_NO_GROUPING, buf, 64, &n), 0);
        EXPECT_EQ(text(buf, n), "     1234567");
        for (int k = 0; k < 200; ++k) {
            const auto v = static_cast<std::int64_t>(rng());
            ASSERT_EQ(FN(xrzsu8IntmaxFormat)(l, v, 0, -1, 0, buf, sizeof buf, &n), 0);
            std::int64_t back = 0;
            ASSERT_EQ(FN(xrzsu8ToIntmax)(l, buf, n, 0, &back, &used), 0) << text(buf, n);
            EXPECT_EQ(back, v);
            EXPECT_EQ(used, n);
            const std::uint64_t u = rng();
            ASSERT_EQ(FN(xrzsu8UintmaxFormat)(l, u, 0, -1, 0, buf, sizeof buf, &n), 0);
            std::uint64_t uback = 0;
            ASSERT_EQ(FN(xrzsu8ToUintmax)(l, buf, n, 0, &uback, &used), 0) << text(buf, n);
            EXPECT_EQ(uback, u);
            const double d = std::ldexp(static_cast<double>(rng() >> 11), -20) - 4e9;
            ASSERT_EQ(FN(xrzsu8DoubleFormat)(l, d, 0, 6, 0, buf, sizeof buf, &n), 0);
            double dback = 0;
            ASSERT_EQ(FN(xrzsu8ToDouble)(l, buf, n, &dback, &used), 0) << text(buf, n);
            EXPECT_NEAR(dback, d, 1e-6);
        }
        // Range, garbage, small buffers.
        std::uint8_t junk[4] = {'a', 'b', 'c', 'd'};
        int i = 99;
        EXPECT_EQ(FN(xrzsu8ToInt)(l, junk, 4, 0, &i, &used), xrhost::kStatusNotANumber);
        EXPECT_EQ(i, 99);
        EXPECT_EQ(used, 0u);
        ASSERT_EQ(FN(xrzsu8LongFormat)(l, 3000000000L, 0, -1, 0, buf, sizeof buf, &n), 0);
        EXPECT_EQ(FN(xrzsu8ToInt)(l, buf, n, 0, &i, &used), xrhost::kStatusOutOfRange);
        EXPECT_EQ(i, 99);
        unsigned u = 5;
        ASSERT_EQ(FN(xrzsu8IntFormat)(l, -1, 0, -1, 0, buf, sizeof buf, &n), 0);
        EXPECT_EQ(FN(xrzsu8ToUInt)(l, buf, n, 0, &u, &used), xrhost::kStatusOutOfRange);
        std::uint8_t small[3] = {7, 7, 7};
        EXPECT_EQ(FN(xrzsu8IntFormat)(l, 1234567, 0, -1, 0, small, 2, &n), XRStatusBufferTooSmall);
        EXPECT_EQ(n, c.million.size());
        EXPECT_EQ(small[0], 7);
        EXPECT_EQ(FN(xrzsu8IntFormat)(l, 1, 0, -1, 0x80, buf, 64, &n), XRStatusUnsupported);
    }
}

TEST_F(Services, DatesAndTimesFormatAndParseBack) {
    for (const char* name : {"en_US", "de_DE", "fr_FR", "ja_JP", "ru_RU"}) {
        xrhost::Locale loc(nls, name);
        const XRLocaleh l = loc.handle();
        std::uint8_t buf[128];
        UTF8ByteLength n = 0, used = 0;
        const std::uint32_t dates[][3] = {{1, 1, 1970}, {2, 29, 2024}, {12, 31, 1999}, {7, 4, 1776}};
        for (auto [m, d, y] : dates) {
            for (XRFlags style : {0u, 2u, 3u}) {
                ASSERT_EQ(FN(xrzsu8DateFormat)(l, m, d, y, style, buf, sizeof buf, &n), 0) << name;
                std::uint32_t m2 = 0, d2 = 0, y2 = 0;
                ASSERT_EQ(FN(xrzsu8ToDate)(l, buf, n, style, &m2, &d2, &y2, &used), 0)
                    << name << " " << text(buf, n);
                EXPECT_EQ(m2, m);
                EXPECT_EQ(d2, d);
                EXPECT_EQ(y2, y);
                EXPECT_EQ(used, n);
            }
        }
        std::uint32_t m = 5, d = 5, y = 5;
        EXPECT_EQ(FN(xrzsu8DateFormat)(l, 2, 30, 2023, 0, buf, sizeof buf, &n),
                  xrhost::kStatusBadDate);
        EXPECT_EQ(FN(xrzsu8DateFormat)(l, 13, 1, 2023, 0, buf, sizeof buf, &n),
                  xrhost::kStatusBadDate);
        std::uint8_t junk[] = {'x', 'y'};
        EXPECT_EQ(FN(xrzsu8ToDate)(l, junk, 2, 0, &m, &d, &y, &used), xrhost::kStatusBadDate);
        EXPECT_EQ(m, 5u);

        for (double t : {0.0, 951782400.0 + 3723, 1.7e9, -86400.0 * 365}) {
            ASSERT_EQ(FN(xrzsu8DatetimeFormat)(l, t, 0, buf, sizeof buf, &n), 0);
            double back = 0;
            ASSERT_EQ(FN(xrzsu8ToDatetime)(l, buf, n, 0, &back, &used), 0) << text(buf, n);
            EXPECT_EQ(back, std::floor(t));
            ASSERT_EQ(FN(xrzsu8TimeFormat)(l, t, 0, buf, sizeof buf, &n), 0);
            ASSERT_EQ(FN(xrzsu8ToTime)(l, buf, n, 0, &back, &used), 0) << text(buf, n);
            EXPECT_EQ(back, std::fmod(std::fmod(std::floor(t), 86400) + 86400, 86400));
        }
    }
}

TEST_F(Services, DateTimeComesFromServiceSixteen) {
    double offset = 1e9;
    const double now = FN(xrzdtgmt)(&offset);
    EXPECT_NEAR(now, static_cast<double>(std::time(nullptr)), 5);
    EXPECT_LE(std::fabs(offset), 14 * 3600);
}

// ICU's own result for text in the given form.
std::string icuNormalize(const std::string& s, const UNormalizer2* n) {
    UErrorCode err = U_ZERO_ERROR;
    std::u16string u(s.size() + 1, u'\0');
    int32_t len = 0;
    u_strFromUTF8(u.data(), static_cast<int32_t>(u.size()), &len, s.data(),
                  static_cast<int32_t>(s.size()), &err);
    std::u16string out(u.size() * 4 + 8, u'\0');
    const int32_t got = unorm2_normalize(n, u.data(), len, out.data(),
                                         static_cast<int32_t>(out.size()), &err);
    std::string r(static_cast<std::size_t>(got) * 3 + 1, '\0');
    int32_t rl = 0;
    u_strToUTF8(r.data(), static_cast<int32_t>(r.size()), &rl, out.data(), got, &err);
    r.resize(static_cast<std::size_t>(rl));
    EXPECT_TRUE(U_SUCCESS(err));
    return r;
}

const UNormalizer2* instance(XRNLSUNormMode mode) {
    UErrorCode err = U_ZERO_ERROR;
    switch (mode) {
    case XRNLS_UNORM_NFC: return unorm2_getNFCInstance(&err);
    case XRNLS_UNORM_NFD: return unorm2_getNFDInstance(&err);
    case XRNLS_UNORM_NFKC: return unorm2_getNFKCInstance(&err);
    case XRNLS_UNORM_NFKD: return unorm2_getNFKDInstance(&err);
    default: return unorm2_getInstance(nullptr, "nfc", UNORM2_FCD, &err);
    }
}

std::string normalizeThrough(decltype(xrzsu8ICUNormalize)* fn, const std::string& s,
                             XRNLSUNormMode mode) {
    std::string out(s.size() + 4, '\xAA');
    UTF8ByteLength n = 0;
    const auto* in = reinterpret_cast<const std::uint8_t*>(s.data());
    auto* dest = reinterpret_cast<std::uint8_t*>(out.data());
    XRStatus rc = fn(in, s.size(), mode, 0, dest, out.size(), &n);
    if (rc == XRStatusBufferTooSmall) { // grows as a caller would, by the length needed
        EXPECT_GT(n, out.size());
        out.assign(n, '\xAA');
        rc = fn(in, s.size(), mode, 0, reinterpret_cast<std::uint8_t*>(out.data()), n, &n);
    }
    EXPECT_EQ(rc, 0);
    out.resize(n);
    return out;
}

TEST_F(Services, NormalizationAgreesWithIcuOnRandomText) {
    auto fn = FN(xrzsu8ICUNormalize);
    const char32_t pool[] = {U'a', U'A', U'e', 0x301, 0x308, 0x323, 0x327, 0xC5, 0x212B, 0x1E9B,
                             0xFB01, 0x2126, 0xAC00, 0x1100, 0x1161, 0x11A8, 0x3060, 0x3099,
                             0x0958, 0x1D15E, 0xF900, 0x2460, 0x00BD, U' '};
    std::mt19937 rng(11);
    for (int k = 0; k < 500; ++k) {
        std::u32string u;
        for (int i = rng() % 12; i >= 0; --i) u += pool[rng() % std::size(pool)];
        std::string s;
        for (char32_t c : u) {
            char b[4];
            int32_t len = 0;
            U8_APPEND_UNSAFE(b, len, static_cast<UChar32>(c));
            s.append(b, static_cast<std::size_t>(len));
        }
        for (auto mode : {XRNLS_UNORM_NFC, XRNLS_UNORM_NFD, XRNLS_UNORM_NFKC, XRNLS_UNORM_NFKD,
                          XRNLS_UNORM_FCD})
            EXPECT_EQ(normalizeThrough(fn, s, mode), icuNormalize(s, instance(mode)));
        EXPECT_EQ(normalizeThrough(fn, s, XRNLS_UNORM_NONE), s);
    }
}

TEST_F(Services, NormalizationStatusesAndComparisons) {
    auto fn = FN(xrzsu8ICUNormalize);
    const std::string decomposed = "e\xCC\x81"; // e + U+0301
    const std::string composed = "\xC3\xA9";    // U+00E9
    auto u8 = [](const std::string& s) { return reinterpret_cast<const std::uint8_t*>(s.data()); };
    std::uint8_t out[4] = {1, 1, 1, 1};
    UTF8ByteLength n = 0;
    EXPECT_EQ(fn(u8(decomposed), 3, XRNLS_UNORM_NFC, 0, out, 1, &n), XRStatusBufferTooSmall);
    EXPECT_EQ(n, 2u);
    EXPECT_EQ(out[0], 1);
    EXPECT_EQ(fn(u8(decomposed), 3, XRNLS_UNORM_NFC, 0, out, 2, &n), 0);
    EXPECT_EQ(out[2], 1) << "nothing past the result";
    const std::uint8_t bad[] = {'a', 0xC3};
    EXPECT_EQ(fn(bad, 2, XRNLS_UNORM_NFC, 0, out, 4, &n), XRStatusIllegalSequence);
    EXPECT_EQ(fn(u8(composed), 2, XRNLS_UNORM_MODE_COUNT, 0, out, 4, &n), XRStatusUnsupported);

    XRStatus st = 1;
    EXPECT_EQ(FN(xrzsu8ICUNormEqual)(u8(decomposed), 3, u8(composed), 2, 0, &st), 1);
    EXPECT_EQ(st, 0);
    EXPECT_EQ(FN(xrzsu8ICUNormCompare)(u8(std::string("a")), 1, u8(composed), 2, 0, &st), -1);
    EXPECT_EQ(FN(xrzsu8ICUNormCompare)(u8(composed), 2, u8(std::string("E\xCC\x81")), 3, 0x10000,
                                       &st),
              0);
    EXPECT_EQ(FN(xrzsu8ICUNormEqual)(bad, 2, bad, 2, 0, &st), 0);
    EXPECT_EQ(st, XRStatusIllegalSequence);
    nls.setIcuService(nullptr);
    EXPECT_EQ(fn(u8(composed), 2, XRNLS_UNORM_NFC, 0, out, 4, &n), XRStatusFailed);
}

// Unicode's conformance file, when the machine has it (Debian's unicode-data).
TEST_F(Services, NormalizationConformanceFile) {
    const char* path = "/usr/share/unicode/NormalizationTest.txt.bz2";
    std::FILE* probe = std::fopen(path, "rb");
    if (!probe) GTEST_SKIP() << path << " is not installed";
    std::fclose(probe);
    std::FILE* in = popen((std::string("bzcat ") + path).c_str(), "r");
    ASSERT_NE(in, nullptr);
    auto fn = FN(xrzsu8ICUNormalize);
    auto hexToUtf8 = [](const std::string& field) {
        std::string s;
        for (std::size_t i = 0; i < field.size();) {
            std::size_t used = 0;
            const auto c = static_cast<UChar32>(std::stoul(field.substr(i), &used, 16));
            char b[4];
            int32_t k = 0;
            U8_APPEND_UNSAFE(b, k, c);
            s.append(b, static_cast<std::size_t>(k));
            i += used;
            while (i < field.size() && field[i] == ' ') ++i;
        }
        return s;
    };
    char line[4096];
    int checked = 0;
    while (std::fgets(line, sizeof line, in)) {
        if (line[0] == '#' || line[0] == '@' || line[0] == '\n') continue;
        std::string cols[5];
        std::string rest = line;
        for (auto& c : cols) {
            const std::size_t semi = rest.find(';');
            if (semi == std::string::npos) break;
            c = hexToUtf8(rest.substr(0, semi));
            rest = rest.substr(semi + 1);
        }
        // c2 == NFC(c1..c3), c3 == NFD(c1..c3), c4 == NFKC(c1..c5), c5 == NFKD(c1..c5)
        for (int i = 0; i < 5; ++i) {
            ASSERT_EQ(normalizeThrough(fn, cols[i], XRNLS_UNORM_NFKC), cols[3]) << line;
            ASSERT_EQ(normalizeThrough(fn, cols[i], XRNLS_UNORM_NFKD), cols[4]) << line;
            if (i < 3) {
                ASSERT_EQ(normalizeThrough(fn, cols[i], XRNLS_UNORM_NFC), cols[1]) << line;
                ASSERT_EQ(normalizeThrough(fn, cols[i], XRNLS_UNORM_NFD), cols[2]) << line;
            }
        }
        ++checked;
    }
    pclose(in);
    EXPECT_GT(checked, 15000);
}

} // namespace
