// Bulk steps of the modified-UTF-8 converters over runs of four-byte characters (encode)
// and of encoded surrogate pairs (decode). Each converts the longest prefix of s[0..sL)
// made of whole units that the converters' per-character steps accept, as far as
// d[0..dL) takes their output (6 bytes per character, 4 per pair), and returns the
// number of units converted. No byte outside either range is read or written.
//   encode accepts F0..F4 with three continuation bytes and a code point U+10000..U+10FFFF;
//   decode accepts ED A0..BF cont ED A0..BF cont (the surrogates' ranges are not told apart).
#pragma once

#include <cstddef>
#include <cstdint>

#include "internal/utf8_simd.h"

namespace xr::utf8 {

struct PairKernels {
    std::size_t (*encode)(const std::uint8_t* s, std::size_t sL, std::uint8_t* d, std::size_t dL);
    std::size_t (*decode)(const std::uint8_t* s, std::size_t sL, std::uint8_t* d, std::size_t dL);
};

// The word-at-a-time forms, the 256-bit forms (AVX2), and the 512-bit forms (AVX-512
// VBMI2 and BMI2, which the dispatch has checked before it picks the Avx512 level).
const PairKernels& wordPairKernels();
const PairKernels& avx2PairKernels();
const PairKernels& vbmiPairKernels();

template <Isa I> const PairKernels& pairKernels() {
    if constexpr (I == Isa::Avx512) return vbmiPairKernels();
    if constexpr (I == Isa::Avx2) return avx2PairKernels();
    return wordPairKernels();
}

} // namespace xr::utf8
