// Compiles the code between XR_TARGET_BEGIN(features) and XR_TARGET_END for instruction
// sets beyond the SSE2 baseline, with GCC and clang alike. The callers run that code only
// on CPUs that report the features (internal/cpu.h).
#pragma once

#define XR_PRAGMA(text) _Pragma(#text)

#if defined(__clang__)
#define XR_TARGET_BEGIN(features)                                                                  \
    XR_PRAGMA(clang attribute push(__attribute__((target(features))), apply_to = function))
#define XR_TARGET_END XR_PRAGMA(clang attribute pop)
#else
// The 512-bit intrinsics start from an undefined vector, which -Wmaybe-uninitialized reports.
#define XR_TARGET_BEGIN(features)                                                                  \
    XR_PRAGMA(GCC push_options)                                                                    \
    XR_PRAGMA(GCC target(features))                                                                \
    XR_PRAGMA(GCC diagnostic push)                                                                 \
    XR_PRAGMA(GCC diagnostic ignored "-Wmaybe-uninitialized")
#define XR_TARGET_END XR_PRAGMA(GCC diagnostic pop) XR_PRAGMA(GCC pop_options)
#endif

#define XR_AVX2_FEATURES "avx2,popcnt"
#define XR_AVX512_FEATURES "avx2,bmi2,popcnt,avx512f,avx512bw,avx512vbmi,avx512vbmi2"
#define XR_AVX512_GFNI_FEATURES XR_AVX512_FEATURES ",gfni,avx512vpopcntdq"

// Kernel helpers that must fold into their loops: a call there would spill the vectors
// and reload the constants at every block.
#define XR_INLINE [[gnu::always_inline]] inline
