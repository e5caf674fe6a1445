// What the running CPU offers beyond the SSE2 baseline. Each answer is one load and test
// of the model record that the runtime fills before any constructor of ours runs.
#pragma once

namespace xr::cpu {

inline bool hasAvx2() {
    return __builtin_cpu_supports("avx2");
}

// SSSE3 byte shuffles come with SSE4.1 on every CPU that has the latter.
inline bool hasSse41() {
    return __builtin_cpu_supports("sse4.1") && __builtin_cpu_supports("ssse3");
}

// 512-bit registers with byte compares, byte permutes and byte compression.
inline bool hasAvx512Vbmi2() {
    return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
           __builtin_cpu_supports("avx512vbmi") && __builtin_cpu_supports("avx512vbmi2");
}

// Beside the 512-bit set above: the bit-matrix transform of GFNI, which turns eight bytes
// into their eight bit planes, and population counts of 64-bit lanes.
inline bool hasGfniPopcnt512() {
    return __builtin_cpu_supports("gfni") && __builtin_cpu_supports("avx512vpopcntdq");
}

} // namespace xr::cpu
