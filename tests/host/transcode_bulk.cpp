// The converter pointers a host gets from the loaded libxrkit.so select the drivers' bulk
// path: the same conversion through thin wrappers of those pointers (which the drivers
// cannot recognise) runs the per-character loop, gives the same result, and is many
// times slower. The margin asked for is far below the usual gap (tens of times), so the
// comparison holds on a loaded machine; the best of several runs is compared.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <type_traits>
#include <utility>
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

struct Timed {
    XRStatus rc;
    XRMemSize used;
    std::vector<XRUtf8> out;
    double seconds;
};

template <class Call> Timed bestOf(int runs, std::size_t outSize, Call call) {
    Timed t{0, 0, std::vector<XRUtf8>(outSize), 1e9};
    for (int r = 0; r < runs; ++r) {
        const auto t0 = std::chrono::steady_clock::now();
        t.rc = call(t.out.data(), &t.used);
        t.seconds =
            std::min(t.seconds,
                     std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
    }
    return t;
}

TEST(TranscodeBulk, PointersFromTheLoadedLibrarySelectTheBulkPath) {
    const auto toUtf32 = library().fn<decltype(ConvertToUTF32)>("ConvertToUTF32");
    const auto fromUtf32 = library().fn<decltype(ConvertFromUTF32)>("ConvertFromUTF32");
    gReader = library().fn<std::remove_pointer_t<XRCvtReader>>("UTF8_UTF32");
    gWriter = library().fn<std::remove_pointer_t<XRCvtWriter>>("COPY_UTF32");
    std::string text;
    while (text.size() < (std::size_t{4} << 20))
        text += "Mars is the fourth planet from the Sun. Its surface is iron oxide red. ";
    auto* src = reinterpret_cast<XRUtf8*>(text.data());
    const std::size_t outSize = 4 * text.size();

    const Timed bulk = bestOf(3, outSize, [&](XRUtf8* d, XRMemSize* u) {
        return toUtf32(src, text.size(), d, outSize, u, gReader, gWriter);
    });
    const Timed loop = bestOf(3, outSize, [&](XRUtf8* d, XRMemSize* u) {
        return toUtf32(src, text.size(), d, outSize, u, wrappedReader, wrappedWriter);
    });
    EXPECT_EQ(bulk.rc, 0);
    EXPECT_EQ(bulk.used, outSize);
    EXPECT_TRUE(bulk.rc == loop.rc && bulk.used == loop.used && bulk.out == loop.out);
    EXPECT_LT(bulk.seconds * 4, loop.seconds)
        << "bulk " << bulk.seconds << " s, per-character loop " << loop.seconds << " s";

    // And back: UTF-32BE to UTF-8 with COPY_UTF32b and UTF32_UTF8.
    std::vector<XRUtf8> utf32 = bulk.out;
    gReader = library().fn<std::remove_pointer_t<XRCvtReader>>("COPY_UTF32b");
    gWriter = library().fn<std::remove_pointer_t<XRCvtWriter>>("UTF32_UTF8");
    const Timed back = bestOf(3, text.size(), [&](XRUtf8* d, XRMemSize* u) {
        return fromUtf32(utf32.data(), utf32.size(), d, text.size(), u, gWriter, gReader);
    });
    const Timed backLoop = bestOf(3, text.size(), [&](XRUtf8* d, XRMemSize* u) {
        return fromUtf32(utf32.data(), utf32.size(), d, text.size(), u, wrappedWriter,
                         wrappedReader);
    });
    EXPECT_EQ(std::string(back.out.begin(), back.out.end()), text);
    EXPECT_TRUE(back.rc == backLoop.rc && back.used == backLoop.used && back.out == backLoop.out);
    EXPECT_LT(back.seconds * 4, backLoop.seconds)
        << "bulk " << back.seconds << " s, per-character loop " << backLoop.seconds << " s";
}

} // namespace
