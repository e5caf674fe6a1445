// UTF-8 decoding for AVX2, in 64-byte blocks that start at a character: the structure
// check on bit masks (one bit per byte), then every byte position decoded as if a
// character started there, eight positions to a 256-bit vector, of which a permute keeps
// the real starts. No data-dependent branch inside a block. Include only inside an AVX2
// target region (internal/target.h).
#pragma once

#include <immintrin.h>

#include <array>
#include <cstdint>
#include <cstring>

#include "internal/target.h"

namespace xr::dec256 {

using Y = __m256i;

XR_INLINE Y loadY(const std::uint8_t* p) {
    return _mm256_loadu_si256(reinterpret_cast<const Y*>(p));
}
XR_INLINE Y bytesY(int b) {
    return _mm256_set1_epi8(static_cast<char>(b));
}
XR_INLINE std::uint64_t bits(Y lo, Y hi) {
    return static_cast<std::uint32_t>(_mm256_movemask_epi8(lo)) |
           std::uint64_t{static_cast<std::uint32_t>(_mm256_movemask_epi8(hi))} << 32;
}

// Entry m: the positions of the bits set in m, lowest first, then zeros.
inline constexpr std::array<std::array<std::uint8_t, 8>, 256> kCompact8 = [] {
    std::array<std::array<std::uint8_t, 8>, 256> t{};
    for (unsigned m = 0; m < 256; ++m) {
        unsigned n = 0;
        for (unsigned b = 0; b < 8; ++b)
            if (m >> b & 1) t[m][n++] = static_cast<std::uint8_t>(b);
    }
    return t;
}();

// Entry m: the two bytes of each 16-bit lane k with bit k set in m, lowest first, then
// zeros (indices with bit 7 set).
inline constexpr std::array<std::array<std::uint8_t, 16>, 256> kCompact16 = [] {
    std::array<std::array<std::uint8_t, 16>, 256> t{};
    for (unsigned m = 0; m < 256; ++m) {
        unsigned n = 0;
        for (unsigned b = 0; b < 8; ++b)
            if (m >> b & 1) {
                t[m][n++] = static_cast<std::uint8_t>(2 * b);
                t[m][n++] = static_cast<std::uint8_t>(2 * b + 1);
            }
        while (n < 16)
            t[m][n++] = 0x80;
    }
    return t;
}();

// One bit per byte of a 64-byte block.
struct Shape {
    std::uint64_t high;  // 1xxxxxxx
    std::uint64_t cont;  // 10xxxxxx
    std::uint64_t twoUp; // 11xxxxxx: a lead of two bytes or more
    std::uint64_t threeUp;
    std::uint64_t fourUp;
    std::uint64_t badLead; // C0, C1, F5..FF: leads that start no character
};

XR_INLINE Y dbl(Y v) {
    return _mm256_add_epi8(v, v);
}

XR_INLINE Shape shapeOf(Y a, Y b) {
    // Bit 7 of v & v << 1 & v << 2 ...: the run of leading ones of each byte.
    const Y a1 = dbl(a), b1 = dbl(b), a2 = dbl(a1), b2 = dbl(b1);
    const Y a11 = _mm256_and_si256(a, a1), b11 = _mm256_and_si256(b, b1);
    const Y a111 = _mm256_and_si256(a11, a2), b111 = _mm256_and_si256(b11, b2);
    Shape s;
    s.high = bits(a, b);
    s.cont = bits(_mm256_andnot_si256(a1, a), _mm256_andnot_si256(b1, b));
    s.twoUp = bits(a11, b11);
    s.threeUp = bits(a111, b111);
    s.fourUp = bits(_mm256_and_si256(a111, dbl(a2)), _mm256_and_si256(b111, dbl(b2)));
    // Signed, F5..FF are above F4 and so is ASCII; C0 and C1 differ from C0 in bit 0 only.
    const Y f4 = bytesY(0xF4), c0 = bytesY(0xC0), not1 = bytesY(0xFE);
    s.badLead = (bits(_mm256_cmpgt_epi8(a, f4), _mm256_cmpgt_epi8(b, f4)) & s.high) |
                bits(_mm256_cmpeq_epi8(_mm256_and_si256(a, not1), c0),
                     _mm256_cmpeq_epi8(_mm256_and_si256(b, not1), c0));
    return s;
}

// Every lead byte may start a character and is followed by exactly the continuation
// bytes it announces, as far as the block reaches (the bytes before it are taken as a
// character boundary).
XR_INLINE bool wellFormed(const Shape& s) {
    const std::uint64_t expected = s.twoUp << 1 | s.threeUp << 2 | s.fourUp << 3;
    return ((expected ^ s.cont) | s.badLead) == 0;
}

// Where the block after the one at p starts: at the first of bytes 61 to 63 that is not a
// continuation byte, else at 64 (a character that starts at byte 60 or before ends in
// the block). Read apart from the vectors, so that the next block's load need not wait.
XR_INLINE unsigned nextBlock(const std::uint8_t* p) {
    std::uint32_t tail;
    std::memcpy(&tail, p + 60, 4);
    const std::uint32_t flipped = tail ^ 0x80808080u; // bit 7 clear for 10xxxxxx, 1xxxxxxx set
    const std::uint32_t starts = (flipped | flipped << 1) & 0x80808000u;
    return starts ? 60 + static_cast<unsigned>(__builtin_ctz(starts)) / 8 : 64;
}

// The code points of the characters that start at the positions `keep` (bit k: position
// k) among the eight that start at window + 0, or window + 8 when Late; the window holds
// 16 readable bytes. Stores eight whole lanes at dst, the characters first; returns how
// many there are.
template <bool BigOut, bool Late>
XR_INLINE unsigned decode8(__m128i window, unsigned keep, std::uint8_t* dst) {
    // Lane k: the bytes at k + 3, k + 2, k + 1, k, lowest first (four positions to a half).
    const Y spread = _mm256_add_epi8(
        _mm256_setr_epi8(3, 2, 1, 0, 4, 3, 2, 1, 5, 4, 3, 2, 6, 5, 4, 3, 7, 6, 5, 4, 8, 7, 6, 5, 9,
                         8, 7, 6, 10, 9, 8, 7),
        bytesY(Late ? 8 : 0));
    const Y x = _mm256_broadcastsi128_si256(window);
    const Y lanes = _mm256_shuffle_epi8(x, spread);
    const Y nib = _mm256_and_si256(_mm256_srli_epi16(lanes, 4), bytesY(0x0F));
    // The lead byte (on top) keeps its payload bits, the others six bits each.
    const Y leadBits = _mm256_shuffle_epi8(
        _mm256_setr_epi8(0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x3F, 0x3F, 0x3F, 0x3F,
                         0x1F, 0x1F, 0x0F, 0x07, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F,
                         0x3F, 0x3F, 0x3F, 0x3F, 0x1F, 0x1F, 0x0F, 0x07),
        nib);
    const Y payload = _mm256_and_si256(
        lanes, _mm256_and_si256(leadBits, _mm256_set1_epi32(static_cast<int>(0xFF3F3F3Fu))));
    // b3 + b2 * 2^6 + b1 * 2^12 + lead * 2^18, then the bytes past the character dropped.
    const Y whole = _mm256_madd_epi16(_mm256_maddubs_epi16(payload, _mm256_set1_epi16(0x4001)),
                                      _mm256_set1_epi32(0x10000001));
    const Y shifts = _mm256_shuffle_epi8(
        _mm256_setr_epi8(18, 18, 18, 18, 18, 18, 18, 18, 0, 0, 0, 0, 12, 12, 6, 0, 18, 18, 18, 18,
                         18, 18, 18, 18, 0, 0, 0, 0, 12, 12, 6, 0),
        nib);
    Y cps = _mm256_srlv_epi32(whole, _mm256_srli_epi32(shifts, 24));
    if constexpr (BigOut)
        cps = _mm256_shuffle_epi8(cps, _mm256_setr_epi8(3, 2, 1, 0, 7, 6, 5, 4, 11, 10, 9, 8, 15,
                                                        14, 13, 12, 3, 2, 1, 0, 7, 6, 5, 4, 11, 10,
                                                        9, 8, 15, 14, 13, 12));
    const Y order = _mm256_cvtepu8_epi32(
        _mm_loadl_epi64(reinterpret_cast<const __m128i*>(kCompact8[keep].data())));
    _mm256_storeu_si256(reinterpret_cast<Y*>(dst), _mm256_permutevar8x32_epi32(cps, order));
    return static_cast<unsigned>(__builtin_popcount(keep));
}

// Lanes 0-7 of u (16-bit code points, the characters first) as 32-bit units at dst, as
// a whole 256-bit store.
template <bool BigOut> XR_INLINE void widen8(__m128i u, std::uint8_t* dst) {
    Y w = _mm256_cvtepu16_epi32(u);
    if constexpr (BigOut)
        w = _mm256_shuffle_epi8(w, _mm256_setr_epi8(3, 2, 1, 0, 7, 6, 5, 4, 11, 10, 9, 8, 15, 14,
                                                    13, 12, 3, 2, 1, 0, 7, 6, 5, 4, 11, 10, 9, 8,
                                                    15, 14, 13, 12));
    _mm256_storeu_si256(reinterpret_cast<Y*>(dst), w);
}

// As decode8 for sixteen positions of a block without four-byte characters, in 16-bit
// lanes: positions 0-7 from the window at lo, 8-15 from the one at hi, or at hi + 8 when
// Late. `keep` has 16 bits. Stores two whole vectors, each past the characters of the
// one before.
template <bool BigOut, bool Late>
XR_INLINE unsigned decode16(__m128i lo, __m128i hi, unsigned keep, std::uint8_t* dst) {
    const Y x = _mm256_inserti128_si256(_mm256_castsi128_si256(lo), hi, 1);
    const int late = Late ? 8 : 0;
    // Lane k: the byte at k twice, telling the length and whether it is ASCII (bit 7 of
    // both halves, for the blend).
    const Y lead = _mm256_shuffle_epi8(
        x, _mm256_setr_epi8(0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7, late, late, late + 1,
                            late + 1, late + 2, late + 2, late + 3, late + 3, late + 4, late + 4,
                            late + 5, late + 5, late + 6, late + 6, late + 7, late + 7));
    const Y nib = _mm256_and_si256(_mm256_srli_epi16(lead, 4), bytesY(0x0F));
    // The last two bytes of the character, the last one low: k, k - 1 moved on by the
    // length less one (ASCII keeps k and drops the other byte).
    const Y step = _mm256_shuffle_epi8(
        _mm256_setr_epi8(0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 2, 2, 0, 0, 0, 0, 0, 0, 0, 0,
                         0, 0, 0, 0, 1, 1, 2, 2),
        nib);
    const Y base = _mm256_setr_epi8(0, -1, 1, 0, 2, 1, 3, 2, 4, 3, 5, 4, 6, 5, 7, 6, late,
                                    late - 1, late + 1, late, late + 2, late + 1, late + 3,
                                    late + 2, late + 4, late + 3, late + 5, late + 4, late + 6,
                                    late + 5, late + 7, late + 6);
    const Y lastTwo = _mm256_shuffle_epi8(x, _mm256_add_epi8(base, step));
    // last + 2^6 * the one before (a two-byte lead keeps five bits under the mask), plus
    // the payload of a three-byte lead on top.
    const Y low12 = _mm256_maddubs_epi16(_mm256_and_si256(lastTwo, bytesY(0x3F)),
                                         _mm256_set1_epi16(0x4001));
    const Y three = _mm256_cmpgt_epi16(lead, _mm256_set1_epi16(static_cast<short>(0xDFDF)));
    const Y multi =
        _mm256_add_epi16(low12, _mm256_and_si256(_mm256_slli_epi16(lead, 12), three));
    const Y codes =
        _mm256_blendv_epi8(_mm256_and_si256(lead, _mm256_set1_epi16(0x7F)), multi, lead);
    const Y packed = _mm256_shuffle_epi8(
        codes, _mm256_inserti128_si256(
                   _mm256_castsi128_si256(_mm_loadu_si128(
                       reinterpret_cast<const __m128i*>(kCompact16[keep & 0xFF].data()))),
                   _mm_loadu_si128(reinterpret_cast<const __m128i*>(kCompact16[keep >> 8].data())),
                   1));
    const auto first = static_cast<unsigned>(__builtin_popcount(keep & 0xFF));
    widen8<BigOut>(_mm256_castsi256_si128(packed), dst);
    widen8<BigOut>(_mm256_extracti128_si256(packed, 1), dst + 4 * first);
    return static_cast<unsigned>(__builtin_popcount(keep));
}

// Decodes the characters that start at the positions `emitted` of the 64-byte block at p
// (at most 61 of them, none past byte 60, the block well formed). The stores run whole:
// each leaves junk in up to seven lanes past its characters, which the next one covers;
// the last one's stays, so the caller must have room for 8 lanes past the characters.
template <bool BigOut>
XR_INLINE std::uint8_t* decodeBlock(const std::uint8_t* p, std::uint64_t emitted, bool upToThree,
                                    std::uint8_t* out) {
    // Every window is read before the first store: a load issued after a store whose
    // address matches it in the low 12 bits waits for that store.
    __m128i w[7];
    for (unsigned k = 0; k < 7; ++k)
        w[k] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 8 * k));
    if (upToThree) {
        for (unsigned g = 0; g < 3; ++g)
            out += 4 * decode16<BigOut, false>(
                           w[2 * g], w[2 * g + 1],
                           static_cast<unsigned>(emitted >> (16 * g)) & 0xFFFF, out);
        return out + 4 * decode16<BigOut, true>(w[6], w[6], static_cast<unsigned>(emitted >> 48),
                                                 out);
    }
    for (unsigned g = 0; g < 7; ++g)
        out += 4 * decode8<BigOut, false>(w[g], static_cast<unsigned>(emitted >> (8 * g)) & 0xFF,
                                          out);
    return out + 4 * decode8<BigOut, true>(w[6], static_cast<unsigned>(emitted >> 56), out);
}

// ASCII widened to UTF-32, 64 characters a block, while blocks are ASCII, 64 more
// characters have room and the next block is readable. The output goes out in aligned
// 32-byte stores when it is 4-byte aligned at all: the first block is stored unaligned and
// counts only up to its last 32-byte boundary (the rest is written again, to the same
// values, by whatever converts those ASCII bytes next). Each block is loaded before the
// stores of the one before, so that no load waits behind a store that matches it in the
// low 12 bits of the address. Returns whether it took anything; i and o move on.
template <bool BigOut>
XR_INLINE bool asciiRun(const std::uint8_t* src, std::size_t srcL, std::uint8_t* dst,
                        std::size_t maxChars, std::size_t& i, std::size_t& o) {
    Y a = loadY(src + i), b = loadY(src + i + 32);
    if (_mm256_movemask_epi8(_mm256_or_si256(a, b))) return false;
    // Bytes 0-3 of a half to its four lanes, or bytes 4-7 (then + 8 for the second pair).
    const Y pick = BigOut ? _mm256_setr_epi8(-1, -1, -1, 0, -1, -1, -1, 1, -1, -1, -1, 2, -1, -1,
                                             -1, 3, -1, -1, -1, 4, -1, -1, -1, 5, -1, -1, -1, 6,
                                             -1, -1, -1, 7)
                          : _mm256_setr_epi8(0, -1, -1, -1, 1, -1, -1, -1, 2, -1, -1, -1, 3, -1,
                                             -1, -1, 4, -1, -1, -1, 5, -1, -1, -1, 6, -1, -1, -1,
                                             7, -1, -1, -1);
    const Y pickHigh = _mm256_or_si256(pick, _mm256_set1_epi32(BigOut ? 0x08000000 : 0x08));
    const auto store = [&](bool aligned) {
        std::uint8_t* d = dst + 4 * o;
        const Y halves[4] = {_mm256_permute2x128_si256(a, a, 0x00), _mm256_permute2x128_si256(a, a, 0x11),
                             _mm256_permute2x128_si256(b, b, 0x00), _mm256_permute2x128_si256(b, b, 0x11)};
        for (int q = 0; q < 4; ++q) {
            const Y lo = _mm256_shuffle_epi8(halves[q], pick);
            const Y hi = _mm256_shuffle_epi8(halves[q], pickHigh);
            if (aligned) {
                _mm256_store_si256(reinterpret_cast<Y*>(d + 64 * q), lo);
                _mm256_store_si256(reinterpret_cast<Y*>(d + 64 * q + 32), hi);
            } else {
                _mm256_storeu_si256(reinterpret_cast<Y*>(d + 64 * q), lo);
                _mm256_storeu_si256(reinterpret_cast<Y*>(d + 64 * q + 32), hi);
            }
        }
    };
    const auto misalign = reinterpret_cast<std::uintptr_t>(dst + 4 * o) & 31;
    const bool aligned = misalign % 4 == 0;
    if (misalign != 0 && aligned) {
        store(false);
        const std::size_t first = 64 - misalign / 4;
        i += first, o += first;
        if (srcL - i < 64 || maxChars - o < 64) return true;
        a = loadY(src + i), b = loadY(src + i + 32);
        if (_mm256_movemask_epi8(_mm256_or_si256(a, b))) return true;
    }
    for (; srcL - i >= 128 && maxChars - o >= 128; i += 64, o += 64) {
        const Y nextA = loadY(src + i + 64), nextB = loadY(src + i + 96);
        store(aligned);
        if (_mm256_movemask_epi8(_mm256_or_si256(nextA, nextB))) return i += 64, o += 64, true;
        a = nextA, b = nextB;
    }
    store(aligned);
    i += 64, o += 64;
    return true;
}

// UTF-8 into UTF-32 from src + i to dst + 4 * o while 64-byte blocks are ASCII or well
// formed (see wellFormed), 64 bytes are readable and 72 characters have room; i and o
// move on. A decoded block leaves junk in up to 8 lanes past its characters, which the
// next block covers; their former contents, read before the block, go back when the run
// ends after one, so that nothing past o changes.
template <bool BigOut>
XR_INLINE void utf8ToUtf32(const std::uint8_t* src, std::size_t srcL, std::uint8_t* dst,
                           std::size_t maxChars, std::size_t& i, std::size_t& o) {
    Y saved = _mm256_setzero_si256();
    bool junk = false;
    while (srcL - i >= 64 && maxChars - o >= 72) {
        if (asciiRun<BigOut>(src, srcL, dst, maxChars, i, o)) {
            junk = false;
            continue;
        }
        const std::uint8_t* p = src + i;
        const Shape s = shapeOf(loadY(p), loadY(p + 32));
        if (!wellFormed(s)) break;
        const std::uint64_t emitted = ~s.cont & ((std::uint64_t{1} << 61) - 1);
        const auto chars = static_cast<std::size_t>(__builtin_popcountll(emitted));
        saved = loadY(dst + 4 * (o + chars));
        junk = true;
        decodeBlock<BigOut>(p, emitted, s.fourUp == 0, dst + 4 * o);
        i += nextBlock(p);
        o += chars;
    }
    if (junk) _mm256_storeu_si256(reinterpret_cast<Y*>(dst + 4 * o), saved);
}

} // namespace xr::dec256
