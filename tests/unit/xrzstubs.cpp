// Formatter forwarders: which host is called, with which info record, what the
// va_list carries, and the default-locale rule of the status operations.
#include <gtest/gtest.h>

#include <algorithm>

#include "recording.h"
#include "xr/xrentry.h"
#include "xr/xrformat.h"

namespace {

using xrtest::Recorder;
using xrtest::RecordingHost;
using xrtest::RecordingLocale;
using xrtest::RecordingNls;
using xrtest::Word;
using xrtest::word;
using xrtest::words;

const XRStatus kStatuses[] = {0, 7, -1, static_cast<XRStatus>(0x803FC009u), INT32_MIN};
const XRChar kFmt[] = {'%', 'd', '%', 'p', '%', 'f'};
const XRLocaleh kDefault = reinterpret_cast<XRLocaleh>(std::uintptr_t{0xDEF0});

// The info record as the host saw it during the call (the stack record is gone after).
struct SeenInfo {
    bool null = true;
    XRZFmtInfo info{};
};
SeenInfo gSeen;
XR_HNDL_S gOriginal;

void see(XRZFmtInfop info) {
    gSeen.null = info == nullptr;
    if (info) gSeen.info = *info;
}

// Wraps the formatter entries of h so that each snapshots its info record first. Every
// recording host has the same entries, so one saved copy serves them all.
void snoop(XR_HNDL_S& h) {
    static const XR_HNDL_S original = h;
    gOriginal = original;
    h.msgFormatBuffV = [](XRHndlp x, XRZFmtInfop i, const XRChar* f, XRStrSize fL, XRChar* d,
                          XRStrSize dL, XRStrSize* c, void* r, va_list v) {
        see(i);
        return gOriginal.msgFormatBuffV(x, i, f, fL, d, dL, c, r, v);
    };
    h.msgRender = [](XRHndlp x, XRZFmtInfop i, XRPoolh p, XRZCapturedp c) {
        see(i);
        return gOriginal.msgRender(x, i, p, c);
    };
    h.msgRenderFmtV = [](XRHndlp x, XRZFmtInfop i, XRPoolh p, const XRChar* f, XRStrSize fL,
                         va_list v) {
        see(i);
        return gOriginal.msgRenderFmtV(x, i, p, f, fL, v);
    };
    h.msgStatusBuffV = [](XRHndlp x, XRZFmtInfop i, XRStatus s, XRChar* d, XRStrSize dL,
                          XRStrSize* c, va_list v) {
        see(i);
        return gOriginal.msgStatusBuffV(x, i, s, d, dL, c, v);
    };
}

// Two hosts: the saved one, and the one that owns the locale through its NLS extension.
struct Fixture : ::testing::Test {
    Recorder saved, owner;
    RecordingHost savedHost{saved}, ownerHost{owner};
    RecordingNls nls{owner};
    RecordingLocale locale{owner};
    SKNLS_GLOBAL_S global{nullptr};
    XRChar dest[4] = {1, 2, 3, 4};
    XRStrSize cnvL = -99;
    XRPoolh pool = reinterpret_cast<XRPoolh>(std::uintptr_t{0x9000});

    void SetUp() override {
        nls.rec.ext.hndl = ownerHost.handle();
        locale.rec.xrnls = nls.handle();
        saved.shape = owner.shape = "ipd";
        xrextent(savedHost.handle());
        snoop(savedHost.rec);
        snoop(ownerHost.rec);
    }
    void TearDown() override { xrextent(nullptr); }
    void expectUntouched() {
        EXPECT_EQ(cnvL, -99);
        EXPECT_TRUE(std::equal(dest, dest + 4, std::begin({1, 2, 3, 4})));
    }
};

using Forwarders = Fixture;

TEST_F(Forwarders, WithALocaleCallTheLocalesHostWithAStackRecordAndTheValues) {
    for (XRStatus st : kStatuses) {
        owner.calls.clear();
        const XRLocaleh l = locale.handle();
        const XRHndlp h = ownerHost.handle();
        owner.script("msgFormatBuffV", word(st));
        EXPECT_EQ(xrzFormatBuff(l, kFmt, 6, dest, 4, &cnvL, -5, &cnvL, 0.5), st);
        EXPECT_FALSE(gSeen.null);
        EXPECT_EQ(gSeen.info.locale, l);
        EXPECT_EQ(gSeen.info.altfmts, 0u);
        EXPECT_EQ(gSeen.info.filler, 0u);
        owner.script("msgStatusBuffV", word(st));
        EXPECT_EQ(xrzStatusBuff(l, st, dest, 4, &cnvL, 6, nullptr, -2.0), st);
        EXPECT_EQ(gSeen.info.locale, l);
        owner.script("msgRender", 0xAB0);
        auto cap = reinterpret_cast<XRZCapturedp>(std::uintptr_t{0xCA0});
        EXPECT_EQ(xrzRender(l, pool, cap), reinterpret_cast<XRZRenderedp>(std::uintptr_t{0xAB0}));
        EXPECT_EQ(gSeen.info.locale, l);
        EXPECT_EQ(xrzRenderFmt(l, pool, kFmt, 6, 1, kFmt, 1e10), nullptr);
        EXPECT_EQ(gSeen.info.locale, l);

        ASSERT_EQ(owner.calls.size(), 4u);
        const Word info0 = owner.calls[0].args[1];
        EXPECT_EQ(owner.calls[0].args,
                  words(h, info0, kFmt, XRStrSize{6}, dest, XRStrSize{4}, &cnvL, nullptr));
        EXPECT_EQ(owner.calls[0].values, words(-5, &cnvL, 0.5));
        EXPECT_EQ(owner.calls[1].args,
                  words(h, owner.calls[1].args[1], st, dest, XRStrSize{4}, &cnvL));
        EXPECT_EQ(owner.calls[1].values, words(6, nullptr, -2.0));
        EXPECT_EQ(owner.calls[2].args, words(h, owner.calls[2].args[1], pool, cap));
        EXPECT_EQ(owner.calls[3].args, words(h, owner.calls[3].args[1], pool, kFmt, XRStrSize{6}));
        EXPECT_EQ(owner.calls[3].values, words(1, kFmt, 1e10));
        EXPECT_TRUE(saved.calls.empty()) << "a locale's operation reached the saved handle";
    }
}

TEST_F(Forwarders, TheTwoFormsPassTheCallersRecordAndPickTheHostByItsLocale) {
    XRZFmtInfo withLocale{locale.handle(), 0x55, 0};
    XRZFmtInfo noLocale{nullptr, 0x66, 0};
    EXPECT_EQ(xrzFormat2Buff(&withLocale, kFmt, 6, dest, 4, &cnvL, 1, nullptr, 2.0), 0);
    EXPECT_EQ(xrzRender2(&withLocale, pool, nullptr), nullptr);
    saved.script("msgRenderFmtV", 0x7710);
    EXPECT_EQ(xrzRender2Fmt(&noLocale, pool, kFmt, 6, 3, nullptr, 4.0),
              reinterpret_cast<XRZRenderedp>(std::uintptr_t{0x7710}));
    saved.script("msgFormatBuffV", word(XRStatus(-3)));
    EXPECT_EQ(xrzFormat2Buff(nullptr, kFmt, 2, dest, 4, &cnvL, 9, nullptr, 0.0), -3);
    EXPECT_EQ(xrzRender2(nullptr, pool, nullptr), nullptr);

    ASSERT_EQ(owner.calls.size(), 2u);
    EXPECT_EQ(owner.calls[0].args, words(ownerHost.handle(), &withLocale, kFmt, XRStrSize{6},
                                         dest, XRStrSize{4}, &cnvL, nullptr));
    EXPECT_EQ(owner.calls[0].values, words(1, nullptr, 2.0));
    EXPECT_EQ(owner.calls[1].args, words(ownerHost.handle(), &withLocale, pool, nullptr));
    ASSERT_EQ(saved.calls.size(), 3u);
    EXPECT_EQ(saved.calls[0].args, words(savedHost.handle(), &noLocale, pool, kFmt, XRStrSize{6}));
    EXPECT_EQ(saved.calls[0].values, words(3, nullptr, 4.0));
    EXPECT_EQ(saved.calls[1].args, words(savedHost.handle(), nullptr, kFmt, XRStrSize{2}, dest,
                                         XRStrSize{4}, &cnvL, nullptr));
    EXPECT_EQ(saved.calls[2].op, "msgRender");
    EXPECT_EQ(saved.calls[2].args[1], Word{0}) << "a null fmtinfo is passed on";
    EXPECT_EQ(withLocale.altfmts, 0x55u);
}

TEST_F(Forwarders, WithoutALocaleTheOtherOperationsIgnoreTheDefaultLocale) {
    savedHost.rec.sknls_global = &global; // defaultLocale null
    EXPECT_EQ(xrzFormatBuff(nullptr, kFmt, 6, dest, 4, &cnvL, 1, nullptr, 0.0), 0);
    EXPECT_EQ(gSeen.info.locale, nullptr);
    EXPECT_EQ(xrzRender(nullptr, pool, nullptr), nullptr);
    EXPECT_EQ(xrzRenderFmt(nullptr, pool, kFmt, 6, 1, nullptr, 0.0), nullptr);
    XRZFmtInfo info{nullptr, 0, 0};
    EXPECT_EQ(xrzFormat2Buff(&info, kFmt, 6, dest, 4, &cnvL, 1, nullptr, 0.0), 0);
    EXPECT_EQ(xrzRender2Fmt(&info, pool, kFmt, 6, 1, nullptr, 0.0), nullptr);
    EXPECT_EQ(info.locale, nullptr);
    EXPECT_EQ(saved.calls.size(), 5u);
}

TEST_F(Forwarders, DefaultLocaleRuleOfStatusBuff) {
    struct Case {
        bool block;
        XRLocaleh def;
        bool calls;
    } cases[] = {{false, nullptr, true}, {true, nullptr, false}, {true, kDefault, true}};
    for (const Case& c : cases) {
        saved.calls.clear();
        savedHost.rec.sknls_global = c.block ? &global : nullptr;
        global.defaultLocale = c.def;
            gSeen = {};
        saved.script("msgStatusBuffV", word(XRStatus(-77)));
        const XRStatus got = xrzStatusBuff(nullptr, 0x1234, dest, 4, &cnvL, 5, nullptr, 1.0);
        if (!c.calls) {
            EXPECT_EQ(got, XRStatusNotAvailable);
            EXPECT_EQ(got, -2143305719);
            EXPECT_TRUE(saved.calls.empty());
            expectUntouched();
            saved.results.clear();
            continue;
        }
        EXPECT_EQ(got, -77);
        ASSERT_EQ(saved.calls.size(), 1u);
        EXPECT_FALSE(gSeen.null);
        EXPECT_EQ(gSeen.info.locale, nullptr) << "the stack record's locale stays null";
        EXPECT_EQ(saved.calls[0].args,
                  words(savedHost.handle(), saved.calls[0].args[1], XRStatus{0x1234}, dest,
                        XRStrSize{4}, &cnvL));
        EXPECT_EQ(saved.calls[0].values, words(5, nullptr, 1.0));
    }
}

TEST_F(Forwarders, DefaultLocaleRuleOfStatus2BuffWritesTheCallersRecord) {
    struct Case {
        bool block;
        XRLocaleh def;
        bool nullInfo;
        bool calls;
    } cases[] = {
        {false, nullptr, false, true}, {true, nullptr, false, false}, {true, kDefault, false, true},
        {true, nullptr, true, false},  {true, kDefault, true, true},  {false, nullptr, true, true},
    };
    for (const Case& c : cases) {
        saved.calls.clear();
        saved.results.clear();
        savedHost.rec.sknls_global = c.block ? &global : nullptr;
        global.defaultLocale = c.def;
            gSeen = {};
        XRZFmtInfo info{nullptr, 0x11, 0};
        XRZFmtInfop arg = c.nullInfo ? nullptr : &info;
        saved.script("msgStatusBuffV", word(XRStatus(INT32_MIN)));
        const XRStatus got = xrzStatus2Buff(arg, 0x42, dest, 4, &cnvL, 8, nullptr, 3.0);
        EXPECT_EQ(info.locale, c.nullInfo ? nullptr : c.def);
        EXPECT_EQ(info.altfmts, 0x11u);
        if (!c.calls) {
            EXPECT_EQ(got, XRStatusNotAvailable);
            EXPECT_TRUE(saved.calls.empty());
            expectUntouched();
            continue;
        }
        EXPECT_EQ(got, INT32_MIN);
        ASSERT_EQ(saved.calls.size(), 1u) << "the handle called is the saved one";
        EXPECT_EQ(saved.calls[0].args, words(savedHost.handle(), arg, XRStatus{0x42}, dest,
                                             XRStrSize{4}, &cnvL));
        EXPECT_EQ(gSeen.null, c.nullInfo);
        if (!c.nullInfo) {
            EXPECT_EQ(gSeen.info.locale, c.def) << "stored before the call";
        }
        EXPECT_EQ(saved.calls[0].values, words(8, nullptr, 3.0));
    }
    EXPECT_TRUE(owner.calls.empty());
}

TEST_F(Forwarders, ALocaleInTheRecordSkipsTheDefaultLocaleRule) {
    savedHost.rec.sknls_global = &global; // defaultLocale null
    XRZFmtInfo info{locale.handle(), 0, 0};
    EXPECT_EQ(xrzStatus2Buff(&info, 1, dest, 4, &cnvL), 0);
    EXPECT_EQ(xrzStatusBuff(locale.handle(), 1, dest, 4, &cnvL), 0);
    EXPECT_EQ(info.locale, locale.handle());
    EXPECT_EQ(owner.calls.size(), 2u);
    EXPECT_TRUE(saved.calls.empty());
}

TEST_F(Forwarders, CaptureCallsTheGivenHandleWithTheValues) {
    Recorder other;
    RecordingHost given(other);
    other.shape = "ipd";
    given.rec.sknls_global = &global;
    other.script("msgCaptureV", 0xCA5);
    EXPECT_EQ(xrzCapture(given.handle(), pool, -9, 3, &cnvL, 0.25),
              reinterpret_cast<XRZCapturedp>(std::uintptr_t{0xCA5}));
    EXPECT_EQ(xrzCapture(given.handle(), nullptr, 0), nullptr);
    ASSERT_EQ(other.calls.size(), 2u);
    EXPECT_EQ(other.calls[0].args, words(given.handle(), pool, XRStatus{-9}));
    EXPECT_EQ(other.calls[0].values, words(3, &cnvL, 0.25));
    EXPECT_TRUE(saved.calls.empty());
}

TEST_F(Forwarders, NoSavedHandleCallsNothing) {
    xrextent(nullptr);
    XRZFmtInfo info{nullptr, 0, 0};
    EXPECT_EQ(xrzFormatBuff(nullptr, kFmt, 6, dest, 4, &cnvL), XRStatusNotAvailable);
    EXPECT_EQ(xrzStatusBuff(nullptr, 1, dest, 4, &cnvL), XRStatusNotAvailable);
    EXPECT_EQ(xrzStatus2Buff(&info, 1, dest, 4, &cnvL), XRStatusNotAvailable);
    EXPECT_EQ(xrzFormat2Buff(nullptr, kFmt, 6, dest, 4, &cnvL), XRStatusNotAvailable);
    EXPECT_EQ(xrzRender(nullptr, pool, nullptr), nullptr);
    EXPECT_EQ(xrzRender2Fmt(&info, pool, kFmt, 6), nullptr);
    expectUntouched();
    double offset = 5;
    EXPECT_EQ(xrzdtgmt(&offset), 0.0);
    EXPECT_EQ(offset, 0.0);
    // With a locale, the locale's own host still serves.
    EXPECT_EQ(xrzFormatBuff(locale.handle(), kFmt, 6, dest, 4, &cnvL), 0);
    EXPECT_EQ(owner.calls.size(), 1u);
}

xrzTime_t gTime;

TEST_F(Forwarders, DateTimeAsksServiceSixteenAndNegatesTheOffset) {
    savedHost.rec.ConfigureSystem = [](XRHndlp h, int32_t service, void* data, XRFlags flags) {
        auto& r = *reinterpret_cast<RecordingHost*>(h)->recorder;
        *static_cast<xrzTime_t*>(data) = gTime;
        return static_cast<XRStatus>(r.record("ConfigureSystem", words(h, service, flags)));
    };
    gTime = {1.7e9 + 0.25, 18000};
    saved.script("ConfigureSystem", word(XRStatus(-1))); // not examined
    double offset = 0;
    EXPECT_EQ(xrzdtgmt(&offset), 1.7e9 + 0.25);
    EXPECT_EQ(offset, -18000);
    gTime = {-86400.5, -3600};
    EXPECT_EQ(xrzdtgmt(nullptr), -86400.5);
    EXPECT_EQ(xrzdtgmt(&offset), -86400.5);
    EXPECT_EQ(offset, 3600);
    ASSERT_EQ(saved.calls.size(), 3u);
    for (const auto& c : saved.calls)
        EXPECT_EQ(c.args, words(savedHost.handle(), int32_t{16}, XRFlags{0x10800000u}));
}

} // namespace
