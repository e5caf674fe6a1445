// The bulk kernels behind the drivers against the per-character loop. The loop is
// reached by calling the drivers with thin wrappers of the same converters, which the
// drivers do not recognise; every kernel the machine has is forced in turn. Each case
// compares status, usedL and the whole output buffer (pre-filled with junk, exact size,
// guard bytes after it).
#include <gtest/gtest.h>

#include <array>
#include <random>
#include <span>
#include <string>
#include <vector>

#include "internal/cvtkernels.h"
#include "xr/xrconv.h"

namespace {

using Bytes = std::vector<XRUtf8>;
using xr::cvt::Kernel;

template <XRCvtReader F> XRStatus loopReader(XRUtf8* s, XRMemSize n, XRUtf32* c, XRMemSize* u) {
    return F(s, n, c, u);
}
template <XRCvtWriter F> XRStatus loopWriter(XRUtf32 c, XRUtf8* d, XRMemSize n, XRMemSize* u) {
    return F(c, d, n, u);
}
// A converter under its own pointer, which the drivers may replace by a kernel, and
// under a wrapper, which they run one character at a time.
template <class F> struct Converter {
    const char* name;
    F own, foreign;
};
using Reader = Converter<XRCvtReader>;
using Writer = Converter<XRCvtWriter>;
#define XR_READER(f) (Reader{#f, f, loopReader<f>})
#define XR_WRITER(f) (Writer{#f, f, loopWriter<f>})
const Reader kReaders[] = {XR_READER(UTF8_UTF32), XR_READER(UTF16_UTF32),
                           XR_READER(UTF16_UTF32_SWAP), XR_READER(COPY_UTF32b),
                           XR_READER(COPY_UTF32b_SWAP)};
const std::span<const Reader> kUtf32Readers(kReaders + 3, 2);
const Writer kWriters[] = {XR_WRITER(COPY_UTF32),   XR_WRITER(COPY_UTF32_SWAP),
                           XR_WRITER(UTF32_UTF16),  XR_WRITER(UTF32_UTF16_SWAP),
                           XR_WRITER(UTF32_UTF16s), XR_WRITER(UTF32_UTF16s_SWAP),
                           XR_WRITER(UTF32_UTF8)};
const std::span<const Writer> kUtf32Writers(kWriters, 2);

struct Outcome {
    XRStatus rc;
    XRMemSize used;
    Bytes out;
    bool operator==(const Outcome&) const = default;
};

class Bulk : public ::testing::TestWithParam<Kernel> {
  protected:
    void SetUp() override {
        if (!xr::cvt::kernelAvailable(GetParam())) GTEST_SKIP() << "CPU lacks this kernel";
        xr::cvt::setKernel(GetParam());
    }
    void TearDown() override { xr::cvt::setKernel(saved_); }

    // Through ConvertToUTF32 from r into both UTF-32 writers, or with r null through
    // ConvertFromUTF32 in every pairing, at the output size destL: status, usedL and the
    // whole buffer with its guard must match the per-character loop.
    void compare(const Reader* to, const Bytes& in, XRMemSize destL) {
        for (const Reader& r : to ? std::span(to, 1) : kUtf32Readers)
            for (const Writer& w : to ? kUtf32Writers : std::span(kWriters)) {
                const Outcome fast = run(to, r.own, w.own, in, destL),
                              loop = run(to, r.foreign, w.foreign, in, destL);
                EXPECT_TRUE(fast == loop)
                    << r.name << " + " << w.name << ", " << in.size() << " bytes into " << destL
                    << ": status " << fast.rc << " vs " << loop.rc << ", usedL " << fast.used
                    << " vs " << loop.used << "\ninput: " << ::testing::PrintToString(in);
            }
    }
    // The driver on a copy of `in`, into destL bytes of junk followed by 24 guard bytes.
    static Outcome run(bool to, XRCvtReader r, XRCvtWriter w, Bytes in, XRMemSize destL) {
        Bytes out(destL + 24);
        for (std::size_t i = 0; i < out.size(); ++i)
            out[i] = static_cast<XRUtf8>(0x5A ^ i * 7);
        Outcome o{0, 0xA5A5A5A5u, {}};
        o.rc = to ? ConvertToUTF32(in.data(), in.size(), out.data(), destL, &o.used, r, w)
                  : ConvertFromUTF32(in.data(), in.size(), out.data(), destL, &o.used, w, r);
        o.out = std::move(out);
        return o;
    }

  private:
    Kernel saved_ = xr::cvt::currentKernel();
};

std::mt19937 rng(20240607);

// Code points weighted towards the runs real text has, with the odd value from the
// edges of each UTF-8 length, the surrogates and beyond U+10FFFF.
XRUtf32 randomCodePoint(unsigned script) {
    static constexpr XRUtf32 kEdges[] = {0,        0x7F,     0x80,     0x7FF,    0x800,     0xD7FF,
                                         0xD800,   0xDBFF,   0xDC00,   0xDFFF,   0xFFFF,    0x10000,
                                         0x10FFFF, 0x110000, 0x1FFFFF, 0x200000, 0xFFFFFFFF};
    const unsigned roll = rng() % 64;
    if (roll == 0) return kEdges[rng() % std::size(kEdges)];
    if (roll < 16) return 0x20 + rng() % 0x5F;
    static constexpr XRUtf32 kBase[] = {0x20, 0x400, 0x4E00, 0x1F600};
    static constexpr XRUtf32 kSpan[] = {0x5F, 0x100, 0x5000, 0x50};
    return kBase[script % 4] + rng() % kSpan[script % 4];
}

Bytes utf32Be(const std::vector<XRUtf32>& cps) {
    Bytes b;
    for (XRUtf32 c : cps)
        b.insert(b.end(), {XRUtf8(c >> 24), XRUtf8(c >> 16), XRUtf8(c >> 8), XRUtf8(c)});
    return b;
}

std::vector<XRUtf32> randomText(std::size_t n, bool scalarValuesOnly) {
    std::vector<XRUtf32> cps;
    const unsigned script = rng();
    while (cps.size() < n) {
        const XRUtf32 c = randomCodePoint(script);
        if (!scalarValuesOnly || (c <= 0x10FFFF && (c < 0xD800 || c > 0xDFFF))) cps.push_back(c);
    }
    return cps;
}

// The text in reader r's encoding, by way of the library's own writers.
Bytes encode(const std::vector<XRUtf32>& cps, const Reader& r) {
    Bytes be = utf32Be(cps), out(be.size() + 4);
    XRMemSize used = 0;
    const XRCvtWriter w = kWriters[std::array{6, 5, 4, 0, 1}[&r - kReaders]].own;
    EXPECT_EQ(ConvertFromUTF32(be.data(), be.size(), out.data(), out.size(), &used, w, COPY_UTF32b),
              0);
    out.resize(used);
    return out;
}

// Sequences each reader treats specially: bad leads, short and lax sequences, lone and
// reversed surrogates, values beyond U+10FFFF.
const std::vector<Bytes> kOddities = [] {
    const char* hex = "80 BF80 C080 C1BF C341 E282 E24141 EDA080 E08080 F09F98 F4908080 F580 "
                      "F888808080 FE FFFF D83D DE00 3DD84100 00DC D800DC00 00110000 FFFFFFFF";
    std::vector<Bytes> v(1);
    for (; *hex; hex += *hex == ' ' ? 1 : 2)
        if (*hex == ' ')
            v.emplace_back();
        else
            v.back().push_back(static_cast<XRUtf8>(std::stoi(std::string(hex, 2), nullptr, 16)));
    return v;
}();

// A malformed or special sequence at every offset of a 64-byte stretch of text, inside
// inputs whose lengths end at and around a 16/32/64-byte edge.
TEST_P(Bulk, OddSequenceAtEveryOffsetOfABlock) {
    for (const Reader& r : kReaders)
        for (const Bytes& odd : kOddities)
            for (std::size_t at = 0; at < 64; ++at) {
                Bytes in = encode(randomText(48, true), r);
                in.resize(std::min<std::size_t>(in.size(), 64 + rng() % 40));
                in.insert(in.begin() + std::min(at, in.size()), odd.begin(), odd.end());
                compare(&r, in, 4 * in.size() + 4);
                compare(&r, in, 4 * (at / 2) + rng() % 4);
            }
    for (const Bytes& odd : kOddities)
        for (std::size_t at = 0; at < 64; at += 4) {
            Bytes in = utf32Be(randomText(40, false));
            in.insert(in.begin() + at, odd.begin(), odd.end());
            compare(nullptr, in, 4 * in.size());
            compare(nullptr, in, at + rng() % 8);
        }
}

// Every truncation of an input and every output size up to the whole, over one text
// per script long enough for several blocks of the widest kernel: the last characters
// and the last output bytes fall at every position.
TEST_P(Bulk, EveryInputAndOutputLength) {
    for (unsigned script = 0; script < 4; ++script) {
        std::vector<XRUtf32> cps;
        for (int i = 0; i < 100; ++i)
            cps.push_back(randomCodePoint(script));
        for (const Reader& r : kReaders) {
            const Bytes whole = encode(cps, r);
            for (std::size_t n = 0; n <= whole.size(); ++n) {
                const Bytes in(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(n));
                compare(&r, in, 4 * n + 4);
                compare(&r, in, n % 160);
            }
        }
        const Bytes be = utf32Be(cps);
        for (std::size_t n = 0; n <= be.size(); ++n)
            compare(nullptr, Bytes(be.begin(), be.begin() + static_cast<std::ptrdiff_t>(n)), 4 * n);
        for (XRMemSize destL = 0; destL <= 4 * be.size(); ++destL)
            compare(nullptr, be, destL);
    }
}

// Long UTF-32 texts in runs of one kind (ASCII, below U+0800, below U+10000 with the
// surrogate values, above, or odd values) from 1 to 150 long, so that the wide steps see
// every mix and stop at every kind of edge; with the room whole, tight, and at every size
// around where the wide steps give way to the exact ones.
TEST_P(Bulk, LongRunsOfEachKindIntoUtf8) {
    static constexpr XRUtf32 kBase[] = {0, 0x80, 0x800, 0x10000, 0x110000};
    static constexpr XRUtf32 kSpan[] = {0x80, 0x780, 0xF800, 0x100000, 0x200000};
    for (int round = 0; round < 40; ++round) {
        std::vector<XRUtf32> cps;
        while (cps.size() < 700) {
            const unsigned kind = rng() % 16 == 0 ? 4 : rng() % 4, run = 1 + rng() % 150;
            for (unsigned i = 0; i < run; ++i)
                cps.push_back(kBase[kind] + rng() % kSpan[kind]);
        }
        const Bytes be = utf32Be(cps);
        compare(nullptr, be, 4 * be.size());
        compare(nullptr, be, be.size() + rng() % be.size());
        const XRMemSize edge = 640 + rng() % 256;
        for (XRMemSize destL = edge; destL < edge + 8; ++destL)
            compare(nullptr, be, destL);
    }
}

// Long UTF-8 texts in runs of one length (1 to 4 bytes; long runs and short ones), so
// that the wide decoders see blocks of every mix, each kind of block after each other
// kind, and stop at every kind of edge: at an odd sequence late in the text, at the end
// of the input, and with room whole, tight, and at every size around a block edge.
TEST_P(Bulk, LongRunsOfEachLengthFromUtf8) {
    static constexpr XRUtf32 kBase[] = {0, 0x80, 0x800, 0x10000};
    static constexpr XRUtf32 kSpan[] = {0x80, 0x780, 0xF800, 0x100000};
    const Reader& utf8 = kReaders[0];
    for (int round = 0; round < 60; ++round) {
        std::vector<XRUtf32> cps;
        while (cps.size() < 500) {
            const unsigned kind = rng() % 4, run = 1 + rng() % (rng() % 2 ? 6 : 150);
            for (unsigned i = 0; i < run; ++i)
                cps.push_back(kBase[kind] + rng() % kSpan[kind]);
        }
        Bytes in = encode(cps, utf8);
        if (round % 2) {
            const Bytes& odd = kOddities[rng() % kOddities.size()];
            in.insert(in.begin() + static_cast<std::ptrdiff_t>(rng() % in.size()), odd.begin(),
                      odd.end());
        }
        compare(&utf8, in, 4 * in.size() + 4);
        compare(&utf8, in, 4 * (rng() % cps.size()));
        const XRMemSize edge = 4 * (rng() % cps.size());
        for (XRMemSize destL = edge; destL < edge + 40; destL += 4)
            compare(&utf8, in, destL);
        compare(&utf8,
                Bytes(in.begin(), in.begin() + static_cast<std::ptrdiff_t>(rng() % in.size())),
                4 * in.size());
    }
}

// UTF-32 into UTF-8 at every room size: texts of one UTF-8 length (and mixes with ASCII
// and with each other) long enough for the widest steps, so that the room runs out at
// every byte of every step; the wide steps store more than they produce and must leave
// nothing of it behind.
TEST_P(Bulk, EveryRoomIntoUtf8) {
    static constexpr XRUtf32 kBase[] = {0x20, 0x80, 0x800, 0x10000};
    static constexpr XRUtf32 kSpan[] = {0x5F, 0x780, 0xF800, 0x100000};
    const Writer& utf8 = kWriters[6];
    for (unsigned mix = 0; mix < 12; ++mix) {
        std::vector<XRUtf32> cps;
        while (cps.size() < 320 + (mix & 8 ? mix : 0)) {
            const unsigned kind = mix < 4 ? mix : mix < 8 ? (rng() % 2 ? mix - 4 : 0) : rng() % 4;
            cps.push_back(kBase[kind] + rng() % kSpan[kind]);
        }
        const Bytes be = utf32Be(cps);
        Bytes le(be.size());
        for (std::size_t i = 0; i < be.size(); ++i)
            le[i] = be[i ^ 3];
        for (XRMemSize destL = 0; destL <= 4 * cps.size() + 4; ++destL)
            for (unsigned little = 0; little < 2; ++little) {
                const Reader& r = kReaders[3 + little];
                const Bytes& in = little ? le : be;
                const Outcome fast = run(false, r.own, utf8.own, in, destL),
                              loop = run(false, r.foreign, utf8.foreign, in, destL);
                ASSERT_TRUE(fast == loop) << r.name << ", mix " << mix << ", room " << destL
                                          << ": usedL " << fast.used << " vs " << loop.used;
            }
    }
}

// Long ASCII stretches into UTF-32 at every output alignment (the widest kernel aligns
// its stores and writes some characters twice), with other characters and room ending at
// spots around the edges of its blocks.
TEST_P(Bulk, AsciiStretchesAtEveryOutputAlignment) {
    for (int round = 0; round < 16; ++round) {
        Bytes in(300 + rng() % 700, 0);
        for (XRUtf8& b : in)
            b = static_cast<XRUtf8>(0x20 + rng() % 0x5F);
        for (unsigned k = rng() % 3; k > 0; --k) {
            const std::size_t at = rng() % (in.size() - 1);
            in[at] = 0xC3, in[at + 1] = 0xA9;
        }
        const XRMemSize whole = 4 * in.size(), tight = 4 * (rng() % in.size());
        for (const Writer& w : kUtf32Writers)
            for (const XRMemSize destL : {whole, tight}) {
                Bytes loop(destL + 64);
                XRMemSize used = 0;
                const XRStatus rc = ConvertToUTF32(in.data(), in.size(), loop.data(), destL, &used,
                                                   UTF8_UTF32, w.foreign);
                for (std::size_t shift = 0; shift < 64; shift += 1 + (shift % 4 == 0 ? 0 : 2)) {
                    Bytes fast(destL + 128, 0x5A);
                    XRMemSize fastUsed = 0;
                    EXPECT_EQ(ConvertToUTF32(in.data(), in.size(), fast.data() + shift, destL,
                                             &fastUsed, UTF8_UTF32, w.own),
                              rc);
                    EXPECT_EQ(fastUsed, used);
                    ASSERT_TRUE(std::equal(loop.begin(), loop.begin() + used, fast.begin() + shift))
                        << w.name << " shift " << shift << " destL " << destL;
                    for (std::size_t g = shift + used; g < fast.size(); ++g)
                        ASSERT_EQ(fast[g], 0x5A) << w.name << " shift " << shift << " byte " << g;
                    for (std::size_t g = 0; g < shift; ++g)
                        ASSERT_EQ(fast[g], 0x5A);
                }
            }
    }
}

// Instances 0 to 4: Scalar, SSE2, SSE4.1, AVX2, AVX-512.
INSTANTIATE_TEST_SUITE_P(Kernels, Bulk,
                         ::testing::Values(Kernel::Scalar, Kernel::Sse2, Kernel::Sse41,
                                           Kernel::Avx2, Kernel::Avx512));

} // namespace
