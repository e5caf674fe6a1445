// UTF-8 encoding of 32 code points below U+10000 held as 16-bit lanes, for AVX-512 with
// VBMI2: every lane is written as its bytes (lead first) into a 32-bit slot, and a
// compress keeps the bytes that belong to the characters. Include only inside an AVX-512
// target region. Each call stores whole 64-byte vectors from d on, so the caller must
// have room past the bytes it reports, and either own that room as scratch or know that
// later characters overwrite it.
#pragma once

#include <immintrin.h>

#include <cstdint>

namespace xr::enc512 {

using W = __m512i;

[[gnu::always_inline]] inline W set16(std::uint16_t v) {
    return _mm512_set1_epi16(static_cast<short>(v));
}

// Lanes below U+0800: one byte, or C0 | u >> 6 then 80 | u & 3F.
[[gnu::always_inline]] inline unsigned twoByteLanes(W u, std::uint8_t* d) {
    const __mmask32 two = _mm512_cmpge_epu16_mask(u, set16(0x80));
    const W pair = _mm512_ternarylogic_epi32(_mm512_srli_epi16(u, 6),
                                             _mm512_slli_epi16(_mm512_and_si512(u, set16(0x3F)), 8),
                                             set16(0x80C0), 0xFE);
    const std::uint64_t keep = 0x5555555555555555u | _pdep_u64(two, 0xAAAAAAAAAAAAAAAAu);
    _mm512_storeu_si512(d, _mm512_maskz_compress_epi8(keep, _mm512_mask_mov_epi16(u, two, pair)));
    return static_cast<unsigned>(__builtin_popcountll(keep));
}

// Lanes below U+10000 (surrogate values included: they take three bytes like the rest).
[[gnu::always_inline]] inline unsigned threeByteLanes(W u, std::uint8_t* d) {
    const __mmask32 two = _mm512_cmpge_epu16_mask(u, set16(0x80));
    const __mmask32 three = _mm512_cmpge_epu16_mask(u, set16(0x800));
    const W low6 = _mm512_and_si512(u, set16(0x3F));
    // First two bytes of each lane in a 16-bit word, the third in another.
    const W lead2 = _mm512_ternarylogic_epi32(_mm512_srli_epi16(u, 6), _mm512_slli_epi16(low6, 8),
                                              set16(0x80C0), 0xFE);
    const W lead3 = _mm512_ternarylogic_epi32(
        _mm512_srli_epi16(u, 12), _mm512_and_si512(_mm512_slli_epi16(u, 2), set16(0x3F00)),
        set16(0x80E0), 0xFE);
    const W first = _mm512_mask_mov_epi16(_mm512_mask_mov_epi16(u, two, lead2), three, lead3);
    const W third = _mm512_or_si512(low6, set16(0x80));
    // Word k of `first` and of `third` side by side in 32-bit slot k.
    const W pairs = _mm512_set_epi16(47, 15, 46, 14, 45, 13, 44, 12, 43, 11, 42, 10, 41, 9, 40, 8,
                                     39, 7, 38, 6, 37, 5, 36, 4, 35, 3, 34, 2, 33, 1, 32, 0);
    unsigned n = 0;
    for (unsigned h = 0; h < 2; ++h) {
        const W slots = _mm512_permutex2var_epi16(
            first, _mm512_add_epi16(pairs, set16(static_cast<std::uint16_t>(16 * h))), third);
        const std::uint64_t keep = 0x1111111111111111u |
                                   _pdep_u64((two >> (16 * h)) & 0xFFFF, 0x2222222222222222u) |
                                   _pdep_u64((three >> (16 * h)) & 0xFFFF, 0x4444444444444444u);
        _mm512_storeu_si512(d + n, _mm512_maskz_compress_epi8(keep, slots));
        n += static_cast<unsigned>(__builtin_popcountll(keep));
    }
    return n;
}

// Lanes of any value below U+10000, by the cheapest path that fits them all.
[[gnu::always_inline]] inline unsigned bmpLanes(W u, std::uint8_t* d) {
    if (_mm512_cmpge_epu16_mask(u, set16(0x800))) return threeByteLanes(u, d);
    if (_mm512_cmpge_epu16_mask(u, set16(0x80))) return twoByteLanes(u, d);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(d), _mm512_cvtepi16_epi8(u));
    return 32;
}

} // namespace xr::enc512
