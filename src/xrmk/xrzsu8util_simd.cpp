// The UTF-8 kit's vector kernels, compiled for SSE2 and, under AVX2 target options, for
// AVX2; the callers choose one set per call from what the CPU reports.
#include <immintrin.h>

#include <bit>
#include <cstddef>
#include <cstdint>

#include "internal/utf8_simd.h"

namespace xr::utf8 {

#define XR_UTF8_INSTANTIATE                                                                        \
    template Run structureRun<CountStops>(const std::uint8_t*, std::size_t);                       \
    template Run structureRun<EncodeStops>(const std::uint8_t*, std::size_t);                      \
    template Run structureRun<EncodeNulStops>(const std::uint8_t*, std::size_t);                   \
    template Run structureRun<DecodeStops>(const std::uint8_t*, std::size_t);

namespace sse2 {
#define XR_UTF8_LEVEL 1
#include "internal/utf8_simd_body.h"
#undef XR_UTF8_LEVEL
XR_UTF8_INSTANTIATE
} // namespace sse2

#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx2,popcnt"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx2,popcnt")
#endif
namespace avx2 {
#define XR_UTF8_LEVEL 3
#include "internal/utf8_simd_body.h"
#undef XR_UTF8_LEVEL
XR_UTF8_INSTANTIATE
} // namespace avx2
#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif

} // namespace xr::utf8
