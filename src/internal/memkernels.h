// Scan and mismatch kernels over bytes and 32-bit units. Each fast kernel has its plain
// scalar reference beside it; both return the same index for every input, so callers may
// use either. Results are in units; n when nothing is found.
#pragma once

#include <emmintrin.h>

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

namespace sse2 {

inline __m128i load(const void* p) {
    return _mm_loadu_si128(static_cast<const __m128i*>(p));
}

template <class T> __m128i splat(T ch) {
    static_assert(sizeof(T) == 1 || sizeof(T) == 4);
    if constexpr (sizeof(T) == 1)
        return _mm_set1_epi8(static_cast<char>(ch));
    else
        return _mm_set1_epi32(static_cast<int>(ch));
}

template <class T> __m128i equal(__m128i a, __m128i b) {
    if constexpr (sizeof(T) == 1)
        return _mm_cmpeq_epi8(a, b);
    else
        return _mm_cmpeq_epi32(a, b);
}

// One bit per byte of the 16 at p; a unit is a hit when its bytes' bits are set.
template <Want W, class T> unsigned hitMask(const T* p, __m128i v) {
    auto m = static_cast<unsigned>(_mm_movemask_epi8(equal<T>(load(p), v)));
    return W == Want::Equal ? m : m ^ 0xFFFFu;
}

template <class T> std::size_t unitOf(unsigned mask) {
    return static_cast<std::size_t>(std::countr_zero(mask)) / sizeof(T);
}

// Whether any of the four blocks of 16 bytes at p holds a hit.
template <Want W, class T> bool anyHit4(const T* p, __m128i v) {
    constexpr std::size_t per = 16 / sizeof(T);
    __m128i e0 = equal<T>(load(p), v), e1 = equal<T>(load(p + per), v);
    __m128i e2 = equal<T>(load(p + 2 * per), v), e3 = equal<T>(load(p + 3 * per), v);
    if constexpr (W == Want::Equal)
        return _mm_movemask_epi8(_mm_or_si128(_mm_or_si128(e0, e1), _mm_or_si128(e2, e3))) != 0;
    else
        return _mm_movemask_epi8(_mm_and_si128(_mm_and_si128(e0, e1), _mm_and_si128(e2, e3))) !=
               0xFFFF;
}

template <Want W, class T> std::size_t scan(const T* p, std::size_t n, T ch) {
    constexpr std::size_t per = 16 / sizeof(T);
    if (n < per) return scanScalar<W>(p, n, ch);
    const __m128i v = splat(ch);
    std::size_t i = 0;
    while (i + 4 * per <= n && !anyHit4<W>(p + i, v))
        i += 4 * per;
    for (; i + per <= n; i += per)
        if (unsigned m = hitMask<W>(p + i, v)) return i + unitOf<T>(m);
    if (i == n) return n;
    // The last block overlaps units already known to miss, so its first hit is at or past i.
    const std::size_t last = n - per;
    unsigned m = hitMask<W>(p + last, v);
    return m ? last + unitOf<T>(m) : n;
}

template <class T> std::size_t mismatch(const T* a, const T* b, std::size_t n) {
    constexpr std::size_t per = 16 / sizeof(T);
    std::size_t i = 0;
    for (; i + per <= n; i += per) {
        auto m = static_cast<unsigned>(_mm_movemask_epi8(equal<T>(load(a + i), load(b + i))));
        if (m != 0xFFFFu) return i + unitOf<T>(m ^ 0xFFFFu);
    }
    return i + mismatchScalar(a + i, b + i, n - i);
}

} // namespace sse2

template <Want W, class T> std::size_t scan(const T* p, std::size_t n, T ch) {
    if constexpr (W == Want::Equal && sizeof(T) == 1) {
        const void* hit = n ? std::memchr(p, static_cast<unsigned char>(ch), n) : nullptr;
        return hit ? static_cast<std::size_t>(static_cast<const T*>(hit) - p) : n;
    } else {
        return sse2::scan<W>(p, n, ch);
    }
}

template <class T> std::size_t mismatch(const T* a, const T* b, std::size_t n) {
    return sse2::mismatch(a, b, n);
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
