// Scan and mismatch kernels over bytes and 32-bit units. Each fast kernel has its plain
// scalar reference beside it; both return the same index for every input, so callers may
// use either. Results are in units; n when nothing is found.
#pragma once

#include <immintrin.h>

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "internal/cpu.h"

namespace xr::mem {

enum class Want { Equal, Differ };

template <Want W, class T> constexpr bool isHit(T unit, T ch) {
    return W == Want::Equal ? unit == ch : unit != ch;
}

// First index i < n with p[i] == ch (Equal) or p[i] != ch (Differ), else n.
template <Want W, class T> std::size_t scanScalar(const T* p, std::size_t n, T ch) {
    std::size_t i = 0;
    while (i < n && !isHit<W>(p[i], ch))
        ++i;
    return i;
}

// First index i < n with a[i] != b[i], else n.
template <class T> std::size_t mismatchScalar(const T* a, const T* b, std::size_t n) {
    std::size_t i = 0;
    while (i < n && a[i] == b[i])
        ++i;
    return i;
}

// Vector operations for the kernels below; Avx2's are compiled for AVX2 only and run
// only when the CPU reports it.
#define XR_AVX2 __attribute__((target("avx2")))
#define XR_KERNEL __attribute__((always_inline))

template <class T> constexpr bool kBytesOnly = sizeof(T) == 1;

// The vector kinds. Their public operations take vectors only by reference and return
// masks (one bit per byte): a 32-byte vector passed by value between code built with and
// without AVX would change the calling convention.
struct Sse2 {
    using V = __m128i;
    static constexpr std::size_t kBytes = 16;
    static constexpr std::uint32_t kAll = 0xFFFFu;

    template <class T> static void splat(T c, V& out) {
        if constexpr (kBytesOnly<T>)
            out = _mm_set1_epi8(static_cast<char>(c));
        else
            out = _mm_set1_epi32(static_cast<int>(c));
    }
    template <class T> static V equal(V a, V b) {
        if constexpr (kBytesOnly<T>)
            return _mm_cmpeq_epi8(a, b);
        else
            return _mm_cmpeq_epi32(a, b);
    }
    template <class T> static V equalAt(const T* p, const V& v) {
        return equal<T>(_mm_loadu_si128(reinterpret_cast<const V*>(p)), v);
    }
    template <class T> static V sameAt(const T* a, const T* b) {
        return equalAt(a, _mm_loadu_si128(reinterpret_cast<const V*>(b)));
    }
    static std::uint32_t mask(V a) { return static_cast<std::uint32_t>(_mm_movemask_epi8(a)); }

    template <class T> static std::uint32_t eqMask(const T* p, const V& v) {
        return mask(equalAt(p, v));
    }
    // Over the four vectors at p, p + step, ...: any byte equal / every byte equal.
    template <class T> static std::uint32_t anyEq4(const T* p, std::size_t step, const V& v) {
        return mask(_mm_or_si128(_mm_or_si128(equalAt(p, v), equalAt(p + step, v)),
                                 _mm_or_si128(equalAt(p + 2 * step, v), equalAt(p + 3 * step, v))));
    }
    template <class T> static std::uint32_t allEq4(const T* p, std::size_t step, const V& v) {
        return mask(
            _mm_and_si128(_mm_and_si128(equalAt(p, v), equalAt(p + step, v)),
                          _mm_and_si128(equalAt(p + 2 * step, v), equalAt(p + 3 * step, v))));
    }
    template <class T> static std::uint32_t sameMask(const T* a, const T* b) {
        return mask(sameAt(a, b));
    }
    template <class T> static std::uint32_t sameMask2(const T* a, const T* b, std::size_t step) {
        return mask(_mm_and_si128(sameAt(a, b), sameAt(a + step, b + step)));
    }
};

struct Avx2 {
    using V = __m256i;
    static constexpr std::size_t kBytes = 32;
    static constexpr std::uint32_t kAll = 0xFFFFFFFFu;

    template <class T> XR_AVX2 static void splat(T c, V& out) {
        if constexpr (kBytesOnly<T>)
            out = _mm256_set1_epi8(static_cast<char>(c));
        else
            out = _mm256_set1_epi32(static_cast<int>(c));
    }
    template <class T> XR_AVX2 static V equal(V a, V b) {
        if constexpr (kBytesOnly<T>)
            return _mm256_cmpeq_epi8(a, b);
        else
            return _mm256_cmpeq_epi32(a, b);
    }
    template <class T> XR_AVX2 static V equalAt(const T* p, const V& v) {
        return equal<T>(_mm256_loadu_si256(reinterpret_cast<const V*>(p)), v);
    }
    template <class T> XR_AVX2 static V sameAt(const T* a, const T* b) {
        return equalAt(a, _mm256_loadu_si256(reinterpret_cast<const V*>(b)));
    }
    XR_AVX2 static std::uint32_t mask(V a) {
        return static_cast<std::uint32_t>(_mm256_movemask_epi8(a));
    }

    template <class T> XR_AVX2 static std::uint32_t eqMask(const T* p, const V& v) {
        return mask(equalAt(p, v));
    }
    template <class T>
    XR_AVX2 static std::uint32_t anyEq4(const T* p, std::size_t step, const V& v) {
        return mask(
            _mm256_or_si256(_mm256_or_si256(equalAt(p, v), equalAt(p + step, v)),
                            _mm256_or_si256(equalAt(p + 2 * step, v), equalAt(p + 3 * step, v))));
    }
    template <class T>
    XR_AVX2 static std::uint32_t allEq4(const T* p, std::size_t step, const V& v) {
        return mask(
            _mm256_and_si256(_mm256_and_si256(equalAt(p, v), equalAt(p + step, v)),
                             _mm256_and_si256(equalAt(p + 2 * step, v), equalAt(p + 3 * step, v))));
    }
    template <class T> XR_AVX2 static std::uint32_t sameMask(const T* a, const T* b) {
        return mask(sameAt(a, b));
    }
    template <class T>
    XR_AVX2 static std::uint32_t sameMask2(const T* a, const T* b, std::size_t step) {
        return mask(_mm256_and_si256(sameAt(a, b), sameAt(a + step, b + step)));
    }
};

// The kernels over one vector kind; a unit of T owns sizeof(T) consecutive mask bits.
template <class X, class T> struct Kernel {
    static_assert(sizeof(T) == 1 || sizeof(T) == 4);
    using V = typename X::V;
    static constexpr std::size_t kPer = X::kBytes / sizeof(T);
    static constexpr std::uint32_t kAll = X::kAll;

    XR_KERNEL static std::size_t unitOf(std::uint32_t m) {
        return static_cast<std::size_t>(std::countr_zero(m)) / sizeof(T);
    }
    template <Want W> XR_KERNEL static std::uint32_t hitMask(const T* p, const V& v) {
        const std::uint32_t m = X::eqMask(p, v);
        return W == Want::Equal ? m : m ^ kAll;
    }
    template <Want W> XR_KERNEL static bool anyHit4(const T* p, const V& v) {
        if constexpr (W == Want::Equal)
            return X::anyEq4(p, kPer, v) != 0;
        else
            return X::allEq4(p, kPer, v) != kAll;
    }

    template <Want W> XR_KERNEL static std::size_t scan(const T* p, std::size_t n, T ch) {
        if (n < kPer) return scanScalar<W>(p, n, ch);
        V v;
        X::splat(ch, v);
        std::size_t i = 0;
        while (i + 4 * kPer <= n && !anyHit4<W>(p + i, v))
            i += 4 * kPer;
        for (; i + kPer <= n; i += kPer)
            if (std::uint32_t m = hitMask<W>(p + i, v)) return i + unitOf(m);
        if (i == n) return n;
        // The last vector overlaps units known to miss, so its first hit is at or past i.
        const std::size_t last = n - kPer;
        const std::uint32_t m = hitMask<W>(p + last, v);
        return m ? last + unitOf(m) : n;
    }

    XR_KERNEL static std::size_t mismatch(const T* a, const T* b, std::size_t n) {
        std::size_t i = 0;
        while (i + 2 * kPer <= n && X::sameMask2(a + i, b + i, kPer) == kAll)
            i += 2 * kPer;
        for (; i + kPer <= n; i += kPer)
            if (std::uint32_t m = X::sameMask(a + i, b + i); m != kAll) return i + unitOf(m ^ kAll);
        return i + mismatchScalar(a + i, b + i, n - i);
    }
};

// Entry points per vector kind; every kernel step is inlined into them, so the AVX2
// operations form one AVX2 body and no 32-byte vector crosses a call.
template <Want W, class T> std::size_t scanSse2(const T* p, std::size_t n, T ch) {
    return Kernel<Sse2, T>::template scan<W>(p, n, ch);
}
template <Want W, class T> XR_AVX2 std::size_t scanAvx2(const T* p, std::size_t n, T ch) {
    return Kernel<Avx2, T>::template scan<W>(p, n, ch);
}
template <class T> std::size_t mismatchSse2(const T* a, const T* b, std::size_t n) {
    return Kernel<Sse2, T>::mismatch(a, b, n);
}
template <class T> XR_AVX2 std::size_t mismatchAvx2(const T* a, const T* b, std::size_t n) {
    return Kernel<Avx2, T>::mismatch(a, b, n);
}

using cpu::hasAvx2;

template <Want W, class T> std::size_t scan(const T* p, std::size_t n, T ch) {
    if constexpr (W == Want::Equal && sizeof(T) == 1) {
        const void* hit = n ? std::memchr(p, static_cast<unsigned char>(ch), n) : nullptr;
        return hit ? static_cast<std::size_t>(static_cast<const T*>(hit) - p) : n;
    } else {
        return hasAvx2() ? scanAvx2<W>(p, n, ch) : scanSse2<W>(p, n, ch);
    }
}

template <class T> std::size_t mismatch(const T* a, const T* b, std::size_t n) {
    return hasAvx2() ? mismatchAvx2(a, b, n) : mismatchSse2(a, b, n);
}

// Leftmost start of the tn units of tok among the n units of s, else n (1 <= tn <= n).
// Candidates are found by the first unit; the rest is compared only there.
template <class T> std::size_t findToken(const T* s, std::size_t n, const T* tok, std::size_t tn) {
    const std::size_t starts = n - tn + 1;
    for (std::size_t pos = 0; pos < starts; ++pos) {
        pos += scan<Want::Equal>(s + pos, starts - pos, tok[0]);
        if (pos == starts) break;
        if (std::memcmp(s + pos + 1, tok + 1, (tn - 1) * sizeof(T)) == 0) return pos;
    }
    return n;
}

} // namespace xr::mem
