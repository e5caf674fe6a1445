// The UTF-8 kit's vector kernels, compiled for SSE2 and, under target options, for AVX2
// and AVX-512; the callers choose one set per call from what the CPU reports.
#include <immintrin.h>

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>

#include "internal/target.h"
#include "internal/utf8_simd.h"

namespace xr::utf8 {

#define XR_UTF8_INSTANTIATE                                                                        \
    template Run structureRun<CountStops>(const std::uint8_t*, std::size_t);                       \
    template Run structureRun<ContinuationStops>(const std::uint8_t*, std::size_t);                \
    template Run structureRun<EncodeStops>(const std::uint8_t*, std::size_t);                      \
    template Run structureRun<EncodeNulStops>(const std::uint8_t*, std::size_t);                   \
    template Run structureRun<DecodeStops>(const std::uint8_t*, std::size_t);

namespace sse2 {
#define XR_UTF8_LEVEL 1
#include "internal/utf8_simd_body.h"
#undef XR_UTF8_LEVEL
XR_UTF8_INSTANTIATE
} // namespace sse2

XR_TARGET_BEGIN(XR_AVX2_FEATURES)
namespace avx2 {
#define XR_UTF8_LEVEL 3
#include "internal/utf8_simd_body.h"
#undef XR_UTF8_LEVEL
XR_UTF8_INSTANTIATE
} // namespace avx2
XR_TARGET_END
XR_TARGET_BEGIN(XR_AVX512_FEATURES)
// 64 bytes a block, with compares that give bit masks: the same rules as the 16- and
// 32-byte kernels, with the masks combined and counted in general registers.
namespace avx512 {

using V = __m512i;
using Mask = std::uint64_t;
constexpr std::size_t kBytes = 64;

inline V load(const std::uint8_t* p) {
    return _mm512_loadu_si512(p);
}
inline V splat(std::uint8_t c) {
    return _mm512_set1_epi8(static_cast<char>(c));
}
inline unsigned firstBit(Mask m) {
    return static_cast<unsigned>(std::countr_zero(m));
}
inline Mask below(unsigned bit) {
    return (Mask{1} << bit) - 1;
}

inline Mask continuations(V v) {
    return _mm512_cmplt_epi8_mask(v, splat(0xC0)); // 80..BF are the only bytes below -64
}
inline Mask nonAscii(V v) {
    return _mm512_movepi8_mask(v);
}

// The bytes K places before those of cur, zeros before the first.
template <int K> V before(V cur) {
    const V back = _mm512_sub_epi8(
        _mm512_set_epi8(63, 62, 61, 60, 59, 58, 57, 56, 55, 54, 53, 52, 51, 50, 49, 48, 47, 46, 45,
                        44, 43, 42, 41, 40, 39, 38, 37, 36, 35, 34, 33, 32, 31, 30, 29, 28, 27, 26,
                        25, 24, 23, 22, 21, 20, 19, 18, 17, 16, 15, 14, 13, 12, 11, 10, 9, 8, 7, 6,
                        5, 4, 3, 2, 1, 0),
        splat(K));
    return _mm512_maskz_permutexvar_epi8(~Mask{0} << K, back, cur);
}

// Bytes that end a run of the rules R, given the bytes one, two and three places before
// each byte of cur; leads from R::kTop up aside when Top is false (the caller checks
// those for several blocks at once), and four-byte leads three places back when Four is
// false (the caller knows there are none).
template <class R, bool Top = true, bool Four = true>
XR_INLINE Mask stops(V cur, Mask cont, V p1, V p2, V p3) {
    // The bytes no lead reaches, by compares that each narrow the last one's mask.
    Mask unreached = _mm512_cmplt_epu8_mask(p1, splat(0xC0));
    unreached = _mm512_mask_cmplt_epu8_mask(unreached, p2, splat(0xE0));
    if constexpr (Four) unreached = _mm512_mask_cmplt_epu8_mask(unreached, p3, splat(0xF0));
    Mask bad = ~(unreached ^ cont);
    if constexpr (Top) bad |= _mm512_cmpge_epu8_mask(cur, splat(R::kTop));
    if constexpr (R::kSurrogates)
        bad |=
            _mm512_mask_cmpge_epu8_mask(_mm512_cmpeq_epi8_mask(p1, splat(0xED)), cur, splat(0xA0));
    if constexpr (R::kNul) bad |= _mm512_testn_epi8_mask(cur, cur);
    if constexpr (R::kC0C1)
        bad |= _mm512_cmpeq_epi8_mask(_mm512_and_si512(cur, splat(0xFE)), splat(0xC0));
    return bad;
}

// The same for the block at q, which has three readable bytes before it.
template <class R, bool Top = true, bool Four = true>
XR_INLINE Mask stopsAfter(const std::uint8_t* q, V cur, Mask cont) {
    return stops<R, Top, Four>(cur, cont, load(q - 1), load(q - 2), load(q - 3));
}

// Four blocks read at once, and their bytewise maximum.
struct Group {
    V v[4];
    V top;
};
XR_INLINE Group loadBlocks(const std::uint8_t* q) {
    Group g;
    for (std::size_t k = 0; k < 4; ++k)
        g.v[k] = load(q + k * kBytes);
    return g;
}
XR_INLINE void findTop(Group& g) {
    g.top = _mm512_max_epu8(_mm512_max_epu8(g.v[0], g.v[1]), _mm512_max_epu8(g.v[2], g.v[3]));
}
XR_INLINE Group loadGroup(const std::uint8_t* q) {
    Group g = loadBlocks(q);
    findTop(g);
    return g;
}
inline bool ascii(const Group& g) {
    return nonAscii(g.top) == 0;
}

// Asks for the lines four groups ahead of q: left to the hardware, text that comes from
// the second-level cache arrives too late for these kernels (they took 7% longer).
inline void prefetchAhead(const std::uint8_t* q) {
    for (std::size_t k = 0; k < 4; ++k)
        _mm_prefetch(reinterpret_cast<const char*>(q + 16 * kBytes + k * kBytes), _MM_HINT_T0);
}

// Whether one of the three bytes before q is from F0 up.
inline bool highBefore(const std::uint8_t* q) {
    return q[-1] >= 0xF0 || q[-2] >= 0xF0 || q[-3] >= 0xF0;
}

// The stops of the group g at q (with bytes before it), c the continuation bytes of its
// blocks, and whether the group holds a byte from F0 up. Such bytes are rare, and one
// compare on the maximum rules them out: then no lead from R::kTop up is there, and
// unless lowBefore says that the three bytes before q are below F0, they are looked at;
// without four-byte leads in the group or just before it no byte is reached from three
// places back (with a top of F0, such a lead stops the run anyway).
struct GroupCheck {
    Mask bad;
    bool high;
};
template <class R>
XR_INLINE GroupCheck groupStops(const std::uint8_t* q, const Group& g, const Mask (&c)[4],
                                bool lowBefore) {
    static_assert(R::kTop >= 0xF0);
    const Mask high = _mm512_cmpge_epu8_mask(g.top, splat(0xF0));
    Mask bad = 0;
    if (high != 0) bad = R::kTop == 0xF0 ? high : _mm512_cmpge_epu8_mask(g.top, splat(R::kTop));
    const bool four = R::kTop > 0xF0 && (high != 0 || (!lowBefore && highBefore(q)));
    for (std::size_t k = 0; k < 4; ++k)
        bad |= four ? stopsAfter<R, false, true>(q + k * kBytes, g.v[k], c[k])
                    : stopsAfter<R, false, false>(q + k * kBytes, g.v[k], c[k]);
    return {bad, high != 0};
}

inline void continuations(const Group& g, Mask (&c)[4]) {
    for (std::size_t k = 0; k < 4; ++k)
        c[k] = continuations(g.v[k]);
}

// The same for the block at p + i, with zeros before p.
template <class R>
XR_INLINE Mask blockStops(const std::uint8_t* p, std::size_t i, V cur, Mask cont) {
    if (i > 0) return stopsAfter<R>(p + i, cur, cont);
    return stops<R>(cur, cont, before<1>(cur), before<2>(cur), before<3>(cur));
}

// Text of four-byte characters only repeats a pattern of leads and continuation bytes
// every four bytes. While a text keeps to it, a group is checked against the pattern by
// one test of the top bits of its bytes, which needs no look at the bytes before each
// block, and the pattern gives the count. Only where every structure rule of the run is
// these top bits (leads up to F7 and nothing else stopping the run).
template <class R>
constexpr bool kPatternRuns = R::kTop == 0xF8 && !R::kSurrogates && !R::kNul && !R::kC0C1;

constexpr unsigned kNoPattern = 4;
constexpr std::size_t kPatternConts = 3 * kBytes;

// Whether the group g keeps the pattern of the phase.
XR_INLINE bool keepsPattern(const Group& g, unsigned phase) {
    const FourBytePattern<kBytes>& t = kFourBytePatterns<kBytes>[phase];
    const V mask = load(t.mask), value = load(t.value);
    V off = _mm512_setzero_si512();
    for (std::size_t k = 0; k < 4; ++k) // off |= (byte & mask) ^ value
        off = _mm512_or_si512(off, _mm512_ternarylogic_epi32(g.v[k], mask, value, 0x6A));
    return _mm512_test_epi8_mask(off, off) == 0;
}

// The phase at which the text after the checked group at q would go on in the pattern:
// the offset of the first lead in its last block, when that block keeps the pattern (a
// guess that the next group does too) and its last lead is a four-byte one, so that the
// sequence reaches exactly that many bytes into the next group; else kNoPattern.
inline unsigned patternAfter(const std::uint8_t* q, Mask c3) {
    const Mask leads = ~c3;
    const unsigned phase = leads != 0 ? firstBit(leads) : kNoPattern;
    if (phase < 4 && leads == Mask{0x1111111111111111} << phase &&
        q[3 * kBytes + 60 + phase] >= 0xF0)
        return phase;
    return kNoPattern;
}

// The groups from i on that keep the pattern of the phase, in a loop of their own (one
// group a turn of the run's loop took up to 1.7 times as long when counting by
// continuation bytes): where the first that does not starts.
inline std::size_t patternGroups(const std::uint8_t* p, std::size_t i, std::size_t n,
                                 unsigned phase) {
    for (; i + 4 * kBytes <= n; i += 4 * kBytes) {
        prefetchAhead(p + i);
        if (!keepsPattern(loadBlocks(p + i), phase)) break;
    }
    return i;
}

// The groups of ASCII bytes from i on: where the first group that is not starts.
inline std::size_t asciiGroups(const std::uint8_t* p, std::size_t i, std::size_t n) {
    for (; i + 4 * kBytes <= n; i += 4 * kBytes)
        if (!ascii(loadGroup(p + i))) break;
    return i;
}

// Groups start at a 64-byte boundary, so that only the loads of the bytes before each
// block split a cache line; the blocks before the first boundary at least three bytes in
// are cut short there (one or two blocks).
template <class R> Run structureRun(const std::uint8_t* p, std::size_t n) {
    constexpr std::size_t kGroup = 4 * kBytes;
    const std::size_t head = 3 + ((0 - reinterpret_cast<std::uintptr_t>(p + 3)) & (kBytes - 1));
    std::size_t conts = 0;
    std::size_t i = 0;
    // What the last group showed: all its bytes below F0, no continuation byte, a byte
    // from F0 up. The ASCII test is made only after a group without continuation bytes
    // (in other text it would cost more than it saves); when counting by continuation
    // bytes, a group without bytes from F0 up hands over to planeRun (text of four-byte
    // characters keeps to its pattern faster), where the CPU has it.
    bool lowBefore = false, asciiBefore = true, highSeen = false;
    unsigned phase = kNoPattern; // of the four-byte pattern the text keeps, if known
    // planeRun stops only before a step that holds a byte which ends this run; then it
    // waits until that step is passed.
    const bool planes = R::kEarlyEnds && cpu::hasGfniPopcnt512();
    std::size_t planesFrom = 0;
    while (i + kBytes <= n) {
        if (planes && i >= head && i >= planesFrom && i + kPlaneStep <= n && !asciiBefore &&
            !highSeen && phase == kNoPattern) {
            const PlaneRun r = planeRun(p, i, n);
            if (r.end + kPlaneStep <= n) planesFrom = r.end + kPlaneStep;
            i = r.end;
            conts += r.conts;
            lowBefore = false; // bytes from F0 up may be there
            if (i + kBytes > n) break;
        }
        if (i >= head && i + kGroup <= n) {
            const std::uint8_t* q = p + i;
            if (!R::kNul && asciiBefore && quietBefore(p, i)) {
                const std::size_t end = asciiGroups(p, i, n);
                if (end != i) {
                    // What stopped the loop (a group that is not ASCII, or the end) is
                    // not worth the ASCII test again.
                    i = end;
                    lowBefore = true;
                    asciiBefore = false;
                    continue;
                }
            }
            if constexpr (kPatternRuns<R>) {
                if (phase != kNoPattern) {
                    const std::size_t end = patternGroups(p, i, n, phase);
                    if (end != i) {
                        conts += (end - i) / kGroup * kPatternConts;
                        i = end;
                        lowBefore = asciiBefore = false;
                    }
                    phase = kNoPattern;
                    continue;
                }
            }
            prefetchAhead(q);
            Group g = loadBlocks(q);
            findTop(g);
            Mask c[4];
            continuations(g, c);
            const GroupCheck check = groupStops<R>(q, g, c, lowBefore);
            highSeen = check.high;
            if (check.bad == 0) {
                const std::size_t found =
                    static_cast<std::size_t>(std::popcount(c[0]) + std::popcount(c[1]) +
                                             std::popcount(c[2]) + std::popcount(c[3]));
                conts += found;
                i += kGroup;
                lowBefore = !check.high;
                asciiBefore = found == 0;
                if constexpr (kPatternRuns<R>)
                    if (check.high) phase = patternAfter(q, c[3]);
                continue;
            }
        }
        lowBefore = false;
        phase = kNoPattern;
        const std::size_t len = i < head && head - i < kBytes ? head - i : kBytes;
        const Mask taken = len < kBytes ? below(static_cast<unsigned>(len)) : ~Mask{0};
        const V cur = load(p + i);
        const Mask cont = continuations(cur) & taken;
        if (const Mask bad = blockStops<R>(p, i, cur, cont) & taken) {
            const unsigned at = firstBit(bad);
            conts += static_cast<std::size_t>(std::popcount(cont & below(at)));
            return {i + at, conts, true};
        }
        conts += static_cast<std::size_t>(std::popcount(cont));
        i += len;
    }
    return {i, conts, false};
}

// The differing bytes of x and y that do not fold alike: two bytes fold alike when they
// differ in 0x20 alone and are letters.
inline Mask foldStops(V x, V y, Mask differ) {
    const Mask letters = _mm512_cmplt_epu8_mask(
        _mm512_sub_epi8(_mm512_or_si512(x, splat(0x20)), splat('a')), splat(26));
    return differ &
           ~_mm512_mask_cmpeq_epi8_mask(differ & letters, _mm512_xor_si512(x, y), splat(0x20));
}

// Four blocks at a time after the first while nothing stops the run, so that mixed text
// takes one branch per 256 bytes; the blocks around a stop go one at a time.
FoldRun foldRun(const std::uint8_t* a, const std::uint8_t* b, std::size_t n) {
    constexpr std::size_t kGroup = 4 * kBytes;
    std::size_t firstDiff = SIZE_MAX;
    std::size_t i = 0;
    while (i + kBytes <= n) {
        if (i > 0 && i + kGroup <= n) {
            const std::uint8_t *q = a + i, *r = b + i;
            const Group x = loadGroup(q);
            Mask differ[4], stop = 0;
            for (std::size_t k = 0; k < 4; ++k) {
                const V y = load(r + k * kBytes);
                differ[k] = _mm512_cmpneq_epi8_mask(x.v[k], y);
                stop |= foldStops(x.v[k], y, differ[k]);
            }
            if (!ascii(x) || !quietBefore(a, i)) {
                Mask c[4];
                continuations(x, c);
                stop |= groupStops<Stops<0xF8>>(q, x, c, false).bad;
            }
            if (stop == 0) {
                for (std::size_t k = 0; k < 4 && firstDiff == SIZE_MAX; ++k)
                    if (differ[k]) firstDiff = i + k * kBytes + firstBit(differ[k]);
                i += kGroup;
                continue;
            }
        }
        const V x = load(a + i), y = load(b + i);
        const Mask differ = _mm512_cmpneq_epi8_mask(x, y);
        const Mask stop =
            foldStops(x, y, differ) | blockStops<Stops<0xF8>>(a, i, x, continuations(x));
        const Mask early = differ & (stop ? below(firstBit(stop)) : ~Mask{0});
        if (firstDiff == SIZE_MAX && early) firstDiff = i + firstBit(early);
        if (stop) return {i + firstBit(stop), firstDiff, true};
        i += kBytes;
    }
    return {i, firstDiff, false};
}

inline Mask skipped(Skip kind, V v) {
    switch (kind) {
    case Skip::Spaces:
        return _mm512_cmpeq_epi8_mask(v, splat(0x20));
    case Skip::WhiteSpace:
        return _mm512_cmpeq_epi8_mask(v, splat(0x20)) |
               _mm512_cmplt_epu8_mask(_mm512_sub_epi8(v, splat(0x09)), splat(5));
    default:
        return continuations(v);
    }
}

std::size_t dropTrailing(Skip kind, const std::uint8_t* p, std::size_t n) {
    for (; n >= kBytes; n -= kBytes) {
        if (const Mask keep = ~skipped(kind, load(p + n - kBytes)))
            return n - static_cast<std::size_t>(std::countl_zero(keep));
    }
    while (n > 0 && isSkipped(kind, p[n - 1]))
        --n;
    return n;
}

// Four blocks a branch while they match; the tail by masked loads.
std::size_t firstDifference(const std::uint8_t* a, const std::uint8_t* b, std::size_t n) {
    std::size_t i = 0;
    for (; i + 4 * kBytes <= n; i += 4 * kBytes) {
        const V d0 = _mm512_xor_si512(load(a + i), load(b + i));
        const V d1 = _mm512_xor_si512(load(a + i + kBytes), load(b + i + kBytes));
        const V d2 = _mm512_xor_si512(load(a + i + 2 * kBytes), load(b + i + 2 * kBytes));
        const V d3 = _mm512_xor_si512(load(a + i + 3 * kBytes), load(b + i + 3 * kBytes));
        const V any = _mm512_or_si512(_mm512_ternarylogic_epi64(d0, d1, d2, 0xFE), d3);
        if (_mm512_test_epi64_mask(any, any)) break;
    }
    for (; i < n; i += kBytes) {
        const Mask in = n - i >= kBytes ? ~Mask{0} : below(static_cast<unsigned>(n - i));
        const Mask differ = _mm512_mask_cmpneq_epi8_mask(in, _mm512_maskz_loadu_epi8(in, a + i),
                                                         _mm512_maskz_loadu_epi8(in, b + i));
        if (differ) return i + firstBit(differ);
    }
    return n;
}

XR_UTF8_INSTANTIATE
} // namespace avx512
XR_TARGET_END

} // namespace xr::utf8
