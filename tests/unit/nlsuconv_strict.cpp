// The strict converters against the two-call drivers: for every pair of encodings, the
// well-formed prefix (as the validator finds it) goes through ConvertToUTF32 and
// ConvertFromUTF32 with the library's converters, and the one-pass result must be that
// output, cut after the last whole character that fits the room given, with the same
// stopping offset and reason. Inputs cross the converter's internal slices; output
// buffers are exact-size, pre-filled with junk, with guard bytes after them.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "internal/cvtkernels.h"
#include "internal/utf_strict.h"
#include "xr/xrconv.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using xr::cvt::Kernel;
using xr::strict::Encoding;
using xr::strict::Step;
using xr::strict::Stop;

constexpr Encoding kEncodings[] = {Encoding::Utf8, Encoding::Utf16Le, Encoding::Utf16Be,
                                   Encoding::Utf32Le, Encoding::Utf32Be};
constexpr Kernel kKernels[] = {Kernel::Scalar, Kernel::Sse2, Kernel::Sse41, Kernel::Avx2,
                               Kernel::Avx512};

struct Converters {
    XRCvtReader read;  // into UTF-32
    XRCvtWriter write; // out of big-endian UTF-32
    unsigned size(std::uint32_t cp) const {
        if (read == UTF8_UTF32) return cp < 0x80 ? 1 : cp < 0x800 ? 2 : cp < 0x10000 ? 3 : 4;
        if (read == UTF16_UTF32 || read == UTF16_UTF32_SWAP) return cp > 0xFFFF ? 4 : 2;
        return 4;
    }
};
Converters of(Encoding e) {
    switch (e) {
    case Encoding::Utf8:
        return {UTF8_UTF32, UTF32_UTF8};
    case Encoding::Utf16Le:
        return {UTF16_UTF32_SWAP, UTF32_UTF16s};
    case Encoding::Utf16Be:
        return {UTF16_UTF32, UTF32_UTF16s_SWAP};
    case Encoding::Utf32Le:
        return {COPY_UTF32b_SWAP, COPY_UTF32_SWAP};
    default:
        return {COPY_UTF32b, COPY_UTF32};
    }
}

struct Expected {
    Bytes out;
    std::size_t in;
    Stop stop;
};

// What converting src into `cap` bytes must give, by the drivers.
Expected expected(Encoding from, Encoding to, const Bytes& src, std::size_t cap) {
    const xr::strict::Validation v = xr::strict::validate(from, src.data(), src.size());
    Bytes u32(4 * v.in + 4), out(4 * v.in + 4);
    XRMemSize n32 = 0, n = 0;
    auto* in = const_cast<XRUtf8*>(src.data());
    EXPECT_EQ(ConvertToUTF32(in, v.in, u32.data(), u32.size(), &n32, of(from).read, COPY_UTF32), 0);
    EXPECT_EQ(
        ConvertFromUTF32(u32.data(), n32, out.data(), out.size(), &n, of(to).write, COPY_UTF32b),
        0);
    // Whole characters while they fit.
    std::size_t taken = 0, written = 0;
    for (std::size_t k = 0; k < n32; k += 4) {
        const std::uint32_t cp = u32[k] << 24 | u32[k + 1] << 16 | u32[k + 2] << 8 | u32[k + 3];
        if (written + of(to).size(cp) > cap) {
            out.resize(written);
            return {out, taken, Stop::OutputFull};
        }
        taken += of(from).size(cp);
        written += of(to).size(cp);
    }
    out.resize(written);
    return {out, v.in, v.stop};
}

void expectLikeDrivers(Kernel k, Encoding from, Encoding to, const Bytes& src, std::size_t cap) {
    const Expected want = expected(from, to, src, cap);
    constexpr std::size_t kGuard = 16;
    Bytes dst(cap + kGuard, 0xA5);
    const Bytes exact(src);
    const Step got = xr::strict::convert(k, from, to, exact.data(), exact.size(), dst.data(), cap);
    const auto where = [&] {
        return ::testing::Message() << "kernel " << int(k) << " from " << int(from) << " to "
                                    << int(to) << " size " << src.size() << " cap " << cap;
    };
    ASSERT_EQ(got.stop, want.stop) << where();
    ASSERT_EQ(got.in, want.in) << where();
    ASSERT_EQ(got.out, want.out.size()) << where();
    ASSERT_TRUE(std::equal(want.out.begin(), want.out.end(), dst.begin())) << where();
    for (std::size_t g = cap; g < dst.size(); ++g)
        ASSERT_EQ(dst[g], 0xA5) << where() << ": written past the room at " << g;
}

// Code points of the given lengths in UTF-8 (1 to 4), encoded in `e`.
Bytes text(std::mt19937& rng, Encoding e, std::size_t chars, std::vector<unsigned> lengths) {
    static constexpr std::uint32_t kFirst[] = {0, 0, 0x80, 0x800, 0x10000};
    static constexpr std::uint32_t kLast[] = {0, 0x7F, 0x7FF, 0xFFFF, 0x10FFFF};
    Bytes out;
    for (std::size_t i = 0; i < chars; ++i) {
        const unsigned n = lengths[rng() % lengths.size()];
        std::uint32_t cp = kFirst[n] + rng() % (kLast[n] - kFirst[n] + 1);
        if (cp >= 0xD800 && cp <= 0xDFFF) cp -= 0x1000;
        XRUtf8 buf[4];
        XRMemSize used = 0;
        of(e).write(cp, buf, 4, &used);
        out.insert(out.end(), buf, buf + used);
    }
    return out;
}

// Something ill-formed in each encoding.
Bytes illFormed(std::mt19937& rng, Encoding e) {
    static const std::vector<Bytes> kUtf8 = {
        {0x80}, {0xC0, 0xAF}, {0xED, 0xA0, 0x80}, {0xF4, 0x90, 0x80, 0x80}, {0xE1, 0x41}, {0xFF}};
    static const std::vector<Bytes> kUtf16Le = {
        {0x00, 0xDC}, {0x00, 0xD8, 0x41, 0x00}, {0xFF, 0xDB, 0x00, 0xD8}};
    static const std::vector<Bytes> kUtf32Le = {
        {0x00, 0xD8, 0x00, 0x00}, {0x00, 0x00, 0x11, 0x00}, {0, 0, 0, 0x80}};
    const auto pick = [&](const std::vector<Bytes>& v) { return v[rng() % v.size()]; };
    Bytes b = e == Encoding::Utf8                                ? pick(kUtf8)
              : e == Encoding::Utf16Le || e == Encoding::Utf16Be ? pick(kUtf16Le)
                                                                 : pick(kUtf32Le);
    const std::size_t unit = xr::strict::unitBytes(e);
    if (e == Encoding::Utf16Be || e == Encoding::Utf32Be)
        for (std::size_t i = 0; i < b.size(); i += unit)
            std::reverse(b.begin() + i, b.begin() + i + unit);
    return b;
}

class StrictConvert : public ::testing::TestWithParam<Kernel> {
  protected:
    void SetUp() override {
        if (GetParam() != Kernel::Scalar && !xr::cvt::kernelAvailable(GetParam()))
            GTEST_SKIP() << "CPU lacks this kernel";
    }
};

TEST_P(StrictConvert, EveryPairLikeTheDriversWithRoomEnoughAndTooLittle) {
    std::mt19937 rng(19);
    const std::vector<std::vector<unsigned>> mixes = {{1}, {1, 2}, {3}, {1, 4}, {1, 2, 3, 4}};
    for (const Encoding from : kEncodings) {
        for (const Encoding to : kEncodings) {
            for (int round = 0; round < 60; ++round) {
                Bytes src = text(rng, from, 1 + rng() % 300, mixes[rng() % mixes.size()]);
                if (round % 3 == 1) {
                    const Bytes bad = illFormed(rng, from);
                    const std::size_t at = rng() % src.size() / xr::strict::unitBytes(from) *
                                           xr::strict::unitBytes(from);
                    if (from != Encoding::Utf8 || (src[at] & 0xC0) != 0x80)
                        src.insert(src.begin() + at, bad.begin(), bad.end());
                }
                if (round % 3 == 2) { // cut inside the last character, or not
                    const auto drop = static_cast<std::ptrdiff_t>(rng() % 4 % src.size());
                    src.erase(src.end() - drop, src.end());
                }
                const std::size_t full = xr::strict::maxOutputBytes(from, to, src.size());
                for (const std::size_t cap :
                     {full, full / 3, std::size_t(rng() % 64), std::size_t(0)})
                    expectLikeDrivers(GetParam(), from, to, src, cap);
            }
        }
    }
}

// Inputs of several slices, with the error or the cut character at a slice edge.
TEST_P(StrictConvert, LongInputsAcrossSliceEdges) {
    std::mt19937 rng(23);
    for (const Encoding from : {Encoding::Utf8, Encoding::Utf16Le, Encoding::Utf32Be}) {
        for (const Encoding to : {Encoding::Utf8, Encoding::Utf16Be, Encoding::Utf32Le}) {
            const Bytes base = text(rng, from, 20000, {1, 1, 2, 3, 4});
            for (const std::size_t edge : {16384u, 32768u}) {
                for (int shift = -5; shift <= 5; ++shift) {
                    Bytes src = base;
                    const Bytes bad = illFormed(rng, from);
                    std::size_t at =
                        (edge + shift) / xr::strict::unitBytes(from) * xr::strict::unitBytes(from);
                    ASSERT_LT(at + 4, src.size());
                    while (from == Encoding::Utf8 && (src[at] & 0xC0) == 0x80)
                        ++at;
                    if (shift % 2)
                        src.insert(src.begin() + at, bad.begin(), bad.end());
                    else
                        src.resize(at + 1);
                    const std::size_t full = xr::strict::maxOutputBytes(from, to, src.size());
                    expectLikeDrivers(GetParam(), from, to, src, full);
                    expectLikeDrivers(GetParam(), from, to, src, full / 2 + rng() % 7);
                }
            }
        }
    }
}

// UTF-8 in runs of one length (long runs and short ones) into UTF-16 of both orders, so
// that the wide direct path meets blocks of every mix and gives way at every kind of
// edge: the end of the input or of the room, an error, a block with a four-byte character.
TEST_P(StrictConvert, Utf8RunsIntoUtf16) {
    std::mt19937 rng(29);
    for (int round = 0; round < 40; ++round) {
        Bytes src;
        while (src.size() < 1500) {
            const unsigned len = 1 + rng() % 4, run = 1 + rng() % (rng() % 2 ? 6 : 120);
            const Bytes part = text(rng, Encoding::Utf8, run, {len});
            src.insert(src.end(), part.begin(), part.end());
        }
        if (round % 4 == 3) {
            std::size_t at = rng() % src.size();
            while ((src[at] & 0xC0) == 0x80)
                ++at;
            const Bytes bad = illFormed(rng, Encoding::Utf8);
            src.insert(src.begin() + static_cast<std::ptrdiff_t>(at), bad.begin(), bad.end());
        }
        for (const Encoding to : {Encoding::Utf16Le, Encoding::Utf16Be}) {
            const std::size_t full = xr::strict::maxOutputBytes(Encoding::Utf8, to, src.size());
            for (const std::size_t cap : {full, full / 2 + rng() % 64, std::size_t(rng() % 400)})
                expectLikeDrivers(GetParam(), Encoding::Utf8, to, src, cap);
        }
    }
}

TEST_P(StrictConvert, TheDefaultKernelGivesTheSameAnswer) {
    const Bytes src = {'a', 0xC3, 0xA9, 0xE2, 0x82};
    std::uint8_t out[8];
    const Step s = xr::strict::convert(Encoding::Utf8, Encoding::Utf16Be, src.data(), src.size(),
                                       out, sizeof out);
    EXPECT_TRUE(s.in == 3 && s.out == 4 && s.stop == Stop::Incomplete);
    EXPECT_TRUE(out[0] == 0 && out[1] == 'a' && out[2] == 0 && out[3] == 0xE9);
}

std::string kernelName(const ::testing::TestParamInfo<Kernel>& info) {
    static const char* kNames[] = {"Scalar", "Sse2", "Sse41", "Avx2", "Avx512"};
    return kNames[static_cast<int>(info.param)];
}
INSTANTIATE_TEST_SUITE_P(Kernels, StrictConvert, ::testing::ValuesIn(kKernels), kernelName);

} // namespace
