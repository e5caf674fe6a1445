// Through the loaded libxrkit.so, the drivers given the library's own converter pointers
// (which select the bulk path) and given thin wrappers of the same pointers (which the
// drivers cannot recognise, so they run the per-character loop) give the same result.
// That the dlsym pointers do select the bulk path shows in bench/bench_convert.
#include <gtest/gtest.h>

#include <string>
#include <type_traits>
#include <vector>

#include "xr/xrconv.h"
#include "xrhost/loader.h"

namespace {

const xrhost::Library& library() {
    static const xrhost::Library lib;
    return lib;
}

XRCvtReader gReader;
XRCvtWriter gWriter;
XRStatus wrappedReader(XRUtf8* s, XRMemSize n, XRUtf32* cp, XRMemSize* u) {
    return gReader(s, n, cp, u);
}
XRStatus wrappedWriter(XRUtf32 cp, XRUtf8* d, XRMemSize n, XRMemSize* u) {
    return gWriter(cp, d, n, u);
}

struct Result {
    XRStatus rc;
    XRMemSize used;
    std::vector<XRUtf8> out;
    bool operator==(const Result&) const = default;
};

template <class Call> Result run(std::size_t outSize, Call call) {
    Result r{0, 0, std::vector<XRUtf8>(outSize, 0xA5)};
    r.rc = call(r.out.data(), &r.used);
    return r;
}

template <class F> F* fn(const char* name) {
    return library().fn<F>(name);
}

TEST(TranscodeBulk, LoadedPointersAndWrappedPointersAgree) {
    const auto toUtf32 = fn<decltype(ConvertToUTF32)>("ConvertToUTF32");
    const auto fromUtf32 = fn<decltype(ConvertFromUTF32)>("ConvertFromUTF32");
    gReader = fn<std::remove_pointer_t<XRCvtReader>>("UTF8_UTF32");
    gWriter = fn<std::remove_pointer_t<XRCvtWriter>>("COPY_UTF32");
    std::string text;
    while (text.size() < (std::size_t{1} << 16))
        text += "Mars, la quatrième planète — 火星は太陽系の惑星 😀 ";
    text += "\xE2\x82"; // truncated at the end
    auto* src = reinterpret_cast<XRUtf8*>(text.data());
    for (std::size_t outSize : {4 * text.size(), std::size_t{4001}}) {
        const Result bulk = run(outSize, [&](XRUtf8* d, XRMemSize* u) {
            return toUtf32(src, text.size(), d, outSize, u, gReader, gWriter);
        });
        const Result loop = run(outSize, [&](XRUtf8* d, XRMemSize* u) {
            return toUtf32(src, text.size(), d, outSize, u, wrappedReader, wrappedWriter);
        });
        EXPECT_TRUE(bulk == loop) << outSize;
    }

    const Result utf32 = run(4 * text.size(), [&](XRUtf8* d, XRMemSize* u) {
        return toUtf32(src, text.size() - 2, d, 4 * text.size(), u, gReader, gWriter);
    });
    gReader = fn<std::remove_pointer_t<XRCvtReader>>("COPY_UTF32b");
    gWriter = fn<std::remove_pointer_t<XRCvtWriter>>("UTF32_UTF8");
    const auto back = [&](XRCvtWriter w, XRCvtReader r) {
        return run(text.size(), [&](XRUtf8* d, XRMemSize* u) {
            return fromUtf32(const_cast<XRUtf8*>(utf32.out.data()), utf32.used, d, text.size(), u,
                             w, r);
        });
    };
    const Result bulk = back(gWriter, gReader);
    EXPECT_EQ(std::string(bulk.out.begin(), bulk.out.begin() + bulk.used),
              text.substr(0, text.size() - 2));
    EXPECT_TRUE(bulk == back(wrappedWriter, wrappedReader));
}

} // namespace
