// Bulk kernels behind the conversion drivers. A kernel converts the longest run of
// characters at the start of its input that it can do in bulk and that the one-character
// converters would convert the same way, writing exactly the bytes they would write, and
// reports how far it got; the driver decides everything after that with the converters
// themselves. A kernel may stop early at any point (0 is always a valid answer).
#pragma once

#include <cstddef>
#include <cstdint>

namespace xr::cvt {

// The instruction sets a kernel may use; Scalar means no bulk kernel at all.
enum class Kernel { Scalar, Sse2, Sse41, Avx2, Avx512 };

struct Progress {
    std::size_t in;  // input consumed: bytes (to UTF-32) or UTF-32 units (from UTF-32)
    std::size_t out; // output produced: characters (to UTF-32) or bytes (from UTF-32)
};

// Into UTF-32: at most maxChars characters from srcL bytes.
using ToKernel = Progress (*)(const std::uint8_t* src, std::size_t srcL, std::uint8_t* dst,
                              std::size_t maxChars);
// Out of UTF-32: from `units` whole code points into at most dstL bytes.
using FromKernel = Progress (*)(const std::uint8_t* src, std::size_t units, std::uint8_t* dst,
                                std::size_t dstL);

enum class Source { Utf8, Utf16Big, Utf16Little, Utf32Big, Utf32Little };
enum class Target { Utf32Big, Utf32Little, Ucs2Little, Ucs2Big, Utf16Little, Utf16Big, Utf8 };

// Null for Kernel::Scalar or a kernel the CPU lacks.
ToKernel toUtf32Kernel(Kernel k, Source from, bool bigOut);
FromKernel fromUtf32Kernel(Kernel k, bool bigIn, Target to);

bool kernelAvailable(Kernel k);
// The kernel the drivers use: the widest the CPU offers unless a test chose another.
Kernel currentKernel();
// For tests: run the drivers on k (which must be available) from now on.
void setKernel(Kernel k);

} // namespace xr::cvt
