// Scan and mismatch kernels over bytes and 32-bit units. Each fast kernel has its plain
// scalar reference beside it; both return the same index for every input, so callers may
// use either. Results are in units; n when nothing is found.
#pragma once

#include <immintrin.h>

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

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

struct Sse2 {
    using V = __m128i;
    static constexpr std::size_t kBytes = 16;
    static V load(const void* p) { return _mm_loadu_si128(static_cast<const V*>(p)); }
    template <class T> static V splat(T c) {
        if constexpr (kBytesOnly<T>)
            return _mm_set1_epi8(static_cast<char>(c));
        else
            return _mm_set1_epi32(static_cast<int>(c));
    }
    template <class T> static V equal(V a, V b) {
        if constexpr (kBytesOnly<T>)
            return _mm_cmpeq_epi8(a, b);
        else
            return _mm_cmpeq_epi32(a, b);
    }
    static V both(V a, V b) { return _mm_and_si128(a, b); }
    static V either(V a, V b) { return _mm_or_si128(a, b); }
    static std::uint32_t mask(V a) { return static_cast<std::uint32_t>(_mm_movemask_epi8(a)); }
};

struct Avx2 {
    using V = __m256i;
    static constexpr std::size_t kBytes = 32;
    XR_AVX2 static V load(const void* p) { return _mm256_loadu_si256(static_cast<const V*>(p)); }
    template <class T> XR_AVX2 static V splat(T c) {
        if constexpr (kBytesOnly<T>)
            return _mm256_set1_epi8(static_cast<char>(c));
        else
            return _mm256_set1_epi32(static_cast<int>(c));
    }
    template <class T> XR_AVX2 static V equal(V a, V b) {
        if constexpr (kBytesOnly<T>)
            return _mm256_cmpeq_epi8(a, b);
        else
            return _mm256_cmpeq_epi32(a, b);
    }
    XR_AVX2 static V both(V a, V b) { return _mm256_and_si256(a, b); }
    XR_AVX2 static V either(V a, V b) { return _mm256_or_si256(a, b); }
    XR_AVX2 static std::uint32_t mask(V a) {
        return static_cast<std::uint32_t>(_mm256_movemask_epi8(a));
    }
};

// The kernels over one vector kind. Mask bits are one per byte, so a unit of T owns
// sizeof(T) consecutive bits. Vectors stay local or travel by reference: a 32-byte vector
// passed by value from code not built for AVX would change the calling convention.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wpsabi"
#endif
template <class X, class T> struct Kernel {
    static_assert(sizeof(T) == 1 || sizeof(T) == 4);
    using V = typename X::V;
    static constexpr std::size_t kPer = X::kBytes / sizeof(T);
    static constexpr std::uint32_t kAll = X::kBytes == 32 ? 0xFFFFFFFFu : 0xFFFFu;

    XR_KERNEL static std::size_t unitOf(std::uint32_t m) {
        return static_cast<std::size_t>(std::countr_zero(m)) / sizeof(T);
    }
    template <Want W> XR_KERNEL static std::uint32_t hitMask(const T* p, const V& v) {
        const std::uint32_t m = X::mask(X::template equal<T>(X::load(p), v));
        return W == Want::Equal ? m : m ^ kAll;
    }
    // Whether any of the four vectors at p holds a hit.
    template <Want W> XR_KERNEL static bool anyHit4(const T* p, const V& v) {
        const V e0 = X::template equal<T>(X::load(p), v);
        const V e1 = X::template equal<T>(X::load(p + kPer), v);
        const V e2 = X::template equal<T>(X::load(p + 2 * kPer), v);
        const V e3 = X::template equal<T>(X::load(p + 3 * kPer), v);
        if constexpr (W == Want::Equal)
            return X::mask(X::either(X::either(e0, e1), X::either(e2, e3))) != 0;
        else
            return X::mask(X::both(X::both(e0, e1), X::both(e2, e3))) != kAll;
    }

    template <Want W> XR_KERNEL static std::size_t scan(const T* p, std::size_t n, T ch) {
        if (n < kPer) return scanScalar<W>(p, n, ch);
        const V v = X::template splat<T>(ch);
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
        for (; i + 2 * kPer <= n; i += 2 * kPer) {
            const V e0 = X::template equal<T>(X::load(a + i), X::load(b + i));
            const V e1 = X::template equal<T>(X::load(a + i + kPer), X::load(b + i + kPer));
            if (X::mask(X::both(e0, e1)) != kAll) break;
        }
        for (; i + kPer <= n; i += kPer) {
            const std::uint32_t m = X::mask(X::template equal<T>(X::load(a + i), X::load(b + i)));
            if (m != kAll) return i + unitOf(m ^ kAll);
        }
        return i + mismatchScalar(a + i, b + i, n - i);
    }
};

#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif

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

inline bool hasAvx2() {
    return __builtin_cpu_supports("avx2");
}

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
