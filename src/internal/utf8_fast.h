// The UTF-8 kit's whole-buffer operations in two forms: the plain character-by-character
// reference, and the vector form for each instruction set, which gives the same result,
// the same output bytes and the same out-parameters for every input. The exported
// functions run the vector form for the best instruction set of the CPU.
#pragma once

#include <cstddef>
#include <cstdint>

#include "internal/utf8_simd.h"
#include "xr/xrtypes.h"

namespace xr::utf8 {

using Bytes = const std::uint8_t*;

#define XR_UTF8_KIT_OPERATIONS(DECLARE)                                                            \
    DECLARE(std::uint64_t, numChars, (Bytes s, std::uint64_t sl))                                  \
    DECLARE(std::uint64_t, byteLength, (Bytes s, std::uint64_t chars))                             \
    DECLARE(std::uint64_t, countByAnnounced, (Bytes s, std::uint64_t l))                           \
    DECLARE(std::uint64_t, trimToBoundary, (Bytes s, std::uint64_t l))                             \
    DECLARE(std::int32_t, compare, (Bytes a, std::uint64_t al, Bytes b, std::uint64_t bl))         \
    DECLARE(std::int32_t, normCompare, (Bytes a, std::uint64_t al, Bytes b, std::uint64_t bl))     \
    DECLARE(bool, normEqual, (Bytes a, std::uint64_t al, Bytes b, std::uint64_t bl))               \
    DECLARE(std::uint64_t, copy,                                                                   \
            (Bytes from, std::uint64_t flen, std::uint8_t * to, std::uint64_t tlen))               \
    DECLARE(std::uint64_t, stripBlanks, (Bytes s, std::uint64_t l, XRFlags options))               \
    DECLARE(XRStatus, encode,                                                                      \
            (Bytes s, std::uint64_t sl, std::uint8_t * d, std::uint64_t dl, std::uint64_t * cvtL,  \
             XRFlags opt))                                                                         \
    DECLARE(XRStatus, decode,                                                                      \
            (Bytes s, std::uint64_t sl, std::uint8_t * d, std::uint64_t dl, std::uint64_t * cvtL,  \
             XRFlags opt))

namespace reference {
#define XR_UTF8_DECLARE_REFERENCE(R, name, args) R name args;
XR_UTF8_KIT_OPERATIONS(XR_UTF8_DECLARE_REFERENCE)
#undef XR_UTF8_DECLARE_REFERENCE
} // namespace reference

#define XR_UTF8_DECLARE_FAST(R, name, args) template <Isa I> R name args;
XR_UTF8_KIT_OPERATIONS(XR_UTF8_DECLARE_FAST)
#undef XR_UTF8_DECLARE_FAST

// Runs f for the widest instruction set the CPU offers.
#define XR_UTF8_DISPATCH(f, ...)                                                                   \
    (::xr::utf8::cpuHas(::xr::utf8::Isa::Avx512) ? f<::xr::utf8::Isa::Avx512>(__VA_ARGS__)         \
     : ::xr::utf8::cpuHas(::xr::utf8::Isa::Avx2) ? f<::xr::utf8::Isa::Avx2>(__VA_ARGS__)           \
                                                 : f<::xr::utf8::Isa::Sse2>(__VA_ARGS__))

} // namespace xr::utf8
