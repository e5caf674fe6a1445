// Vector kernels of the UTF-8 kit: runs of whole, well-structured characters found
// 16, 32 or 64 bytes at a time, and backward scans over blanks and continuation bytes.
//
// A run starts at a character boundary and reads no byte before it (the bytes before
// the first block count as 0x00). Within a run, "well-structured" means that every byte
// is a continuation byte exactly when one of the three bytes before it is a lead that
// announces a sequence reaching it. Under that condition every counting rule of the kit
// (by announced length, by continuation bytes, the converters' walks) starts a character
// at each non-continuation byte and at no other byte, which is what lets the callers
// take a run without looking at its characters one by one. Runs for counting by
// continuation bytes alone may be looser (see EarlyEnds below): a lead's sequence may
// end early there, which changes no count of that kind.
#pragma once

#include <cstddef>
#include <cstdint>

#include "internal/cpu.h"
#include "internal/utf8_tables.h"

namespace xr::utf8 {

enum class Isa { Sse2, Avx2, Avx512 };

inline bool cpuHas(Isa isa) {
    switch (isa) {
    case Isa::Avx512:
        return cpu::hasAvx512Vbmi2();
    case Isa::Avx2:
        return cpu::hasAvx2();
    default:
        return true;
    }
}

// The end of a run: the first byte that breaks the rules (bad), or the end of the last
// whole block that fits; conts counts the continuation bytes before it.
struct Run {
    std::size_t end;
    std::size_t conts;
    bool bad;
};

// Bytes that stop a run besides broken structure. Leads from top up always stop it.
// EarlyEnds: the run is for counting by continuation bytes, where only a continuation
// byte that no lead reaches changes the count; a kernel may then let a lead whose
// sequence ends early (or one from F0 up that reaches no further) into the run.
template <std::uint8_t Top, bool Surrogates = false, bool Nul = false, bool C0C1 = false,
          bool EarlyEnds = false>
struct Stops {
    static constexpr std::uint8_t kTop = Top;
    static constexpr bool kSurrogates = Surrogates; // ED A0..BF, flagged at the second byte
    static constexpr bool kNul = Nul;
    static constexpr bool kC0C1 = C0C1;
    static constexpr bool kEarlyEnds = EarlyEnds;
};

// Where the trailing-byte scans stop.
enum class Skip { Spaces, WhiteSpace, Continuations };

constexpr bool isSkipped(Skip kind, std::uint8_t b) {
    switch (kind) {
    case Skip::Spaces:
        return b == 0x20;
    case Skip::WhiteSpace:
        return b == 0x20 || (b >= 0x09 && b <= 0x0D);
    default:
        return isContinuation(b);
    }
}

// A run over two texts side by side: the first keeps the structure rules with leads up
// to F7, and each byte pair is equal or two ASCII bytes equal after folding letters.
// firstDiff is the offset of the first pair of different bytes before end, or SIZE_MAX.
struct FoldRun {
    std::size_t end;
    std::size_t firstDiff;
    bool bad;
};

using CountStops = Stops<0xF8>;
using ContinuationStops = Stops<0xF8, false, false, false, true>;
using EncodeStops = Stops<0xF0, true>;
using EncodeNulStops = Stops<0xF0, true, true>;
using DecodeStops = Stops<0xF0, true, false, true>;

// Text of four-byte characters only repeats a pattern of top bits every four bytes: the
// bits a byte must have in each place of an N-byte block (mask) and their values, those of
// a lead F0..F7 at the offsets phase, phase + 4, ..., those of a continuation byte elsewhere.
template <std::size_t N> struct alignas(N) FourBytePattern {
    std::uint8_t mask[N], value[N];
};
template <std::size_t N> constexpr FourBytePattern<N> makeFourBytePattern(unsigned phase) {
    FourBytePattern<N> t{};
    for (unsigned k = 0; k < N; ++k) {
        const bool lead = k % 4 == phase;
        t.mask[k] = lead ? 0xF8 : 0xC0;
        t.value[k] = lead ? 0xF0 : 0x80;
    }
    return t;
}
template <std::size_t N>
constexpr FourBytePattern<N> kFourBytePatterns[4] = {
    makeFourBytePattern<N>(0), makeFourBytePattern<N>(1), makeFourBytePattern<N>(2),
    makeFourBytePattern<N>(3)};

// The kernels of one instruction set (defined in xrzsu8util_simd.cpp):
//  structureRun  whole blocks of p[0..n) while they keep the rules R;
//  foldRun       whole blocks of a[0..n) and b[0..n) while they make a FoldRun;
//  dropTrailing  the length left after dropping the trailing bytes of the kind;
//  firstDifference  the offset of the first byte where a[0..n) and b[0..n) differ, or n.
#define XR_UTF8_DECLARE_KERNELS                                                                    \
    template <class R> Run structureRun(const std::uint8_t* p, std::size_t n);                     \
    FoldRun foldRun(const std::uint8_t* a, const std::uint8_t* b, std::size_t n);                  \
    std::size_t dropTrailing(Skip kind, const std::uint8_t* p, std::size_t n);                     \
    std::size_t firstDifference(const std::uint8_t* a, const std::uint8_t* b, std::size_t n);
namespace sse2 {
XR_UTF8_DECLARE_KERNELS
}
namespace avx2 {
XR_UTF8_DECLARE_KERNELS
}
namespace avx512 {
XR_UTF8_DECLARE_KERNELS
}
#undef XR_UTF8_DECLARE_KERNELS

namespace avx512 {
// Runs for counting by continuation bytes, 976 bytes a step, for CPUs that also have
// GFNI and 512-bit population counts (xrzsu8util_planes.cpp): from p + i, as long as
// every lead is followed by exactly the continuation bytes it announces (from F8 up:
// three) and no other byte is a continuation byte. The three bytes before p + i must be
// readable and keep that rule as far as they go. end: where the steps stopped; conts:
// the continuation bytes before it.
constexpr std::size_t kPlaneStep = 976;
struct PlaneRun {
    std::size_t end;
    std::size_t conts;
};
PlaneRun planeRun(const std::uint8_t* p, std::size_t i, std::size_t n);
} // namespace avx512

template <Isa I, class R> Run structureRun(const std::uint8_t* p, std::size_t n) {
    if constexpr (I == Isa::Avx512) return avx512::structureRun<R>(p, n);
    if constexpr (I == Isa::Avx2) return avx2::structureRun<R>(p, n);
    return sse2::structureRun<R>(p, n);
}
template <Isa I> FoldRun foldRun(const std::uint8_t* a, const std::uint8_t* b, std::size_t n) {
    if constexpr (I == Isa::Avx512) return avx512::foldRun(a, b, n);
    if constexpr (I == Isa::Avx2) return avx2::foldRun(a, b, n);
    return sse2::foldRun(a, b, n);
}
template <Isa I>
std::size_t firstDifference(const std::uint8_t* a, const std::uint8_t* b, std::size_t n) {
    if constexpr (I == Isa::Avx512) return avx512::firstDifference(a, b, n);
    if constexpr (I == Isa::Avx2) return avx2::firstDifference(a, b, n);
    return sse2::firstDifference(a, b, n);
}
template <Isa I> std::size_t dropTrailing(Skip kind, const std::uint8_t* p, std::size_t n) {
    if constexpr (I == Isa::Avx512) return avx512::dropTrailing(kind, p, n);
    if constexpr (I == Isa::Avx2) return avx2::dropTrailing(kind, p, n);
    return sse2::dropTrailing(kind, p, n);
}

// No lead among the three bytes before p + i reaches into the block there (a run reads
// no byte before p).
inline bool quietBefore(const std::uint8_t* p, std::size_t i) {
    return i == 0 || (p[i - 1] < 0xC0 && p[i - 2] < 0xE0 && p[i - 3] < 0xF0);
}

// The last character boundary at or before end in a run that starts at p: the last
// non-continuation byte before end starts a character cut by end when its sequence
// reaches end. Runs that let early-ending sequences in may hold a lead from F8 up
// followed by three continuation bytes, so it is looked for up to four bytes back.
inline std::size_t boundaryBefore(const std::uint8_t* p, std::size_t end) {
    for (std::size_t k = 1; k <= 4 && k <= end; ++k)
        if (!isContinuation(p[end - k])) return bytesFromUTF8[p[end - k]] > k ? end - k : end;
    return end;
}

} // namespace xr::utf8
