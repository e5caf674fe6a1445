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

// The AVX2 forms work on windows of four characters per 128-bit lane (16 input bytes,
// 24 output bytes) and put out the 16 bytes that start `at` bytes into a lane's window.
// Each character's 32-bit lane holds its pair less the two EDs (h1 h2 l1 l2); an output byte
// takes one of those, or zero where an ED goes, which the second table adds.
constexpr std::uint8_t spreadIndex(std::size_t at, std::size_t j) {
    constexpr std::uint8_t kFrom[6] = {0x80, 0, 1, 0x80, 2, 3};
    const std::size_t c = (at + j) / 6, k = (at + j) % 6;
    return kFrom[k] == 0x80 ? 0x80 : static_cast<std::uint8_t>(4 * c + kFrom[k]);
}
constexpr std::array<std::uint8_t, 32> spreadWindows(std::size_t at0, std::size_t at1) {
    std::array<std::uint8_t, 32> t{};
    for (std::size_t j = 0; j < 16; ++j) {
        t[j] = spreadIndex(at0, j);
        t[16 + j] = spreadIndex(at1, j);
    }
    return t;
}
constexpr std::array<std::uint8_t, 32> edBytes(std::size_t at0, std::size_t at1) {
    std::array<std::uint8_t, 32> t{};
    for (std::size_t j = 0; j < 32; ++j)
        t[j] = (j < 16 ? at0 + j : at1 + j - 16) % 3 == 0 ? 0xED : 0;
    return t;
}
// 16 characters, 96 output bytes: three registers whose lanes start at characters
// (0, 2), (4, 8) and (10, 12), so that each lane's 16 output bytes lie in its window.
constexpr std::array<std::uint8_t, 32> kSpreadA = spreadWindows(0, 4),
                                       kSpreadB = spreadWindows(8, 0),
                                       kSpreadC = spreadWindows(4, 8);
constexpr std::array<std::uint8_t, 32> kEdA = edBytes(0, 4), kEdB = edBytes(8, 0),
                                       kEdC = edBytes(4, 8);

// Decoding gathers the pair bytes h1 h2 l1 l2 of two pairs per 128-bit lane: the first two
// from a lane loaded at their start into bytes 0..7, the next two from a lane loaded 4 bytes
// before theirs into bytes 8..15 (so that the last lane of a block ends at its end).
constexpr std::array<std::uint8_t, 32> gatherTwo(std::size_t skip, std::size_t to) {
    constexpr std::uint8_t kAt[4] = {1, 2, 4, 5};
    std::array<std::uint8_t, 32> t{};
    for (std::size_t j = 0; j < 32; ++j) {
        const std::size_t i = j % 16;
        t[j] = i >= to && i < to + 8
                   ? static_cast<std::uint8_t>(skip + 6 * ((i - to) / 4) + kAt[(i - to) % 4])
                   : 0x80;
    }
    return t;
}
constexpr auto kGatherFirst = gatherTwo(0, 0), kGatherSecond = gatherTwo(4, 8);

} // namespace

const PairKernels& wordPairKernels() {
    static constexpr PairKernels kWords{encodeWords, decodeWords};
    return kWords;
}

XR_TARGET_BEGIN(XR_AVX2_FEATURES)
namespace {

__m256i load256(const std::uint8_t* p) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}
__m256i loadLanes(const std::uint8_t* lo, const std::uint8_t* hi) {
    return _mm256_inserti128_si256(
        _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(lo))),
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(hi)), 1);
}
__m256i splat(std::uint32_t v) {
    return _mm256_set1_epi32(static_cast<int>(v));
}
void store256(std::uint8_t* p, __m256i v) {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v);
}

// The window's characters as h1 h2 l1 l2 per 32-bit lane, and the mask of the lanes
// that hold a four-byte character with a surrogate pair: h1 = 9F+p is A0..AF exactly
// for planes 1..16.
struct Window {
    __m256i pair;
    unsigned ok;
};
XR_INLINE Window encodeWindow(__m256i w) {
    const __m256i pair = _mm256_add_epi32(
        _mm256_or_si256(_mm256_or_si256(_mm256_and_si256(_mm256_slli_epi32(w, 2), splat(0x3C1C)),
                                        _mm256_and_si256(_mm256_srli_epi32(w, 12), splat(0x303))),
                        _mm256_and_si256(w, splat(0xFF0F0000))),
        splat(0xB0809F));
    const __m256i ok = _mm256_and_si256(
        _mm256_cmpeq_epi32(_mm256_and_si256(w, splat(kFourByteMask)), splat(kFourByte)),
        _mm256_cmpeq_epi32(_mm256_and_si256(pair, splat(0x30)), splat(0x20)));
    return {pair, static_cast<unsigned>(_mm256_movemask_ps(_mm256_castsi256_ps(ok)))};
}

// Blocks of 16 characters, while all of them convert and fit; the word form finishes.
std::size_t encodeAvx2(const std::uint8_t* s, std::size_t sL, std::uint8_t* d, std::size_t dL) {
    const std::size_t most = std::min(sL / 4, dL / 6);
    const __m256i spreadA = load256(kSpreadA.data()), spreadB = load256(kSpreadB.data()),
                  spreadC = load256(kSpreadC.data());
    const __m256i edA = load256(kEdA.data()), edB = load256(kEdB.data()),
                  edC = load256(kEdC.data());
    std::size_t done = 0;
    for (; most - done >= 16; done += 16) {
        const std::uint8_t* in = s + 4 * done;
        const Window a = encodeWindow(loadLanes(in, in + 8));
        const Window b = encodeWindow(loadLanes(in + 16, in + 32));
        const Window c = encodeWindow(loadLanes(in + 40, in + 48));
        // Characters 0..3 from a, 4..11 from b, 12..15 from c.
        if (((a.ok | 0xF0) & b.ok & (c.ok | 0x0F)) != 0xFF) break;
        std::uint8_t* out = d + 6 * done;
        store256(out, _mm256_or_si256(_mm256_shuffle_epi8(a.pair, spreadA), edA));
        store256(out + 32, _mm256_or_si256(_mm256_shuffle_epi8(b.pair, spreadB), edB));
        store256(out + 64, _mm256_or_si256(_mm256_shuffle_epi8(c.pair, spreadC), edC));
    }
    return done + encodeWords(s + 4 * done, sL - 4 * done, d + 6 * done, dL - 6 * done);
}

// h1 h2 l1 l2 per 32-bit lane to the four-byte character; y holds u = (h1&F)+1 in its low
// byte and h2's low two bits above it, which both go up by 12.
XR_INLINE __m256i fourBytes(__m256i g) {
    const __m256i y = _mm256_add_epi32(_mm256_and_si256(g, splat(0x30F)), splat(1));
    const __m256i lows =
        _mm256_or_si256(_mm256_and_si256(_mm256_slli_epi32(y, 12), splat(0x303000)),
                        _mm256_and_si256(_mm256_srli_epi32(y, 2), splat(7)));
    const __m256i rest = _mm256_or_si256(_mm256_and_si256(_mm256_srli_epi32(g, 2), splat(0xF00)),
                                         _mm256_and_si256(g, splat(0xFF0F0000)));
    return _mm256_or_si256(_mm256_or_si256(lows, rest), splat(0x8080F0));
}

// Blocks of 16 pairs, while all of them match and fit; the word form finishes.
std::size_t decodeAvx2(const std::uint8_t* s, std::size_t sL, std::uint8_t* d, std::size_t dL) {
    const std::size_t most = std::min(sL / 6, dL / 4);
    const __m256i masks0 = load256(kPairMasks.data()), masks1 = load256(kPairMasks.data() + 32),
                  masks2 = load256(kPairMasks.data() + 64);
    const __m256i values0 = load256(kPairValues.data()), values1 = load256(kPairValues.data() + 32),
                  values2 = load256(kPairValues.data() + 64);
    const __m256i first = load256(kGatherFirst.data()), second = load256(kGatherSecond.data());
    std::size_t done = 0;
    for (; most - done >= 16; done += 16) {
        const std::uint8_t* in = s + 6 * done;
        const __m256i ok = _mm256_and_si256(
            _mm256_and_si256(
                _mm256_cmpeq_epi8(_mm256_and_si256(load256(in), masks0), values0),
                _mm256_cmpeq_epi8(_mm256_and_si256(load256(in + 32), masks1), values1)),
            _mm256_cmpeq_epi8(_mm256_and_si256(load256(in + 64), masks2), values2));
        if (_mm256_movemask_epi8(ok) != -1) break;
        // Pairs 0..3 and 4..7 in the lanes of the first, 8..11 and 12..15 of the second.
        const __m256i g0 = _mm256_or_si256(_mm256_shuffle_epi8(loadLanes(in, in + 24), first),
                                           _mm256_shuffle_epi8(loadLanes(in + 8, in + 32), second));
        const __m256i g1 =
            _mm256_or_si256(_mm256_shuffle_epi8(loadLanes(in + 48, in + 72), first),
                            _mm256_shuffle_epi8(loadLanes(in + 56, in + 80), second));
        std::uint8_t* out = d + 4 * done;
        store256(out, fourBytes(g0));
        store256(out + 32, fourBytes(g1));
    }
    return done + decodeWords(s + 6 * done, sL - 6 * done, d + 4 * done, dL - 4 * done);
}

} // namespace
XR_TARGET_END

const PairKernels& avx2PairKernels() {
    static constexpr PairKernels kAvx2{encodeAvx2, decodeAvx2};
    return kAvx2;
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
