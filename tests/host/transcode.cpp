// The transcoders of the loaded libxrkit.so against ICU's converters: every pairing the
// drivers allow, on the whole corpus and on random text over all planes, into outputs
// of exactly the size ICU produces.
#include <gtest/gtest.h>
#include <unicode/ucnv.h>

#include <filesystem>
#include <random>
#include <string>
#include <type_traits>

#include "run.h"
#include "xr/xrconv.h"
#include "xrhost/loader.h"

namespace {

using Bytes = std::string;

const xrhost::Library& library() {
    static const xrhost::Library lib;
    return lib;
}

Bytes icuConvert(const char* from, const char* to, const Bytes& in) {
    UErrorCode e = U_ZERO_ERROR;
    Bytes out(in.size() * 4 + 16, '\0');
    const int32_t n = ucnv_convert(to, from, out.data(), static_cast<int32_t>(out.size()),
                                   in.data(), static_cast<int32_t>(in.size()), &e);
    EXPECT_TRUE(U_SUCCESS(e)) << from << " -> " << to << ": " << u_errorName(e);
    out.resize(static_cast<std::size_t>(n));
    return out;
}

struct Side {
    const char *icuName, *reader, *writer;
    bool utf32;
};
const Side kSides[] = {
    {"UTF-8", "UTF8_UTF32", "UTF32_UTF8", false},
    {"UTF-16BE", "UTF16_UTF32", "UTF32_UTF16s_SWAP", false},
    {"UTF-16LE", "UTF16_UTF32_SWAP", "UTF32_UTF16s", false},
    {"UTF-32BE", "COPY_UTF32b", "COPY_UTF32", true},
    {"UTF-32LE", "COPY_UTF32b_SWAP", "COPY_UTF32_SWAP", true},
};

// Exact-size output, guard bytes after it, status 0 and usedL equal to ICU's length.
void expectExact(const Bytes& in, const Bytes& want, const std::string& what, auto driver) {
    Bytes out(want.size() + 8, '\xA5');
    XRMemSize used = 0;
    ASSERT_EQ(driver(reinterpret_cast<XRUtf8*>(const_cast<char*>(in.data())), in.size(),
                     reinterpret_cast<XRUtf8*>(out.data()), want.size(), &used),
              0)
        << what;
    ASSERT_EQ(used, want.size()) << what;
    ASSERT_EQ(out.substr(want.size()), Bytes(8, '\xA5')) << what;
    ASSERT_TRUE(out.substr(0, want.size()) == want) << what;
}

// Any side into a UTF-32 side through ConvertToUTF32, a UTF-32 side into any side through
// ConvertFromUTF32 (UTF-32 to UTF-32 through both).
void expectPairings(const std::string& name, const Bytes& utf8) {
    using R = std::remove_pointer_t<XRCvtReader>;
    using W = std::remove_pointer_t<XRCvtWriter>;
    auto* const to32 = library().fn<decltype(ConvertToUTF32)>("ConvertToUTF32");
    auto* const from32 = library().fn<decltype(ConvertFromUTF32)>("ConvertFromUTF32");
    for (const Side& src : kSides) {
        const Bytes in = icuConvert("UTF-8", src.icuName, utf8);
        for (const Side& dst : kSides) {
            const Bytes want = icuConvert(src.icuName, dst.icuName, in);
            const std::string what = name + " " + src.icuName + " -> " + dst.icuName;
            XRCvtReader r = library().fn<R>(src.reader);
            XRCvtWriter w = library().fn<W>(dst.writer);
            if (dst.utf32)
                expectExact(in, want, what + " (to)", [&](auto... a) { return to32(a..., r, w); });
            if (src.utf32)
                expectExact(in, want, what + " (from)",
                            [&](auto... a) { return from32(a..., w, r); });
        }
    }
}

TEST(TranscodeVsIcu, EveryPairingOnCorpusAndRandomText) {
    std::size_t files = 0;
    for (const std::filesystem::path path : xrtest::corpusFiles(true))
        ++files, expectPairings(path.filename(), xrtest::readFile(path));
    EXPECT_GE(files, 25u);
    std::mt19937_64 rng(77);
    for (int n = 0; n < 20; ++n) {
        std::u32string s;
        for (const std::size_t len = rng() % 3000; s.size() < len;) {
            const char32_t cp = static_cast<char32_t>(rng() % 0x110000);
            if (cp < 0xD800 || cp > 0xDFFF) s.push_back(cp);
        }
        const Bytes le(reinterpret_cast<const char*>(s.data()), s.size() * 4);
        expectPairings("random" + std::to_string(n), icuConvert("UTF-32LE", "UTF-8", le));
    }
}

} // namespace
