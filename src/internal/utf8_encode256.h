// UTF-8 encoding of 16 code points below U+10000 held as 16-bit lanes, for AVX2: each
// character's bytes are built lead first in its own lane (or in a 32-bit slot when some
// take three bytes), and a byte shuffle from a table indexed by the lengths packs each
// 128-bit half; the halves are stored one after the other. Include only inside an AVX2
// target region. The stores are whole 16-byte vectors: each function says how far past
// its start and past the bytes it reports they reach, so the caller must have that room
// and know that later characters overwrite it.
#pragma once

#include <immintrin.h>

#include <array>
#include <cstdint>

namespace xr::enc256 {

using Y = __m256i;
using X = __m128i;
using Shuffle = std::array<std::uint8_t, 16>;

// Eight 16-bit lanes: bit j of the index is set where lane j is one byte (its low byte),
// else it is two, low byte first.
inline constexpr std::array<Shuffle, 256> kPairShuffle = [] {
    std::array<Shuffle, 256> t{};
    for (unsigned m = 0; m < 256; ++m) {
        unsigned pos = 0;
        for (auto& b : t[m])
            b = 0x80;
        for (unsigned j = 0; j < 8; ++j) {
            t[m][pos++] = static_cast<std::uint8_t>(2 * j);
            if (!(m >> j & 1)) t[m][pos++] = static_cast<std::uint8_t>(2 * j + 1);
        }
    }
    return t;
}();

// The bytes a kPairShuffle index keeps.
inline constexpr std::array<std::uint8_t, 256> kPairLength = [] {
    std::array<std::uint8_t, 256> t{};
    for (unsigned m = 0; m < 256; ++m)
        t[m] = static_cast<std::uint8_t>(16 - __builtin_popcount(m));
    return t;
}();

// Four 32-bit slots of a lead byte, a byte left out, then two bytes: two bits of the
// index per slot hold its length - 1 (one: the third byte; two: the last two; three: the
// lead and the last two).
inline constexpr std::array<Shuffle, 256> kSlotShuffle = [] {
    std::array<Shuffle, 256> t{};
    for (unsigned code = 0; code < 256; ++code) {
        unsigned pos = 0;
        for (auto& b : t[code])
            b = 0x80;
        for (unsigned k = 0; k < 4; ++k) {
            const unsigned len = (code >> (2 * k) & 3) + 1;
            if (len == 3) t[code][pos++] = static_cast<std::uint8_t>(4 * k);
            t[code][pos++] = static_cast<std::uint8_t>(4 * k + 2);
            if (len >= 2) t[code][pos++] = static_cast<std::uint8_t>(4 * k + 3);
        }
    }
    return t;
}();

// The bytes a kSlotShuffle index keeps.
inline constexpr std::array<std::uint8_t, 256> kSlotLength = [] {
    std::array<std::uint8_t, 256> t{};
    for (unsigned code = 0; code < 256; ++code)
        for (unsigned k = 0; k < 4; ++k)
            t[code] = static_cast<std::uint8_t>(t[code] + (code >> (2 * k) & 3) + 1);
    return t;
}();

[[gnu::always_inline]] inline Y set16(std::uint16_t v) {
    return _mm256_set1_epi16(static_cast<short>(v));
}
// All ones in the lanes not above `limit`.
[[gnu::always_inline]] inline Y atMost(Y u, std::uint16_t limit) {
    return _mm256_cmpeq_epi16(_mm256_min_epu16(u, set16(limit)), u);
}
[[gnu::always_inline]] inline X load128(const std::uint8_t* p) {
    return _mm_loadu_si128(reinterpret_cast<const X*>(p));
}
[[gnu::always_inline]] inline void store128(std::uint8_t* p, X v) {
    _mm_storeu_si128(reinterpret_cast<X*>(p), v);
}
// One table row for each 128-bit half.
[[gnu::always_inline]] inline Y rows(const Shuffle& lo, const Shuffle& hi) {
    return _mm256_inserti128_si256(_mm256_castsi128_si256(load128(lo.data())), load128(hi.data()),
                                   1);
}
// C0 | u >> 6, then 80 | u & 3F, for lanes from 0x80 to 0x7FF.
[[gnu::always_inline]] inline Y pairBytes(Y u) {
    return _mm256_or_si256(_mm256_or_si256(_mm256_srli_epi16(u, 6),
                                           _mm256_slli_epi16(_mm256_and_si256(u, set16(0x3F)), 8)),
                           set16(0x80C0));
}

// Lanes below U+0800, in order. The stores reach at most 32 bytes past d and 8 past the
// bytes reported.
[[gnu::always_inline]] inline unsigned twoByteLanes(Y u, std::uint8_t* d) {
    const Y one = _mm256_cmpgt_epi16(set16(0x80), u); // signed, as every lane is below 0x800
    const Y bytes = _mm256_blendv_epi8(pairBytes(u), u, one);
    // Bits 0-7: the first half's one-byte lanes; bits 16-23: the second half's.
    const auto m = static_cast<unsigned>(_mm256_movemask_epi8(_mm256_packs_epi16(one, one)));
    const unsigned lo = m & 0xFF, hi = m >> 16 & 0xFF;
    const Y packed = _mm256_shuffle_epi8(bytes, rows(kPairShuffle[lo], kPairShuffle[hi]));
    const unsigned n = kPairLength[lo];
    store128(d, _mm256_castsi256_si128(packed));
    store128(d + n, _mm256_extracti128_si256(packed, 1));
    return n + kPairLength[hi];
}

// Lanes of 1 to 3 bytes in groups of four ordered 0, 2 | 1, 3 across the halves (as a
// pack of two vectors of 32-bit lanes leaves them). With Pairs, the lanes are UTF-16 and
// `before` holds the unit before each lane (in the same order): a surrogate pair's first
// half writes the first two bytes of its four and the second half the last two, so a pair
// split between two calls comes out whole. Without, every lane is a code point below
// U+10000 (surrogate values take three bytes like the rest). The stores reach at most 52
// bytes past d and 12 past the bytes reported.
template <bool Pairs>
[[gnu::always_inline]] inline unsigned slotLanes(Y u, [[maybe_unused]] Y before, std::uint8_t* d) {
    const Y one = atMost(u, 0x7F), upToTwo = atMost(u, 0x7FF);
    // Each lane as a 32-bit slot: the lead of three bytes, a zero byte, then the two last
    // bytes (two-byte lanes: both their bytes; ASCII lanes: their byte, then junk).
    const Y lead = _mm256_or_si256(_mm256_srli_epi16(u, 12), set16(0xE0));
    Y tail = _mm256_or_si256(
        _mm256_or_si256(_mm256_and_si256(_mm256_slli_epi16(u, 8), set16(0x3F00)),
                        _mm256_srli_epi16(_mm256_slli_epi16(u, 4), 10)),
        _mm256_or_si256(set16(0x8080),
                        _mm256_andnot_si256(one, _mm256_and_si256(upToTwo, set16(0x40)))));
    Y twoBytes = upToTwo; // lanes of at most two bytes
    if constexpr (Pairs) {
        const Y top6 = _mm256_and_si256(u, set16(0xFC00));
        const Y first = _mm256_cmpeq_epi16(top6, set16(0xD800));
        const Y second = _mm256_cmpeq_epi16(top6, set16(0xDC00));
        // First half: with h = its ten bits + 0x40 (the plane), F0 | h >> 8, 80 | h >> 2 & 3F.
        const Y h = _mm256_add_epi16(_mm256_and_si256(u, set16(0x3FF)), set16(0x40));
        const Y opening = _mm256_or_si256(
            _mm256_or_si256(_mm256_srli_epi16(h, 8),
                            _mm256_and_si256(_mm256_slli_epi16(h, 6), set16(0x3F00))),
            set16(0x80F0));
        tail = _mm256_blendv_epi8(tail, opening, first);
        // Second half: its last two bytes as for three, but with the first half's low two
        // bits in place of the 11 that bits 10 and 11 of the unit left in byte 2.
        const Y fix = _mm256_slli_epi16(_mm256_andnot_si256(before, set16(3)), 4);
        tail = _mm256_xor_si256(tail, _mm256_and_si256(second, fix));
        twoBytes = _mm256_or_si256(twoBytes, _mm256_or_si256(first, second));
    }
    const Y last = _mm256_blendv_epi8(tail, u, one);
    // Slots of groups 0 | 1 and 2 | 3.
    const Y low = _mm256_unpacklo_epi16(lead, last), high = _mm256_unpackhi_epi16(lead, last);
    // Length - 1 in two bits per lane, lanes in vector order: byte 0 for group 0, byte 1
    // for group 2, byte 2 for group 1, byte 3 for group 3.
    const auto oneBytes = static_cast<unsigned>(_mm256_movemask_epi8(one));
    const auto twoByteBytes = static_cast<unsigned>(_mm256_movemask_epi8(twoBytes));
    const unsigned code = (~oneBytes & 0x55555555u) + (~twoByteBytes & 0x55555555u);
    if (code == 0xAAAAAAAAu) {
        // Three bytes every one: twelve from each group.
        const Y row = rows(kSlotShuffle[0xAA], kSlotShuffle[0xAA]);
        const Y p01 = _mm256_shuffle_epi8(low, row), p23 = _mm256_shuffle_epi8(high, row);
        store128(d, _mm256_castsi256_si128(p01));
        store128(d + 12, _mm256_extracti128_si256(p01, 1));
        store128(d + 24, _mm256_castsi256_si128(p23));
        store128(d + 36, _mm256_extracti128_si256(p23, 1));
        return 48;
    }
    const unsigned c0 = code & 0xFF, c2 = code >> 8 & 0xFF, c1 = code >> 16 & 0xFF, c3 = code >> 24;
    const Y p01 = _mm256_shuffle_epi8(low, rows(kSlotShuffle[c0], kSlotShuffle[c1]));
    const Y p23 = _mm256_shuffle_epi8(high, rows(kSlotShuffle[c2], kSlotShuffle[c3]));
    const unsigned n1 = kSlotLength[c0], n2 = n1 + kSlotLength[c1], n3 = n2 + kSlotLength[c2];
    store128(d, _mm256_castsi256_si128(p01));
    store128(d + n1, _mm256_extracti128_si256(p01, 1));
    store128(d + n2, _mm256_castsi256_si128(p23));
    store128(d + n3, _mm256_extracti128_si256(p23, 1));
    return n3 + kSlotLength[c3];
}

// Lanes below U+10000 (surrogate values included), in the order of slotLanes.
[[gnu::always_inline]] inline unsigned threeByteLanes(Y u, std::uint8_t* d) {
    return slotLanes<false>(u, u, d);
}

} // namespace xr::enc256
