// The UTF-8 kit through the real library and the ICU-backed reference host: CESU-8
// against ICU's converter, modified UTF-8 round trips on the corpus, case-blind
// comparison with ICU's case mapping, and the combining marks of the Unicode data.
#include <gtest/gtest.h>

#include <unicode/ucnv.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "utf8_reference.h"
#include "xr/xrutf8.h"
#include "xrhost/host.h"
#include "xrhost/loader.h"
#include "xrhost/nls.h"

namespace {

using xrref::Bytes;

struct Kit {
    xrhost::Host host;
    xrhost::Nls nls{host};
    xrhost::Library lib;
    decltype(xrzsu8Encode)* encode = lib.fn<decltype(xrzsu8Encode)>("xrzsu8Encode");
    decltype(xrzsu8Decode)* decode = lib.fn<decltype(xrzsu8Decode)>("xrzsu8Decode");
    decltype(xrzsu8NormCompare)* normCompare =
        lib.fn<decltype(xrzsu8NormCompare)>("xrzsu8NormCompare");
    decltype(xrzsu8NormEqual)* normEqual = lib.fn<decltype(xrzsu8NormEqual)>("xrzsu8NormEqual");
    decltype(xrzsu8IsCombining)* isCombining =
        lib.fn<decltype(xrzsu8IsCombining)>("xrzsu8IsCombining");
    Kit() {
        nls.attach();
        lib.attach(host.handle());
    }
};

Bytes b(const char* s) { return Bytes(reinterpret_cast<const std::uint8_t*>(s), std::strlen(s)); }

std::vector<Bytes> corpus() {
    std::vector<Bytes> out;
    for (const auto& e : std::filesystem::recursive_directory_iterator(XRKIT_CORPUS_DIR)) {
        if (!e.is_regular_file() || e.path().extension() != ".txt") continue;
        std::ifstream in(e.path(), std::ios::binary);
        std::string s((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        out.emplace_back(s.begin(), s.end());
    }
    return out;
}

Bytes icuCesu8(const Bytes& utf8) {
    UErrorCode err = U_ZERO_ERROR;
    std::string out(utf8.size() * 2 + 16, '\0');
    const int32_t n = ucnv_convert("CESU-8", "UTF-8", out.data(), static_cast<int32_t>(out.size()),
                                   reinterpret_cast<const char*>(utf8.data()),
                                   static_cast<int32_t>(utf8.size()), &err);
    EXPECT_TRUE(U_SUCCESS(err)) << u_errorName(err);
    return Bytes(reinterpret_cast<const std::uint8_t*>(out.data()), static_cast<std::size_t>(n));
}

TEST(Utf8Host, Cesu8AgreesWithIcuAndRoundTrips) {
    Kit kit;
    auto texts = corpus();
    ASSERT_FALSE(texts.empty());
    texts.push_back(Bytes{0x6E, 0x00, 0x6C});
    texts.push_back(b("\xF0\x9F\x98\x80\xF4\x8F\xBF\xBF\xF0\x90\x80\x80 \xEF\xBF\xBF"));
    for (const Bytes& text : texts) {
        for (XRFlags opt : {0u, 1u}) {
            const Bytes want = opt ? xrref::modifiedUtf8(text, true) : icuCesu8(text);
            Bytes out(want.size() + 4, 0xEE);
            UTF8ByteLength cvtL = 0;
            ASSERT_EQ(kit.encode(const_cast<std::uint8_t*>(text.data()), text.size(), out.data(),
                                 want.size(), &cvtL, opt),
                      0);
            ASSERT_EQ(cvtL, want.size());
            ASSERT_EQ(out.substr(0, cvtL), want);
            ASSERT_EQ(out.substr(cvtL), Bytes(4, 0xEE));
            Bytes back(text.size(), 0xEE);
            ASSERT_EQ(kit.decode(out.data(), cvtL, back.data(), back.size(), &cvtL, opt), 0);
            ASSERT_EQ(cvtL, text.size());
            ASSERT_EQ(back, text);
        }
    }
}

TEST(Utf8Host, CaseBlindWithIcuCaseMapping) {
    Kit kit;
    struct Case {
        Bytes x, y;
        int order;
        bool equal;
    } cases[] = {
        {b("\xC3\x89T\xC3\x89"), b("\xC3\xA9t\xC3\xA9"), -1, true},    // ÉTÉ / été
        {b("\xCE\xA3\xCE\xB1"), b("\xCF\x83\xCE\xB1"), -1, true},      // Σα / σα
        {b("\xD0\x96\xD0\xB0"), b("\xD0\xB6\xD0\xB1"), -2, false},     // Жа / жб
        {b("\xF0\x90\x90\x80"), b("\xF0\x90\x90\xA8"), -1, true},      // Deseret Long I
        {b("\xE2\x84\xAA" "b"), b("kz"), -2, false},                   // Kelvin sign
        {b("stra\xC3\x9F" "e  "), b("STRA\xC3\x9F" "E"), 1, false},
        {b("\xE4\xB8\xAD\xE6\x96\x87"), b("\xE4\xB8\xAD\xE6\x96\x87"), 0, true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(kit.normCompare(c.x.data(), c.x.size(), c.y.data(), c.y.size()), c.order)
            << testing::PrintToString(c.x);
        EXPECT_EQ(kit.normEqual(c.x.data(), c.x.size(), c.y.data(), c.y.size()), c.equal ? 1 : 0)
            << testing::PrintToString(c.x);
    }
}

TEST(Utf8Host, CombiningMarksFromTheUnicodeData) {
    Kit kit;
    EXPECT_EQ(kit.nls.record().unidataExt, nullptr);
    struct Case {
        std::uint32_t cp;
        bool combining;
    } cases[] = {
        {0x301, true}, {0x93F, true}, {0x20DD, true}, {0x200D, true}, {0x200C, true},
        {0x61, false}, {0xE9, false}, {0x4E2D, false}, {0x1F600, false}, {0x1D167, true},
    };
    for (const auto& c : cases) {
        Bytes ch = xrref::utf8(c.cp);
        EXPECT_EQ(kit.isCombining(ch.data()), c.combining ? 1 : 0) << std::hex << c.cp;
    }
    EXPECT_EQ(kit.nls.record().unidataExt, kit.host.unidata());
    EXPECT_EQ(kit.host.unidataLoads(), 1);
}

} // namespace
