// The reference host's formatter, catalog, journal and library loader.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "xr/xrdump.h"
#include "xr/xrjournal.h"
#include "xrhost/format.h"
#include "xrhost/host.h"
#include "xrhost/journal.h"
#include "xrhost/loader.h"

namespace {

using xrhost::format;
using xrhost::toUtf8;
using xrhost::XRText;

std::string fmt8(const char* f, auto... v) {
    return toUtf8(format(f, v...));
}

TEST(Formatter, Directives) {
    const XRText greek = xrhost::zText("αβγ");
    const XRChar* g = greek.data();
    struct {
        std::string got, want;
    } cases[] = {
        {fmt8("%d|%5d|%-5d|%05d|%+d", -3, 42, 42, 42, 7), "-3|   42|42   |00042|+7"},
        {fmt8("%u %x %X %o %#x", 4000000000u, 255u, 255u, 8u, 255u), "4000000000 ff FF 10 0xff"},
        {fmt8("%ld %lld %lu %zu %jd", -5000000000L, -1LL, ~0UL, std::size_t{9}, INT64_MIN),
         "-5000000000 -1 18446744073709551615 9 -9223372036854775808"},
        {fmt8("%hhd %hd %hhu", 300, 70000, 511), "44 4464 255"},
        {fmt8("%c%c%c", 'a', 0x3B1, 0x1F600), "aα😀"},
        {fmt8("[%s] [%.2s] [%5s] [%-4s]", g, g, g, g), "[αβγ] [αβ] [  αβγ] [αβγ ]"},
        {fmt8("%hs|%s|%hs", "ütf8", static_cast<XRChar*>(nullptr), static_cast<char*>(nullptr)),
         "ütf8|(null)|(null)"},
        {fmt8("%016p %p %#p", reinterpret_cast<void*>(0xabc), reinterpret_cast<void*>(0x10),
              reinterpret_cast<void*>(0x10)),
         "0000000000000abc 10 0x10"},
        {fmt8("%.3f %e %g %Lg", 3.14159, 1e10, 0.5, 2.5L), "3.142 1.000000e+10 0.5 2.5"},
        {fmt8("%*d|%-*d|%.*s", 4, 1, 3, 2, 1, g), "   1|2  |α"},
        {fmt8("100%% %q %"), "100% %q %"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.got, c.want);
}

TEST(Catalog, DumpTemplatesTakeExactlyTheLineArgumentsAndLookLikeHexdump) {
    xrhost::Catalog catalog;
    xrhost::Journal journal(catalog);
    XRChar prefix[] = {'P', 0};
    const char bytes[] = "Hello world\n\x01\x7f\x80 ~";
    auto line = [&](XRStatus base, auto... lead) {
        const auto* p = reinterpret_cast<const std::uint8_t*>(bytes);
        return xrlStatusToJnl(journal.handle(), XRSeverityNone, base + 2, lead..., (void*)0x1000,
                              int(p[0]), int(p[1]), int(p[2]), 'H', 'e', 'l');
    };
    int owner;
    ASSERT_EQ(line(XRDumpCodeNeither), 0);
    ASSERT_EQ(line(XRDumpCodePrefix, prefix), 0);
    ASSERT_EQ(line(XRDumpCodeOwner, (void*)&owner), 0);
    ASSERT_EQ(line(XRDumpCodePrefixOwner, prefix, (void*)&owner), 0);
    const std::string body =
        "0000000000001000  48 65 6c" + std::string(3 * 13 + 1, ' ') + "  |Hel|";
    char ownerText[64];
    std::snprintf(ownerText, sizeof ownerText, "(owner %#lx) ",
                  (unsigned long)(std::uintptr_t)&owner);
    EXPECT_EQ(journal.lines(), (std::vector<std::string>{body, "P " + body, ownerText + body,
                                                         "P " + std::string(ownerText) + body}));

    // As offsets: the line address moved and in 8 digits, the owner as it was.
    catalog.setDumpAddressDigits(8);
    catalog.setDumpAddressShift(-0xFF0);
    ASSERT_EQ(line(XRDumpCodeOwner, (void*)&owner), 0);
    ASSERT_EQ(line(XRDumpCodePrefix, prefix), 0);
    const std::string moved = "00000010" + body.substr(16);
    EXPECT_EQ(journal.lines().at(4), ownerText + moved);
    EXPECT_EQ(journal.lines().at(5), "P " + moved);
}

TEST(Journal, SeverityTagsBufferCutsAndUnknownCodes) {
    xrhost::Catalog catalog;
    xrhost::Journal journal(catalog);
    const XRText f = xrhost::fromUtf8("n=%d");
    ASSERT_EQ(xrlMessageToJnl(journal.handle(), XRSeverityNote, f.data(), f.size(), 5), 0);
    ASSERT_EQ(xrlMessageToJnl(journal.handle(), XRSeverityWarning, f.data(), f.size(), 6), 0);
    ASSERT_EQ(xrlMessageToJnl(journal.handle(), XRSeverityError, f.data(), f.size(), 7), 0);
    ASSERT_EQ(xrlStatusToJnl(journal.handle(), XRSeverityNone, XRStatusIllegalSequence), 0);
    ASSERT_EQ(xrlStatusToJnl(journal.handle(), XRSeverityNone, 0x12345678, 1, 2, 3), 0);
    EXPECT_EQ(journal.lines(),
              (std::vector<std::string>{"note: n=5", "warning: n=6", "error: n=7",
                                        "The input holds an illegal character sequence.",
                                        "status 0x12345678 (no catalog text)"}));

    XRChar buf[6];
    std::fill(std::begin(buf), std::end(buf), 0x7777);
    XRStrSize cnv = -1;
    const XRText g = xrhost::fromUtf8("%s!");
    const XRText hello = xrhost::zText("hello");
    EXPECT_EQ(xrlMessageToBuf(journal.handle(), g.data(), g.size(), buf, 4, &cnv, hello.data()),
              XRStatusBufferTooSmall);
    EXPECT_EQ(cnv, 4);
    EXPECT_EQ(toUtf8(buf, 4), "hell");
    EXPECT_EQ(buf[4], 0x7777) << "nothing past msgL";
    EXPECT_EQ(xrlMessageToBuf(journal.handle(), g.data(), g.size(), buf, 6, &cnv, hello.data()), 0);
    EXPECT_EQ(cnv, 6);
    EXPECT_EQ(xrlStatusToBuf(journal.handle(), XRStatusUnsupported, buf, 6, &cnv),
              XRStatusBufferTooSmall);
    EXPECT_EQ(toUtf8(buf, 6), "The op");
}

TEST(Loader, AttachesTheRealLibraryAndFindsItsSymbols) {
    xrhost::Host host;
    xrhost::Library lib(XRKIT_LIBRARY_FILE);
    lib.attach(host.handle());
    EXPECT_EQ(lib.major(), 9u);
    EXPECT_EQ(lib.minor(), 1u);
    EXPECT_EQ(*static_cast<XRHndlp*>(lib.symbol("Exported_XRHandle")), host.handle());
    EXPECT_EQ(lib.symbol("no_such_name"), nullptr);
    EXPECT_THROW(lib.fn<void()>("no_such_name"), xrhost::LoadError);
    EXPECT_THROW(xrhost::Library("/nonexistent/libxrkit.so.9"), xrhost::LoadError);
    // A library named by XRKIT_LIBRARY is that one or none.
    setenv("XRKIT_LIBRARY", "/nonexistent/libxrkit.so.9", 1);
    try {
        xrhost::Library named;
        ADD_FAILURE() << "loaded " << named.path();
    } catch (const xrhost::LoadError& e) {
        EXPECT_STREQ(e.what(), "/nonexistent/libxrkit.so.9: cannot open shared object file: No "
                               "such file or directory");
    }
    unsetenv("XRKIT_LIBRARY");
}

} // namespace
