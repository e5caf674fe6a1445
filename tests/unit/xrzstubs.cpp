// Formatter forwarders: which host is called, with which info record, what the
// va_list carries, and the default-locale rule of the status operations.
#include <gtest/gtest.h>

#include <algorithm>

#include "recording.h"
#include "xr/xrentry.h"
#include "xr/xrformat.h"

namespace {

using namespace xrtest;

const XRStatus kStatuses[] = {0, 7, -1, static_cast<XRStatus>(0x803FC009u), INT32_MIN};
const XRChar kFmt[] = {'%', 'd', '%', 'p', '%', 'f'};
const XRLocaleh kDefault = reinterpret_cast<XRLocaleh>(std::uintptr_t{0xDEF0});
template <class P> P fake(std::uintptr_t v) {
    return reinterpret_cast<P>(v);
}

// The info record of every formatter call as the host saw it during the call (a stack
// record is gone after): locale, altfmts, filler; empty for a null record.
std::vector<std::vector<Word>> gSeen;
XR_HNDL_S gOriginal;

void see(XRZFmtInfop i) {
    gSeen.push_back(i ? words(i->locale, i->altfmts, i->filler) : words());
}

// Wraps the formatter entries of h so that each snapshots its info record first. Every
// recording host has the same entries, so one saved copy serves them all.
template <auto M, class F> struct Snoop;
template <auto M, class R, class... A> struct Snoop<M, R (*)(XRHndlp, XRZFmtInfop, A...)> {
    static R call(XRHndlp x, XRZFmtInfop i, A... a) {
        see(i);
        return (gOriginal.*M)(x, i, a...);
    }
};
#define SNOOP(m) h.m = Snoop<&XR_HNDL_S::m, decltype(h.m)>::call
void snoop(XR_HNDL_S& h) {
    static const XR_HNDL_S original = h;
    gOriginal = original;
    SNOOP(msgFormatBuffV);
    SNOOP(msgRender);
    SNOOP(msgRenderFmtV);
    SNOOP(msgStatusBuffV);
}

// Two hosts: the saved one, and the one that owns the locale through its NLS extension.
struct Forwarders : ::testing::Test {
    Recorder saved, owner;
    RecordingHost savedHost{saved}, ownerHost{owner};
    RecordingNls nls{owner};
    RecordingLocale locale{owner};
    SKNLS_GLOBAL_S global{nullptr};
    XRChar dest[4] = {1, 2, 3, 4};
    XRStrSize cnvL = -99;
    XRPoolh pool = fake<XRPoolh>(0x9000);

    void SetUp() override {
        nls.rec.ext.hndl = ownerHost.handle();
        locale.rec.xrnls = nls.handle();
        saved.shape = owner.shape = "ipd";
        xrextent(savedHost.handle());
        gSeen.clear();
        snoop(savedHost.rec);
        snoop(ownerHost.rec);
    }
    void TearDown() override { xrextent(nullptr); }
    void expectUntouched() {
        EXPECT_EQ(cnvL, -99);
        EXPECT_TRUE(std::equal(dest, dest + 4, std::begin({1, 2, 3, 4})));
    }
};

TEST_F(Forwarders, ALocaleCallsItsOwnHostAndSkipsTheDefaultLocaleRule) {
    savedHost.rec.sknls_global = &global; // defaultLocale null
    const XRLocaleh l = locale.handle();
    const XRHndlp h = ownerHost.handle();
    const auto cap = fake<XRZCapturedp>(0xCA0);
    for (XRStatus st : kStatuses) {
        owner.calls.clear();
        gSeen.clear();
        owner.script("msgFormatBuffV", word(st));
        EXPECT_EQ(xrzFormatBuff(l, kFmt, 6, dest, 4, &cnvL, -5, &cnvL, 0.5), st);
        owner.script("msgStatusBuffV", word(st));
        EXPECT_EQ(xrzStatusBuff(l, st, dest, 4, &cnvL, 6, nullptr, -2.0), st);
        owner.script("msgRender", 0xAB0);
        EXPECT_EQ(xrzRender(l, pool, cap), fake<XRZRenderedp>(0xAB0));
        EXPECT_EQ(xrzRenderFmt(l, pool, kFmt, 6, 1, kFmt, 1e10), nullptr);
        XRZFmtInfo info{l, 0x55, 0};
        owner.script("msgStatusBuffV", word(st));
        EXPECT_EQ(xrzStatus2Buff(&info, 3, dest, 4, &cnvL), st);
        EXPECT_EQ(info.locale, l);
        const auto stack = words(l, 0u, 0u);
        EXPECT_EQ(gSeen, decltype(gSeen)({stack, stack, stack, stack, words(l, 0x55u, 0u)}));
        const auto& c = owner.calls;
        ASSERT_EQ(c.size(), 5u);
        EXPECT_EQ(c[0].args,
                  words(h, c[0].args[1], kFmt, XRStrSize{6}, dest, XRStrSize{4}, &cnvL, nullptr));
        EXPECT_EQ(c[0].values, words(-5, &cnvL, 0.5));
        EXPECT_EQ(c[1].args, words(h, c[1].args[1], st, dest, XRStrSize{4}, &cnvL));
        EXPECT_EQ(c[1].values, words(6, nullptr, -2.0));
        EXPECT_EQ(c[2].args, words(h, c[2].args[1], pool, cap));
        EXPECT_EQ(c[3].args, words(h, c[3].args[1], pool, kFmt, XRStrSize{6}));
        EXPECT_EQ(c[3].values, words(1, kFmt, 1e10));
        EXPECT_EQ(c[4].args, words(h, &info, XRStatus{3}, dest, XRStrSize{4}, &cnvL));
    }
    EXPECT_TRUE(saved.calls.empty()) << "a locale's operation reached the saved handle";
}

TEST_F(Forwarders, TheTwoFormsPassTheCallersRecordAndNoLocaleMeansTheSavedHost) {
    savedHost.rec.sknls_global = &global; // defaultLocale null: ignored by these operations
    XRZFmtInfo withLocale{locale.handle(), 0x55, 0}, noLocale{nullptr, 0x66, 0};
    const XRHndlp h = savedHost.handle();
    EXPECT_EQ(xrzFormat2Buff(&withLocale, kFmt, 6, dest, 4, &cnvL, 1, nullptr, 2.0), 0);
    EXPECT_EQ(xrzRender2(&withLocale, pool, nullptr), nullptr);
    saved.script("msgRenderFmtV", 0x7710);
    EXPECT_EQ(xrzRender2Fmt(&noLocale, pool, kFmt, 6, 3, nullptr, 4.0), fake<XRZRenderedp>(0x7710));
    saved.script("msgFormatBuffV", word(XRStatus(-3)));
    EXPECT_EQ(xrzFormat2Buff(nullptr, kFmt, 2, dest, 4, &cnvL, 9, nullptr, 0.0), -3);
    EXPECT_EQ(xrzRender2(nullptr, pool, nullptr), nullptr);
    EXPECT_EQ(xrzFormatBuff(nullptr, kFmt, 6, dest, 4, &cnvL, 1, nullptr, 0.0), 0);
    EXPECT_EQ(xrzRender(nullptr, pool, nullptr), nullptr);
    EXPECT_EQ(xrzRenderFmt(nullptr, pool, kFmt, 6, 1, nullptr, 0.0), nullptr);
    EXPECT_EQ(withLocale.altfmts, 0x55u);
    EXPECT_EQ(noLocale.locale, nullptr);
    const auto stack = words(nullptr, 0u, 0u);
    EXPECT_EQ(gSeen,
              decltype(gSeen)({words(locale.handle(), 0x55u, 0u), words(locale.handle(), 0x55u, 0u),
                               words(nullptr, 0x66u, 0u), words(), words(), stack, stack, stack}));

    ASSERT_EQ(owner.calls.size(), 2u);
    EXPECT_EQ(owner.calls[0].args, words(ownerHost.handle(), &withLocale, kFmt, XRStrSize{6}, dest,
                                         XRStrSize{4}, &cnvL, nullptr));
    EXPECT_EQ(owner.calls[0].values, words(1, nullptr, 2.0));
    EXPECT_EQ(owner.calls[1].args, words(ownerHost.handle(), &withLocale, pool, nullptr));
    const auto& c = saved.calls;
    ASSERT_EQ(c.size(), 6u);
    EXPECT_EQ(c[0].args, words(h, &noLocale, pool, kFmt, XRStrSize{6}));
    EXPECT_EQ(c[0].values, words(3, nullptr, 4.0));
    EXPECT_EQ(c[1].args, words(h, nullptr, kFmt, XRStrSize{2}, dest, XRStrSize{4}, &cnvL, nullptr));
    EXPECT_EQ(c[2].args, words(h, nullptr, pool, nullptr)) << "a null fmtinfo is passed on";
    EXPECT_EQ(c[3].op + c[4].op + c[5].op, "msgFormatBuffVmsgRendermsgRenderFmtV");
}

TEST_F(Forwarders, DefaultLocaleRuleOfTheStatusOperations) {
    struct Case {
        bool two, block; // xrzStatus2Buff or xrzStatusBuff; NLS global block present
        XRLocaleh def;
        bool nullInfo, calls;
    } cases[] = {
        {false, false, nullptr, false, true}, {false, true, nullptr, false, false},
        {false, true, kDefault, false, true}, {true, false, nullptr, false, true},
        {true, true, nullptr, false, false},  {true, true, kDefault, false, true},
        {true, true, nullptr, true, false},   {true, true, kDefault, true, true},
        {true, false, nullptr, true, true},
    };
    for (const Case& c : cases) {
        saved.calls.clear();
        saved.results.clear();
        savedHost.rec.sknls_global = c.block ? &global : nullptr;
        global.defaultLocale = c.def;
        gSeen.clear();
        XRZFmtInfo info{nullptr, 0x11, 0};
        XRZFmtInfop arg = c.nullInfo ? nullptr : &info;
        saved.script("msgStatusBuffV", word(XRStatus(INT32_MIN)));
        const XRStatus got = c.two ? xrzStatus2Buff(arg, 0x42, dest, 4, &cnvL, 8, nullptr, 3.0)
                                   : xrzStatusBuff(nullptr, 0x42, dest, 4, &cnvL, 8, nullptr, 3.0);
        const XRLocaleh stored = c.two && !c.nullInfo ? c.def : nullptr;
        EXPECT_EQ(info.locale, stored) << "the caller's record keeps the default locale";
        EXPECT_EQ(info.altfmts, 0x11u);
        EXPECT_EQ(got, c.calls ? INT32_MIN : -2143305719); // else XRStatusNotAvailable
        const auto seen = c.two && c.nullInfo ? words() : words(stored, c.two ? 0x11u : 0u, 0u);
        EXPECT_EQ(gSeen, c.calls ? decltype(gSeen){seen} : decltype(gSeen){}) << "set before";
        ASSERT_EQ(saved.calls.size(), c.calls ? 1u : 0u) << "the handle called is the saved one";
        if (!c.calls) {
            expectUntouched();
            continue;
        }
        const Word infoArg = c.two ? word(arg) : saved.calls[0].args[1];
        EXPECT_EQ(saved.calls[0].args,
                  words(savedHost.handle(), infoArg, XRStatus{0x42}, dest, XRStrSize{4}, &cnvL));
        EXPECT_EQ(saved.calls[0].values, words(8, nullptr, 3.0));
    }
    EXPECT_TRUE(owner.calls.empty());
}

// Capture calls the handle it is given. Without a saved handle the no-locale operations
// call nothing; a locale still serves.
TEST_F(Forwarders, CaptureCallsTheGivenHandleAndNoSavedHandleCallsNothing) {
    owner.script("msgCaptureV", 0xCA5);
    EXPECT_EQ(xrzCapture(ownerHost.handle(), pool, -9, 3, &cnvL, 0.25), fake<XRZCapturedp>(0xCA5));
    EXPECT_TRUE(saved.calls.empty());
    xrextent(nullptr);
    XRZFmtInfo info{nullptr, 0, 0};
    EXPECT_EQ(xrzFormatBuff(nullptr, kFmt, 6, dest, 4, &cnvL), -2143305719);
    EXPECT_EQ(xrzStatusBuff(nullptr, 1, dest, 4, &cnvL), -2143305719);
    EXPECT_EQ(xrzStatus2Buff(&info, 1, dest, 4, &cnvL), -2143305719);
    EXPECT_EQ(xrzRender(nullptr, pool, nullptr), nullptr);
    EXPECT_EQ(xrzRender2Fmt(&info, pool, kFmt, 6), nullptr);
    expectUntouched();
    double offset = 5;
    EXPECT_EQ(xrzdtgmt(&offset), 0.0);
    EXPECT_EQ(offset, 0.0);
    EXPECT_EQ(xrzFormatBuff(locale.handle(), kFmt, 6, dest, 4, &cnvL), 0);
    ASSERT_EQ(owner.calls.size(), 2u);
    EXPECT_EQ(owner.calls[0].args, words(ownerHost.handle(), pool, XRStatus{-9}));
    EXPECT_EQ(owner.calls[0].values, words(3, &cnvL, 0.25));
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
