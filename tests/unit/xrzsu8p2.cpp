// Modified UTF-8 and the character classes: every case of the two converters with
// exact-size outputs and guard bytes, round trips, and the host calls of IsCombining.
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "recording.h"
#include "utf8_reference.h"
#include "xr/xrentry.h"
#include "xr/xrutf8.h"

namespace {

using xrref::Bytes;
using Converter = XRStatus (*)(UTF8Str, UTF8ByteLength, UTF8Str, UTF8ByteLength, UTF8ByteLength*,
                               XRFlags);

Bytes b(const char* s, std::size_t n) { return Bytes(reinterpret_cast<const std::uint8_t*>(s), n); }
template <std::size_t N> Bytes b(const char (&s)[N]) { return b(s, N - 1); }

constexpr std::uint8_t kJunk = 0xEE;

struct Result {
    XRStatus rc;
    Bytes out;
    UTF8ByteLength cvtL;
};

// Runs cvt into exactly room bytes followed by guard bytes; checks the guards and that
// *cvtL covers what was written.
Result run(Converter cvt, Bytes in, std::size_t room, XRFlags opt) {
    Bytes buf(room + 8, kJunk);
    UTF8ByteLength cvtL = 12345;
    const XRStatus rc = cvt(in.data(), in.size(), buf.data(), room, &cvtL, opt);
    EXPECT_EQ(buf.substr(room), Bytes(8, kJunk)) << "wrote past the destination";
    EXPECT_LE(cvtL, room);
    UTF8ByteLength again = 0;
    Bytes other(room + 1, kJunk);
    EXPECT_EQ(cvt(in.data(), in.size(), other.data(), room, nullptr, opt), rc);
    cvt(in.data(), in.size(), other.data(), room, &again, opt);
    EXPECT_EQ(again, cvtL);
    return {rc, buf.substr(0, cvtL), cvtL};
}

constexpr XRStatus kIllegal = XRStatusIllegalSequence;
constexpr XRStatus kTooSmall = XRStatusBufferTooSmall;

struct Case {
    Bytes in;
    XRFlags opt;
    Bytes out;
    XRStatus rc;
};

TEST(Utf8Encode, EveryCase) {
    const Bytes smile = b("\xF0\x9F\x98\x80"), pair = b("\xED\xA0\xBD\xED\xB8\x80");
    const Bytes fffd = b("\xEF\xBF\xBD");
    const Case cases[] = {
        {b("A\0B", 3), 0x1, b("A\xC0\x80" "B"), 0},
        {b("A\0B", 3), 0, b("A\0B", 3), 0},
        {b("A\0B", 3), 0x5, b("A\xC0\x80" "B"), 0},
        {smile, 0, pair, 0},
        {smile, 0x1, pair, 0},
        {smile, 0x5, pair, 0},
        {smile, 0x4, fffd, kIllegal},
        {smile, 0x8, pair, 0}, // other bits are ignored
        {b("\xF4\x8F\xBF\xBF"), 0, b("\xED\xAF\xBF\xED\xBF\xBF"), 0},
        {b("\xF0\x90\x80\x80"), 0, b("\xED\xA0\x80\xED\xB0\x80"), 0},
        // No surrogate pair exists beyond U+10FFFF or for overlong forms.
        {b("\xF4\x90\x80\x80" "a"), 0, fffd + b("a"), kIllegal},
        {b("\xF5\x80\x80\x80"), 0, fffd, kIllegal},
        {b("\xF0\x8F\xBF\xBF"), 0, fffd, kIllegal},
        {b("\x80"), 0, fffd, kIllegal},
        {b("\xE3\x81"), 0, fffd, kIllegal},
        {b("\xE3\x81" "a"), 0, fffd + b("a"), kIllegal},
        {b("\xE3" "ab"), 0, fffd + b("ab"), kIllegal},
        {b("\xF0\x9F\x98"), 0x1, fffd, kIllegal},
        {b("\xFC\x80\x80\x80\x80\x80"), 0, b("\xFC\x80\x80\x80\x80\x80"), 0},
        {b("\xF8\x80\x80\x80\x80"), 0x1, b("\xF8\x80\x80\x80\x80"), 0},
        {b("\xC0\x80"), 0, b("\xC0\x80"), 0},
        {b("\xC0\x80"), 0x1, b("\xC0\x80"), 0},
        {b("\xC0\x80"), 0x4, b("\xC0\x80"), 0},
        {b("\xE0\x80\x80"), 0, b("\xE0\x80\x80"), 0},
        {b("\xED\xA0\xBD"), 0, fffd, kIllegal},
        {b("\xED\x9F\xBF"), 0, b("\xED\x9F\xBF"), 0},
        {b("\xC3\xA9\xE2\x82\xAC"), 0x1, b("\xC3\xA9\xE2\x82\xAC"), 0},
        {b(""), 0, b(""), 0},
    };
    for (const auto& c : cases) {
        const Result r = run(xrzsu8Encode, c.in, c.out.size(), c.opt);
        EXPECT_EQ(r.rc, c.rc) << testing::PrintToString(c.in) << " opt " << c.opt;
        EXPECT_EQ(r.out, c.out) << testing::PrintToString(c.in) << " opt " << c.opt;
    }
}

TEST(Utf8Decode, EveryCase) {
    const Bytes fffd = b("\xEF\xBF\xBD");
    const Case cases[] = {
        {b("\xED\xA0\xBD\xED\xB8\x80"), 0, b("\xF0\x9F\x98\x80"), 0},
        {b("\xED\xA0\xBD\xED\xB8\x80"), 0x1, b("\xF0\x9F\x98\x80"), 0},
        {b("\xED\xA0\xBD" "A"), 0, fffd + b("A"), kIllegal},
        {b("\xED\xA0\xBD"), 0, fffd, kIllegal},
        {b("\xED\xB8\x80"), 0, fffd, kIllegal},
        {b("\xED\xA0\xBD\xE3\x81"), 0, fffd + fffd, kIllegal},
        {b("\xED\xA0\xBD\x80"), 0, fffd + fffd, kIllegal},
        {b("\xC0\x80"), 0x1, b("\0", 1), 0},
        {b("\xC0\x80"), 0, fffd, kIllegal},
        {b("a\xC0\x80z"), 0x5, b("a\0z", 3), 0},
        {b("\x80"), 0, fffd, kIllegal},
        {b("\xF8\x80\x80\x80\x80" "a"), 0, fffd + b("a"), kIllegal},
        {b("\xE3\x81"), 0, fffd, kIllegal},
        {b("\xF0\x9F\x98\x80"), 0, b("\xF0\x9F\x98\x80"), 0},
        {b("\xE0\x80\x80"), 0, b("\xE0\x80\x80"), 0},
        {b("a\0b", 3), 0x1, b("a\0b", 3), 0},
        {b(""), 0, b(""), 0},
        {b(""), 0x4, b(""), 0},
        // The pending sequence supplies the high bits whatever its range.
        {b("\xED\xB0\x80\xED\xA0\x80"), 0, b("\xF0\x90\x80\x80"), 0},
        // The copy path: nothing converted.
        {b("\xED\xA0\xBD\xED\xB8\x80"), 0x4, b("\xED\xA0\xBD\xED\xB8\x80"), 0},
        {b("a\xC0\x80"), 0x4, b("   "), kTooSmall}, // an invalid lead rejects it all
        {b("ab\xE3\x81"), 0x4, b("ab  "), kTooSmall},
    };
    for (const auto& c : cases) {
        // The copy path fills the field with blanks beyond what it counts.
        const std::size_t room = c.opt == 0x4 ? c.in.size() : c.out.size();
        Bytes buf(room + 8, kJunk);
        UTF8ByteLength cvtL = 999;
        const XRStatus rc = xrzsu8Decode(const_cast<std::uint8_t*>(c.in.data()), c.in.size(),
                                         buf.data(), room, &cvtL, c.opt);
        EXPECT_EQ(rc, c.rc) << testing::PrintToString(c.in) << " opt " << c.opt;
        if (c.opt == 0x4) {
            EXPECT_EQ(buf.substr(0, room), c.out);
        } else {
            EXPECT_EQ(cvtL, c.out.size());
            EXPECT_EQ(buf.substr(0, cvtL), c.out) << testing::PrintToString(c.in);
        }
        EXPECT_EQ(buf.substr(room), Bytes(8, kJunk));
    }
}

TEST(Utf8Decode, CopyPathIntoASmallerField) {
    Bytes buf(10, kJunk);
    UTF8ByteLength cvtL = 999;
    Bytes in = b("a\xC3\xA9");
    EXPECT_EQ(xrzsu8Decode(in.data(), 3, buf.data(), 2, &cvtL, 0x4), kTooSmall);
    EXPECT_EQ(cvtL, 1u);
    EXPECT_EQ(buf.substr(0, 3), b("a \xEE"));
}

// A full destination stops on a whole output character with what fits so far.
TEST(Utf8Convert, RoomRunsOutOnAWholeCharacter) {
    struct RoomCase {
        Converter cvt;
        Bytes in;
        XRFlags opt;
        std::size_t room;
        Bytes out;
    } cases[] = {
        {xrzsu8Encode, b("abc"), 0, 2, b("ab")},
        {xrzsu8Encode, b("a\xF0\x9F\x98\x80"), 0, 6, b("a")},
        {xrzsu8Encode, b("a\0", 2), 1, 2, b("a")},
        {xrzsu8Encode, b("a\x80"), 0, 3, b("a")},
        {xrzsu8Encode, b("\xC3\xA9"), 0, 1, b("")},
        {xrzsu8Decode, b("a\xED\xA0\xBD\xED\xB8\x80"), 0, 4, b("a")},
        {xrzsu8Decode, b("a\xC0\x80"), 1, 1, b("a")},
        // The replacement for a pending surrogate counts; the next one does not fit.
        {xrzsu8Decode, b("\xED\xA0\xBD\xE3\x81"), 0, 5, b("\xEF\xBF\xBD")},
        {xrzsu8Decode, b("\xED\xA0\xBD" "a"), 0, 3, b("\xEF\xBF\xBD")},
        {xrzsu8Decode, b("a\xED\xA0\xBD"), 0, 3, b("a")},
    };
    for (const auto& c : cases) {
        const Result r = run(c.cvt, c.in, c.room, c.opt);
        EXPECT_EQ(r.rc, kTooSmall) << testing::PrintToString(c.in);
        EXPECT_EQ(r.out, c.out) << testing::PrintToString(c.in);
    }
}

// Random well-formed text: Encode agrees with modified UTF-8 built from UTF-16, and
// Decode gives the text back.
TEST(Utf8Convert, WellFormedTextAgainstUtf16AndBack) {
    std::mt19937_64 rng(3);
    for (int i = 0; i < 30000; ++i) {
        Bytes text;
        for (int n = static_cast<int>(rng() % 12); n > 0; --n) {
            const auto r = rng();
            std::uint32_t cp;
            switch (r % 5) {
            case 0: cp = static_cast<std::uint32_t>(r >> 8) % 0x80; break;
            case 1: cp = 0x80 + static_cast<std::uint32_t>(r >> 8) % 0x780; break;
            case 2: cp = 0x800 + static_cast<std::uint32_t>(r >> 8) % 0xF800; break;
            default: cp = 0x10000 + static_cast<std::uint32_t>(r >> 8) % 0x100000; break;
            }
            if (cp >= 0xD800 && cp < 0xE000) cp = 0;
            text += xrref::utf8(cp);
        }
        for (XRFlags opt : {0u, 1u, 5u}) {
            const Bytes want = xrref::modifiedUtf8(text, opt & 1);
            const Result enc = run(xrzsu8Encode, text, want.size(), opt);
            ASSERT_EQ(enc.rc, 0);
            ASSERT_EQ(enc.out, want) << testing::PrintToString(text);
            const Result dec = run(xrzsu8Decode, enc.out, text.size(), opt);
            ASSERT_EQ(dec.rc, 0);
            ASSERT_EQ(dec.out, text);
        }
    }
}

XRBoolean isLetterX(XRChar c) { return c == 0x10400 ? 0x01 : c == 0xFFFD ? 0x00 : 0x00; }
XRBoolean echoLow(XRChar c) { return static_cast<XRBoolean>(c); }

TEST(Utf8Classes, IsFunctPassesTheCodePoint) {
    std::uint8_t deseret[] = {0xF0, 0x90, 0x90, 0x80};
    EXPECT_EQ(_XRZSU8IsFunct(deseret, isLetterX), 1);
    std::uint8_t a[] = {0x41};
    EXPECT_EQ(_XRZSU8IsFunct(a, echoLow), 0x41);
    std::uint8_t bad[] = {0xC0, 0x80};
    EXPECT_EQ(_XRZSU8IsFunct(bad, echoLow), 0xFD); // U+FFFD
    std::uint8_t e9[] = {0xC3, 0xA9};
    EXPECT_EQ(_XRZSU8IsFunct(e9, echoLow), 0xE9);
}

TEST(Utf8Classes, IsCombiningLoadsUnicodeDataOnce) {
    xrtest::Recorder r;
    xrtest::RecordingHost host(r);
    xrtest::RecordingNls nls(r);
    host.rec.xrnls = nls.handle();
    nls.rec.ext.hndl = host.handle();
    xrextent(host.handle());

    std::uint8_t zwj[] = {0xE2, 0x80, 0x8D}, zwnj[] = {0xE2, 0x80, 0x8C};
    EXPECT_EQ(xrzsu8IsCombining(zwj), XR_TRUE);
    EXPECT_EQ(xrzsu8IsCombining(zwnj), XR_TRUE);
    EXPECT_TRUE(r.calls.empty());

    XR_EXT_S unidata{};
    r.script("loadExtension", 0); // the first load fails: tried again next time
    r.script("loadExtension", xrtest::word(&unidata));
    r.script("charIsCategory", 1);
    r.script("charIsCategory", 0);
    r.script("charIsCategory", 1);
    std::uint8_t acute[] = {0xCC, 0x81}, a[] = {0x61};
    EXPECT_EQ(xrzsu8IsCombining(acute), 1);
    EXPECT_EQ(nls.rec.unidataExt, nullptr);
    EXPECT_EQ(xrzsu8IsCombining(a), 0);
    EXPECT_EQ(nls.rec.unidataExt, &unidata);
    EXPECT_EQ(xrzsu8IsCombining(acute), 1);

    const auto loads = r.named("loadExtension");
    ASSERT_EQ(loads.size(), 2u);
    for (const auto& call : loads) {
        ASSERT_EQ(call.args.size(), 4u);
        EXPECT_EQ(call.args[0], xrtest::word(host.handle()));
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(call.args[1]), 8), "xrnlsudb");
        EXPECT_EQ(call.args[2], 8u);
        EXPECT_EQ(call.args[3], 0u);
    }
    const auto asks = r.named("charIsCategory");
    ASSERT_EQ(asks.size(), 3u);
    EXPECT_EQ(asks[0].args, xrtest::words(nls.handle(), XRChar{0x301}, XRUnidataGC{0x38}));
    EXPECT_EQ(asks[1].args, xrtest::words(nls.handle(), XRChar{0x61}, XRUnidataGC{0x38}));
    xrextent(nullptr);
}

} // namespace
