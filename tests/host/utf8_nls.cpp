// The UTF-8 kit through the real library and the ICU-backed reference host: CESU-8 and
// modified UTF-8 against ICU's converter with round trips, on the corpus and on random
// well-formed text from every plane, and the combining marks of the Unicode data. (Case
// folding through this host: tests/host/case_nls.cpp; its use by the comparisons: the
// unit tests.)
#include <gtest/gtest.h>

#include <unicode/ucnv.h>
#include <unicode/utf8.h>

#include <random>

#include "run.h"
#include "xr/xrutf8.h"
#include "xrhost/host.h"
#include "xrhost/loader.h"
#include "xrhost/nls.h"

namespace {

using Bytes = std::basic_string<std::uint8_t>;
using namespace std::string_literals;

struct Kit {
    xrhost::Host host;
    xrhost::Nls nls{host};
    xrhost::Library lib{XRKIT_LIBRARY_FILE};
    Kit() { nls.attach(), lib.attach(host.handle()); }
};
#define KIT_FN(f) kit.lib.fn<decltype(f)>(#f) // the loaded library's function f

Bytes b(const std::string& s) {
    return Bytes(s.begin(), s.end());
}

Bytes icuCesu8(const Bytes& utf8) {
    UErrorCode err = U_ZERO_ERROR;
    std::string out(utf8.size() * 2 + 16, '\0');
    const int32_t n = ucnv_convert("CESU-8", "UTF-8", out.data(), static_cast<int32_t>(out.size()),
                                   reinterpret_cast<const char*>(utf8.data()),
                                   static_cast<int32_t>(utf8.size()), &err);
    EXPECT_TRUE(U_SUCCESS(err)) << u_errorName(err);
    return b(out.substr(0, static_cast<std::size_t>(n)));
}

// Well-formed text: corpus files, a few boundary cases, and random characters of every
// length (NUL included).
std::vector<Bytes> texts() {
    std::vector<Bytes> out{b("n\0l"s),
                           b("\xF0\x9F\x98\x80\xF4\x8F\xBF\xBF\xF0\x90\x80\x80 \xEF\xBF\xBF")};
    for (const std::string& path : xrtest::textFiles())
        out.push_back(b(xrtest::readFile(path)));
    std::mt19937_64 rng(3);
    const std::uint64_t below[] = {0x80, 0x800, 0x10000, 0x110000};
    for (int i = 0; i < 20000; ++i) {
        std::uint8_t u[48];
        std::int32_t len = 0;
        for (int n = static_cast<int>(rng() % 12); n > 0; --n) {
            const std::uint64_t limit = below[rng() % 4];
            const auto cp = static_cast<UChar32>(rng() % limit);
            U8_APPEND_UNSAFE(u, len, U_IS_SURROGATE(cp) ? 0 : cp);
        }
        out.emplace_back(u, static_cast<std::size_t>(len));
    }
    return out;
}

// Encode gives ICU's CESU-8 (with option 1, NUL as C0 80) into a room of exactly its size,
// and Decode gives the text back; option 4 is ignored beside option 1.
TEST(Utf8Host, Cesu8AgreesWithIcuAndRoundTrips) {
    Kit kit;
    const auto encode = KIT_FN(xrzsu8Encode), decode = KIT_FN(xrzsu8Decode);
    for (const Bytes& text : texts()) {
        for (XRFlags opt : {0u, 1u, 5u}) {
            Bytes want, back(text.size() + 4, 0xEE);
            for (std::uint8_t c : icuCesu8(text))
                want += c || !opt ? Bytes(1, c) : Bytes{0xC0, 0x80};
            Bytes out(want.size() + 4, 0xEE);
            UTF8ByteLength cvtL = 0, backL = 0;
            Bytes in = text;
            ASSERT_EQ(encode(in.data(), in.size(), out.data(), want.size(), &cvtL, opt), 0);
            ASSERT_EQ(std::pair(cvtL, out), std::pair(want.size(), want + Bytes(4, 0xEE)));
            ASSERT_EQ(decode(out.data(), cvtL, back.data(), text.size(), &backL, opt), 0);
            ASSERT_EQ(std::pair(backL, back), std::pair(text.size(), text + Bytes(4, 0xEE)));
        }
    }
}

TEST(Utf8Host, CombiningMarksFromTheUnicodeData) {
    Kit kit;
    EXPECT_EQ(kit.nls.record().unidataExt, nullptr);
    // U+0301, U+093F, U+20DD, U+200D, U+200C, a, U+00E9, U+4E2D, U+1F600, U+1D167.
    const std::pair<std::string, bool> marks[] = {
        {"\xCC\x81", true},        {"\xE0\xA4\xBF", true},  {"\xE2\x83\x9D", true},
        {"\xE2\x80\x8D", true},    {"\xE2\x80\x8C", true},  {"a", false},
        {"\xC3\xA9", false},       {"\xE4\xB8\xAD", false}, {"\xF0\x9F\x98\x80", false},
        {"\xF0\x9D\x85\xA7", true}};
    for (auto [ch, combining] : marks)
        EXPECT_EQ(KIT_FN(xrzsu8IsCombining)(reinterpret_cast<std::uint8_t*>(ch.data())),
                  combining ? 1 : 0)
            << testing::PrintToString(ch);
    EXPECT_EQ(kit.nls.record().unidataExt, kit.host.unidata());
    EXPECT_EQ(kit.host.unidataLoads(), 1);
}

} // namespace
