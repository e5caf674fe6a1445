// Modified UTF-8 and the character classes: every case of the two converters with
// exact-size outputs and guard bytes, and the host calls of IsCombining. (Round trips of
// well-formed text against ICU are in tests/host/utf8_nls.cpp.)
#include <gtest/gtest.h>

#include "recording.h"
#include "xr/xrentry.h"
#include "xr/xrutf8.h"

namespace {

using Bytes = std::basic_string<std::uint8_t>;
using Converter = XRStatus (*)(UTF8Str, UTF8ByteLength, UTF8Str, UTF8ByteLength, UTF8ByteLength*,
                               XRFlags);
using Result = std::tuple<XRStatus, UTF8ByteLength, Bytes>; // status, *cvtL, the room's bytes

Bytes b(const char* s, std::size_t n) {
    return Bytes(reinterpret_cast<const std::uint8_t*>(s), n);
}
template <std::size_t N> Bytes b(const char (&s)[N]) {
    return b(s, N - 1);
}

constexpr XRStatus kIllegal = XRStatusIllegalSequence, kTooSmall = XRStatusBufferTooSmall;

// Runs cvt into exactly room bytes followed by guard bytes; checks the guards, that
// *cvtL stays within the room, and that a null cvtL changes nothing else.
Result run(Converter cvt, Bytes in, std::size_t room, XRFlags opt) {
    Bytes buf(room + 8, 0xEE), other(room + 8, 0xEE); // 0xEE: junk, and guard bytes after the room
    UTF8ByteLength cvtL = 12345;
    const XRStatus rc = cvt(in.data(), in.size(), buf.data(), room, &cvtL, opt);
    EXPECT_EQ(buf.substr(room), Bytes(8, 0xEE)) << "wrote past the destination";
    EXPECT_LE(cvtL, room);
    EXPECT_EQ(cvt(in.data(), in.size(), other.data(), room, nullptr, opt), rc);
    EXPECT_EQ(other, buf);
    return {rc, cvtL, buf.substr(0, room)};
}

// The room is out's size unless given. For the copy path of Decode (option 4 alone) out is
// the whole field, blanks included, and *cvtL counts the text before the blanks.
struct Case {
    Converter cvt;
    Bytes in;
    XRFlags opt;
    Bytes out;
    XRStatus rc;
    std::size_t room = ~std::size_t{0};
};

TEST(Utf8Convert, EveryCase) {
    const Converter E = xrzsu8Encode, D = xrzsu8Decode;
    const Bytes smile = b("\xF0\x9F\x98\x80"), pair = b("\xED\xA0\xBD\xED\xB8\x80"),
                fffd = b("\xEF\xBF\xBD"), hi = b("\xED\xA0\xBD"), c080 = b("\xC0\x80");
    const Case cases[] = {
        {E, smile, 0x4, fffd, kIllegal},
        {E, smile, 0x8, pair, 0}, // 0x8 is no option
        // No surrogate pair exists beyond U+10FFFF or for overlong forms.
        {E, b("\xF4\x90\x80\x80") + b("a"), 0, fffd + b("a"), kIllegal},
        {E, b("\xF5\x80\x80\x80"), 0, fffd, kIllegal},
        {E, b("\xF0\x8F\xBF\xBF"), 0, fffd, kIllegal},
        {E, b("\x80"), 0, fffd, kIllegal},
        {E, b("\xE3\x81"), 0, fffd, kIllegal},
        {E, b("\xE3\x81") + b("a"), 0, fffd + b("a"), kIllegal},
        {E, b("\xE3") + b("ab"), 0, fffd + b("ab"), kIllegal},
        {E, b("\xF0\x9F\x98"), 0x1, fffd, kIllegal},
        {E, hi, 0, fffd, kIllegal},
        {E, b("\xFC\x80\x80\x80\x80\x80"), 0, b("\xFC\x80\x80\x80\x80\x80"), 0},
        {E, b("\xF8\x80\x80\x80\x80"), 0x1, b("\xF8\x80\x80\x80\x80"), 0},
        {E, c080, 0, c080, 0},
        {E, c080, 0x1, c080, 0},
        {E, c080, 0x4, c080, 0},
        {E, b("\xE0\x80\x80"), 0, b("\xE0\x80\x80"), 0},
        {D, hi + b("A"), 0, fffd + b("A"), kIllegal},
        {D, hi, 0, fffd, kIllegal},
        {D, b("\xED\xB8\x80"), 0, fffd, kIllegal},
        {D, hi + b("\xE3\x81"), 0, fffd + fffd, kIllegal},
        {D, hi + b("\x80"), 0, fffd + fffd, kIllegal},
        {D, c080, 0, fffd, kIllegal},
        {D, b("\x80"), 0, fffd, kIllegal},
        {D, b("\xE3\x81"), 0, fffd, kIllegal},
        {D, b("\xF8\x80\x80\x80\x80") + b("a"), 0, fffd + b("a"), kIllegal},
        {D, smile, 0, smile, 0},
        {D, b("\xE0\x80\x80"), 0, b("\xE0\x80\x80"), 0},
        {D, b("a\0b", 3), 0x1, b("a\0b", 3), 0},
        {D, b(""), 0x4, b(""), 0},
        // The pending sequence supplies the high bits whatever its range.
        {D, b("\xED\xB0\x80\xED\xA0\x80"), 0, b("\xF0\x90\x80\x80"), 0},
        // The copy path: nothing converted; an invalid lead or a cut end rejects the rest.
        {D, pair, 0x4, pair, 0},
        {D, b("a\xC0\x80"), 0x4, b("   "), kTooSmall},
        {D, b("ab\xE3\x81"), 0x4, b("ab  "), kTooSmall},
        {D, b("a\xC3\xA9"), 0x4, b("a "), kTooSmall},
        // A full destination stops on a whole output character with what fits so far.
        {E, b("abc"), 0, b("ab"), kTooSmall, 2},
        {E, b("a") + smile, 0, b("a"), kTooSmall, 6},
        {E, b("a\0", 2), 1, b("a"), kTooSmall, 2},
        {E, b("a\x80"), 0, b("a"), kTooSmall, 3},
        {E, b("\xC3\xA9"), 0, b(""), kTooSmall, 1},
        {D, b("a") + pair, 0, b("a"), kTooSmall, 4},
        {D, b("a\xC0\x80"), 1, b("a"), kTooSmall, 1},
        {D, b("a") + hi, 0, b("a"), kTooSmall, 3},
        // The replacement for a pending surrogate counts; the next one does not fit.
        {D, hi + b("\xE3\x81"), 0, fffd, kTooSmall, 5},
        {D, hi + b("a"), 0, fffd, kTooSmall, 3}};
    for (const auto& c : cases) {
        const bool copyPath = c.cvt == D && c.opt == 0x4;
        const std::size_t cvtL = copyPath ? c.out.find_last_not_of(' ') + 1 : c.out.size();
        const auto [rc, gotL, room] =
            run(c.cvt, c.in, c.room != ~std::size_t{0} ? c.room : c.out.size(), c.opt);
        EXPECT_EQ(std::tuple(rc, gotL, copyPath ? room : room.substr(0, gotL)),
                  std::tuple(c.rc, cvtL, c.out))
            << (c.cvt == E ? "encode " : "decode ") << testing::PrintToString(c.in) << " opt "
            << c.opt;
    }
}

// The code point goes to the function (U+FFFD for a malformed sequence); its lowest byte is the
// answer.
TEST(Utf8Classes, IsFunctPassesTheCodePoint) {
    auto lowByte = [](XRChar c) { return c == 0x10400 ? XRBoolean{1} : static_cast<XRBoolean>(c); };
    std::uint8_t deseret[] = {0xF0, 0x90, 0x90, 0x80}, a[] = {0x41}, bad[] = {0xC0, 0x80},
                 e9[] = {0xC3, 0xA9};
    EXPECT_EQ(std::vector({_XRZSU8IsFunct(deseret, lowByte), _XRZSU8IsFunct(a, lowByte),
                           _XRZSU8IsFunct(bad, lowByte), _XRZSU8IsFunct(e9, lowByte)}),
              std::vector<XRBoolean>({0x01, 0x41, 0xFD, 0xE9}));
}

TEST(Utf8Classes, IsCombiningLoadsUnicodeDataOnce) {
    xrtest::Recorder r;
    xrtest::RecordingHost host(r);
    xrtest::RecordingNls nls(r);
    host.rec.xrnls = nls.handle();
    nls.rec.ext.hndl = host.handle();
    xrextent(host.handle());
    std::uint8_t zwj[] = {0xE2, 0x80, 0x8D}, zwnj[] = {0xE2, 0x80, 0x8C}, acute[] = {0xCC, 0x81},
                 a[] = {0x61};
    EXPECT_EQ(std::pair(xrzsu8IsCombining(zwj), xrzsu8IsCombining(zwnj)),
              std::pair(XR_TRUE, XR_TRUE));
    EXPECT_TRUE(r.calls.empty());

    XR_EXT_S unidata{};
    r.script("loadExtension", 0); // the first load fails: tried again next time
    r.script("loadExtension", xrtest::word(&unidata));
    for (int answer : {1, 0, 1})
        r.script("charIsCategory", answer);
    EXPECT_EQ(xrzsu8IsCombining(acute), 1);
    EXPECT_EQ(nls.rec.unidataExt, nullptr);
    EXPECT_EQ(xrzsu8IsCombining(a), 0);
    EXPECT_EQ(nls.rec.unidataExt, &unidata);
    EXPECT_EQ(xrzsu8IsCombining(acute), 1);

    const auto loads = r.named("loadExtension"), asks = r.named("charIsCategory");
    ASSERT_EQ(std::pair(loads.size(), asks.size()), (std::pair<std::size_t, std::size_t>(2, 3)));
    for (const auto& call : loads) {
        ASSERT_EQ(call.args.size(), 4u);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(call.args[1]), 8), "xrnlsudb");
        EXPECT_EQ(call.args, xrtest::words(host.handle(), call.args[1], 8, 0));
    }
    const XRChar asked[] = {0x301, 0x61, 0x301};
    for (std::size_t k = 0; k < 3; ++k)
        EXPECT_EQ(asks[k].args, xrtest::words(nls.handle(), asked[k], XRUnidataGC{0x38}));
    xrextent(nullptr);
}

} // namespace
