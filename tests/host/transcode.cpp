// The transcoders of the loaded libxrkit.so against ICU's converters: every pairing the
// drivers allow, on the whole corpus and on random text over all planes, into outputs
// of exactly the size ICU produces.
#include <gtest/gtest.h>
#include <unicode/ucnv.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <type_traits>
#include <vector>

#include "xr/xrconv.h"
#include "xrhost/loader.h"

namespace {

using Bytes = std::string;

const xrhost::Library& library() {
    static const xrhost::Library lib;
    return lib;
}
XRCvtReader reader(const char* name) {
    return library().fn<std::remove_pointer_t<XRCvtReader>>(name);
}
XRCvtWriter writer(const char* name) {
    return library().fn<std::remove_pointer_t<XRCvtWriter>>(name);
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
    const char* icuName;
    const char* reader;
    const char* writer;
};
const Side kSides[] = {
    {"UTF-8", "UTF8_UTF32", "UTF32_UTF8"},
    {"UTF-16BE", "UTF16_UTF32", "UTF32_UTF16s_SWAP"},
    {"UTF-16LE", "UTF16_UTF32_SWAP", "UTF32_UTF16s"},
    {"UTF-32BE", "COPY_UTF32b", "COPY_UTF32"},
    {"UTF-32LE", "COPY_UTF32b_SWAP", "COPY_UTF32_SWAP"},
};
const Side kUtf32Sides[] = {kSides[3], kSides[4]};

std::vector<std::pair<std::string, Bytes>> texts() {
    std::vector<std::pair<std::string, Bytes>> out;
    for (const auto& e : std::filesystem::recursive_directory_iterator(XRKIT_CORPUS_DIR)) {
        if (!e.path().string().ends_with(".txt")) continue;
        std::ifstream in(e.path(), std::ios::binary);
        out.emplace_back(e.path().filename().string(), Bytes((std::istreambuf_iterator<char>(in)),
                                                             std::istreambuf_iterator<char>()));
    }
    EXPECT_GE(out.size(), 25u);
    std::mt19937_64 rng(77);
    for (int n = 0; n < 20; ++n) {
        std::u32string s;
        const std::size_t len = rng() % 3000;
        while (s.size() < len) {
            const char32_t cp = static_cast<char32_t>(rng() % 0x110000);
            if (cp < 0xD800 || cp > 0xDFFF) s.push_back(cp);
        }
        Bytes le(reinterpret_cast<const char*>(s.data()), s.size() * 4);
        out.emplace_back("random" + std::to_string(n), icuConvert("UTF-32LE", "UTF-8", le));
    }
    return out;
}

template <class Call>
void expectExact(const Bytes& in, const Bytes& want, Call call, const std::string& what) {
    Bytes out(want.size() + 8, '\xA5');
    XRMemSize used = 0;
    const XRStatus rc = call(reinterpret_cast<XRUtf8*>(const_cast<char*>(in.data())), in.size(),
                             reinterpret_cast<XRUtf8*>(out.data()), want.size(), &used);
    ASSERT_EQ(rc, 0) << what;
    ASSERT_EQ(used, want.size()) << what;
    ASSERT_EQ(out.substr(want.size()), Bytes(8, '\xA5')) << what;
    out.resize(want.size());
    ASSERT_TRUE(out == want) << what;
}

// Every source side into every target side, each through the driver that pairs them.
template <std::size_t A, std::size_t B, class Driver>
void expectPairings(const std::string& name, const Bytes& utf8, const Side (&from)[A],
                    const Side (&to)[B], Driver driver) {
    for (const Side& src : from) {
        const Bytes in = icuConvert("UTF-8", src.icuName, utf8);
        for (const Side& dst : to) {
            std::string what = name;
            what.append(" ").append(src.icuName).append(" -> ").append(dst.icuName);
            expectExact(
                in, icuConvert(src.icuName, dst.icuName, in),
                [&](XRUtf8* s, XRMemSize sl, XRUtf8* d, XRMemSize dl, XRMemSize* u) {
                    return driver(s, sl, d, dl, u, src, dst);
                },
                what);
        }
    }
}

TEST(TranscodeVsIcu, EveryPairingOnCorpusAndRandomText) {
    auto* to32 = library().fn<decltype(ConvertToUTF32)>("ConvertToUTF32");
    auto* from32 = library().fn<decltype(ConvertFromUTF32)>("ConvertFromUTF32");
    for (const auto& [name, utf8] : texts()) {
        expectPairings(name, utf8, kSides, kUtf32Sides,
                       [&](XRUtf8* s, XRMemSize sl, XRUtf8* d, XRMemSize dl, XRMemSize* u,
                           const Side& src, const Side& dst) {
                           return to32(s, sl, d, dl, u, reader(src.reader), writer(dst.writer));
                       });
        expectPairings(name, utf8, kUtf32Sides, kSides,
                       [&](XRUtf8* s, XRMemSize sl, XRUtf8* d, XRMemSize dl, XRMemSize* u,
                           const Side& src, const Side& dst) {
                           return from32(s, sl, d, dl, u, writer(dst.writer), reader(src.reader));
                       });
    }
}

} // namespace
