// Logger forwarders: the logger's own CaptureV and RenderV get the caller's arguments,
// a null locale for rendering, and the values behind the va_list. (Captures of dump
// codes are checked value by value in xrdumpbuf_logger.cpp.)
#include <gtest/gtest.h>

#include "recording.h"
#include "xr/xrformat.h"

namespace {

using namespace xrtest;

TEST(LoggerForwarders, CaptureAndRenderPassEverythingAndReturnTheRecords) {
    Recorder r;
    RecordingLogger lg(r, LL_Off, LL_Off);
    r.shape = "ipd";
    const XRChar msg[] = {'%', 'd'};
    r.script("CaptureV", 0);
    r.script("CaptureV", 0xC0DE0);
    r.script("RenderV", 0xBEEF0);
    EXPECT_EQ(LoggerCapture(lg.handle(), INT32_MIN, -1, msg, 0.5), nullptr);
    EXPECT_EQ(LoggerCapture(lg.handle(), 5, 2, nullptr, -0.0),
              reinterpret_cast<XRZCapturedp>(std::uintptr_t{0xC0DE0}));
    EXPECT_EQ(LoggerRender(lg.handle(), msg, 2, 7, msg, 1e-300),
              reinterpret_cast<XRZRenderedp>(std::uintptr_t{0xBEEF0}));
    EXPECT_EQ(LoggerRender(lg.handle(), nullptr, 0), nullptr);
    ASSERT_EQ(r.calls.size(), 4u);
    EXPECT_EQ(r.calls[0].args, words(lg.handle(), INT32_MIN));
    EXPECT_EQ(r.calls[0].values, words(-1, msg, 0.5));
    EXPECT_EQ(r.calls[1].values, words(2, nullptr, -0.0));
    EXPECT_EQ(r.calls[2].op, "RenderV");
    EXPECT_EQ(r.calls[2].args, words(lg.handle(), nullptr, msg, XRStrSize{2}));
    EXPECT_EQ(r.calls[2].values, words(7, msg, 1e-300));
    EXPECT_EQ(r.calls[3].args, words(lg.handle(), nullptr, nullptr, XRStrSize{0}));
    EXPECT_TRUE(r.named("IsEnabled").empty()) << "forwarders apply no level";
}

} // namespace
