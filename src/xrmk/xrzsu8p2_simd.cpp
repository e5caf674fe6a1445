// Runs of four-byte characters to surrogate pairs and back, a word or 16 units at a time.
// Every form computes the converters' surrogate arithmetic on little-endian words:
//   four bytes w = b0 | b1<<8 | b2<<16 | b3<<24, plane p = (b0&7)<<2 | (b1>>4)&3 in 1..16,
//   high surrogate ED, 9F+p, 80|(b1&F)<<2|(b2>>4)&3;  low surrogate ED, B0|(b2&F), b3;
//   pair g = h1 | h2<<8 | l1<<16 | l2<<24 back to F0|u>>2, 80|(u&3)<<4|(h2>>2)&F,
//   80|(h2&3)<<4|(l1&F), l2 with u = (h1&F)+1.
#include <immintrin.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

#include "internal/target.h"
#include "internal/utf8_surrogates.h"

namespace xr::utf8 {
namespace {

constexpr std::uint32_t kFourByteMask = 0xC0C0C0F8u, kFourByte = 0x808080F0u;
constexpr std::uint64_t kPairMask = 0xC0E0FFC0E0FFull, kPair = 0x80A0ED80A0EDull;

constexpr std::uint32_t highSurrogate(std::uint32_t w) {
    return (((w << 10) & 0x3C1C00u) | ((w >> 4) & 0x30300u)) + 0x809FEDu;
}
constexpr std::uint32_t lowSurrogate(std::uint32_t w) {
    return ((w >> 8) & 0xFF0F00u) | 0xB0EDu;
}
constexpr std::uint32_t fourByte(std::uint32_t g) {
    const std::uint32_t u = (g & 0xFu) + 1;
    return 0x8080F0u | u >> 2 | ((u << 12) & 0x3000u) | ((g >> 2) & 0xF00u) |
           ((g << 12) & 0x300000u) | (g & 0xFF0F0000u);
}

std::size_t encodeWords(const std::uint8_t* s, std::size_t sL, std::uint8_t* d, std::size_t dL) {
    const std::size_t most = std::min(sL / 4, dL / 6);
    std::size_t n = 0;
    for (; n < most; ++n) {
        std::uint32_t w;
        std::memcpy(&w, s + 4 * n, 4);
        const std::uint32_t plane = ((w & 7u) << 2 | (w >> 12 & 3u)) - 1;
        if ((w & kFourByteMask) != kFourByte || plane >= 16) break;
        const std::uint64_t pair = highSurrogate(w) | std::uint64_t{lowSurrogate(w)} << 24;
        const auto first = static_cast<std::uint32_t>(pair);
        const auto last = static_cast<std::uint16_t>(pair >> 32);
        std::memcpy(d + 6 * n, &first, 4);
        std::memcpy(d + 6 * n + 4, &last, 2);
    }
    return n;
}

std::size_t decodeWords(const std::uint8_t* s, std::size_t sL, std::uint8_t* d, std::size_t dL) {
    const std::size_t most = std::min(sL / 6, dL / 4);
    std::size_t n = 0;
    for (; n < most; ++n) {
        // Two loads, not one six-byte copy: that goes through memory and stalls.
        std::uint32_t first;
        std::uint16_t last;
        std::memcpy(&first, s + 6 * n, 4);
        std::memcpy(&last, s + 6 * n + 4, 2);
        const std::uint64_t w = first | std::uint64_t{last} << 32;
        if ((w & kPairMask) != kPair) break;
        const auto g = static_cast<std::uint32_t>((w >> 8 & 0xFFFFu) | (w >> 16 & 0xFFFF0000u));
        const std::uint32_t four = fourByte(g);
        std::memcpy(d + 4 * n, &four, 4);
    }
    return n;
}

// Per byte of 128 input bytes (two registers): where each byte of a pair sits, what
// mask and value it must have, and the pair bytes (h1 h2 l1 l2) gathered per 32-bit lane.
constexpr std::array<std::uint8_t, 128> pairPattern(bool mask) {
    constexpr std::uint8_t kMasks[6] = {0xFF, 0xE0, 0xC0, 0xFF, 0xE0, 0xC0};
    constexpr std::uint8_t kValues[6] = {0xED, 0xA0, 0x80, 0xED, 0xA0, 0x80};
    std::array<std::uint8_t, 128> t{};
    for (std::size_t i = 0; i < 128; ++i)
        t[i] = (mask ? kMasks : kValues)[i % 6];
    return t;
}
constexpr auto kPairMasks = pairPattern(true), kPairValues = pairPattern(false);

constexpr std::array<std::uint8_t, 64> gatherPairs() {
    constexpr std::uint8_t kAt[4] = {1, 2, 4, 5};
    std::array<std::uint8_t, 64> t{};
    for (std::size_t i = 0; i < 64; ++i)
        t[i] = static_cast<std::uint8_t>(6 * (i / 4) + kAt[i % 4]);
    return t;
}
constexpr auto kGatherPairs = gatherPairs();

// Output byte j of 96 is byte j%6 of pair j/6: the high surrogate's three bytes from the
// lane in the first register, the low one's from the second (indices 64 and up).
constexpr std::array<std::uint8_t, 128> spreadPairs() {
    std::array<std::uint8_t, 128> t{};
    for (std::size_t j = 0; j < 96; ++j) {
        const std::size_t c = j / 6, k = j % 6;
        t[j] = static_cast<std::uint8_t>(k < 3 ? 4 * c + k : 64 + 4 * c + k - 3);
    }
    return t;
}
constexpr auto kSpreadPairs = spreadPairs();

} // namespace

const PairKernels& wordPairKernels() {
    static constexpr PairKernels kWords{encodeWords, decodeWords};
    return kWords;
}

XR_TARGET_BEGIN(XR_AVX512_FEATURES)
namespace {

__m512i load(const std::uint8_t* table) {
    return _mm512_loadu_si512(table);
}
__m512i set32(std::uint32_t v) {
    return _mm512_set1_epi32(static_cast<int>(v));
}
__mmask64 firstBytes(std::size_t n) {
    return _bzhi_u64(~0ull, static_cast<unsigned>(std::min<std::size_t>(n, 64)));
}

std::size_t encodeVbmi(const std::uint8_t* s, std::size_t sL, std::uint8_t* d, std::size_t dL) {
    const std::size_t most = std::min(sL / 4, dL / 6);
    const __m512i spreadHigh = load(kSpreadPairs.data()),
                  spreadLow = load(kSpreadPairs.data() + 64);
    // The next block's address does not wait for this block's count.
    for (std::size_t done = 0; done < most; done += 16) {
        // Lanes past the input's end load as zero and fail the structure test.
        const std::size_t want = std::min<std::size_t>(16, most - done);
        const __m512i w = _mm512_maskz_loadu_epi8(firstBytes(4 * want), s + 4 * done);
        const __m512i plane = _mm512_or_si512(_mm512_slli_epi32(_mm512_and_si512(w, set32(7)), 2),
                                              _mm512_and_si512(_mm512_srli_epi32(w, 12), set32(3)));
        const __mmask16 ok =
            _mm512_cmpeq_epi32_mask(_mm512_and_si512(w, set32(kFourByteMask)), set32(kFourByte)) &
            _mm512_cmplt_epu32_mask(_mm512_sub_epi32(plane, set32(1)), set32(16));
        const std::size_t n = std::countr_one(static_cast<unsigned>(ok));
        const __m512i high = _mm512_add_epi32(
            _mm512_or_si512(_mm512_and_si512(_mm512_slli_epi32(w, 10), set32(0x3C1C00)),
                            _mm512_and_si512(_mm512_srli_epi32(w, 4), set32(0x30300))),
            set32(0x809FED));
        const __m512i low = _mm512_or_si512(
            _mm512_and_si512(_mm512_srli_epi32(w, 8), set32(0xFF0F00)), set32(0xB0ED));
        std::uint8_t* out = d + 6 * done;
        _mm512_mask_storeu_epi8(out, firstBytes(6 * n),
                                _mm512_permutex2var_epi8(high, spreadHigh, low));
        _mm512_mask_storeu_epi8(out + 64, firstBytes(6 * n > 64 ? 6 * n - 64 : 0),
                                _mm512_permutex2var_epi8(high, spreadLow, low));
        if (n < 16) return done + n;
    }
    return most;
}

std::size_t decodeVbmi(const std::uint8_t* s, std::size_t sL, std::uint8_t* d, std::size_t dL) {
    const std::size_t most = std::min(sL / 6, dL / 4);
    const __m512i masks0 = load(kPairMasks.data()), masks1 = load(kPairMasks.data() + 64);
    const __m512i values0 = load(kPairValues.data()), values1 = load(kPairValues.data() + 64);
    const __m512i gather = load(kGatherPairs.data());
    for (std::size_t done = 0; done < most; done += 16) {
        // Bytes past the input's end load as zero and fail the pattern, all of whose
        // values are nonzero.
        const std::size_t bytes = 6 * std::min<std::size_t>(16, most - done);
        const std::uint8_t* in = s + 6 * done;
        const __m512i a = _mm512_maskz_loadu_epi8(firstBytes(bytes), in);
        const __m512i b = _mm512_maskz_loadu_epi8(firstBytes(bytes > 64 ? bytes - 64 : 0), in + 64);
        const std::uint64_t okA = _mm512_cmpeq_epi8_mask(_mm512_and_si512(a, masks0), values0);
        const std::uint64_t okB = _mm512_cmpeq_epi8_mask(_mm512_and_si512(b, masks1), values1);
        const std::size_t good = ~okA ? std::countr_one(okA) : 64 + std::countr_one(okB);
        const std::size_t n = std::min<std::size_t>(good / 6, 16);
        const __m512i g = _mm512_permutex2var_epi8(a, gather, b);
        const __m512i u = _mm512_add_epi32(_mm512_and_si512(g, set32(0xF)), set32(1));
        __m512i four = _mm512_or_si512(_mm512_srli_epi32(u, 2),
                                       _mm512_and_si512(_mm512_slli_epi32(u, 12), set32(0x3000)));
        four = _mm512_or_si512(four, _mm512_and_si512(_mm512_srli_epi32(g, 2), set32(0xF00)));
        four = _mm512_or_si512(four, _mm512_and_si512(_mm512_slli_epi32(g, 12), set32(0x300000)));
        four = _mm512_or_si512(four, _mm512_and_si512(g, set32(0xFF0F0000)));
        four = _mm512_or_si512(four, set32(0x8080F0));
        _mm512_mask_storeu_epi8(d + 4 * done, firstBytes(4 * n), four);
        if (n < 16) return done + n;
    }
    return most;
}

} // namespace
XR_TARGET_END

const PairKernels& vbmiPairKernels() {
    static constexpr PairKernels kVbmi{encodeVbmi, decodeVbmi};
    return kVbmi;
}

} // namespace xr::utf8
