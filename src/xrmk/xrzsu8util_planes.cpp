// Counting by continuation bytes with AVX-512 and GFNI: bit planes instead of byte compares.
//
// A 64-byte load at a stride of 61 bytes gives a window of 61 new bytes with the three
// bytes before them, so that no window needs anything from the one before. The GFNI
// affine transform, with the loaded bytes as its matrices, turns each group of eight bytes
// into its eight bit planes. Eight windows make four vectors, one for each of the bits
// 7..4, in which a 64-bit lane holds that bit of every byte of one window, byte j at bit
// 63 - j (reversed, which is how the transform hands them over). In a lane, then:
//   A = leads from C0 (bits 7 and 6), B = from E0 (7, 6, 5), D = from F0 (7, 6, 5, 4),
//   C = continuation bytes (7 and not 6),
// and the bytes that a lead among the three before announces are A>>1 | B>>2 | D>>3.
// Where that is C at every new byte, each lead is followed by exactly the continuation
// bytes it announces (from F8 up: three, then a byte that ends its sequence early) and
// every continuation byte is reached, so the characters are the other bytes. Well-formed
// text always passes; anything else is left to the caller's exact path.
//
// The same test by byte compares into mask registers needs four masks a block in general
// registers, and those moves alone (about one every two cycles) took four times as long
// as a count of the non-continuation bytes; here a block costs one transform, half a byte
// gather and its share of a few lane operations for eight windows.
#include <immintrin.h>

#include <array>
#include <cstddef>
#include <cstdint>

#include "internal/target.h"
#include "internal/utf8_simd.h"

namespace xr::utf8::avx512 {
namespace {

constexpr std::size_t kWindow = 61;                               // new bytes of a 64-byte load
static_assert(kPlaneStep == 16 * kWindow);                        // two tests of eight windows
constexpr std::uint64_t kNew = (std::uint64_t{1} << kWindow) - 1; // lane bits of new bytes

// Transform selectors: with the matrix of group m, selector byte 0x80 >> k gives bit 7 - k
// of its eight bytes. Even windows put bits 7..4 in bytes 0..3 of each group, odd ones in
// bytes 4..7, so that two windows fill one vector.
constexpr std::uint64_t kEvenPlanes = 0x0000000010204080;
constexpr std::uint64_t kOddPlanes = 0x1020408000000000;
constexpr __mmask64 kOddBytes = 0xF0F0F0F0F0F0F0F0;

// Byte gathers from two such vectors (windows 4h..4h+3): lanes 0..3 take bit `top` of
// windows 4h..4h+3, lanes 4..7 bit top - 1, each lane with group 7 - k in byte k.
struct alignas(64) Gather {
    std::array<std::uint8_t, 64> index;
};
constexpr Gather makeGather(unsigned top) {
    Gather g{};
    for (unsigned lane = 0; lane < 8; ++lane) {
        const unsigned bit = top - lane / 4, window = lane % 4;
        const unsigned source = window / 2, place = (window % 2 ? 4 : 0) + (7 - bit);
        for (unsigned k = 0; k < 8; ++k)
            g.index[lane * 8 + k] = static_cast<std::uint8_t>(64 * source + 8 * (7 - k) + place);
    }
    return g;
}
constexpr Gather kBits76 = makeGather(7), kBits54 = makeGather(5);

} // namespace

XR_TARGET_BEGIN(XR_AVX512_GFNI_FEATURES)
namespace {

using V = __m512i;

struct Constants {
    V even, odd, fresh, bits76, bits54;
};

// The continuation bytes of the eight windows at q + 3 (one lane each, new bytes only),
// and into `off` the new bytes where they differ from the bytes the leads announce.
XR_INLINE V checkWindows(const std::uint8_t* q, const Constants& k, V& off) {
    V pair[4];
    for (std::size_t w = 0; w < 4; ++w) {
        const V a =
            _mm512_gf2p8affine_epi64_epi8(k.even, _mm512_loadu_si512(q + 2 * w * kWindow), 0);
        pair[w] = _mm512_mask_gf2p8affine_epi64_epi8(
            a, kOddBytes, k.odd, _mm512_loadu_si512(q + (2 * w + 1) * kWindow), 0);
    }
    const V lo76 = _mm512_permutex2var_epi8(pair[0], k.bits76, pair[1]);
    const V lo54 = _mm512_permutex2var_epi8(pair[0], k.bits54, pair[1]);
    const V hi76 = _mm512_permutex2var_epi8(pair[2], k.bits76, pair[3]);
    const V hi54 = _mm512_permutex2var_epi8(pair[2], k.bits54, pair[3]);
    const V b7 = _mm512_shuffle_i64x2(lo76, hi76, 0x44),
            b6 = _mm512_shuffle_i64x2(lo76, hi76, 0xEE);
    const V b5 = _mm512_shuffle_i64x2(lo54, hi54, 0x44),
            b4 = _mm512_shuffle_i64x2(lo54, hi54, 0xEE);
    const V a = _mm512_and_si512(b7, b6);
    const V b = _mm512_ternarylogic_epi64(b7, b6, b5, 0x80); // b7 & b6 & b5
    const V d = _mm512_and_si512(b, b4);
    const V c = _mm512_ternarylogic_epi64(b7, b6, k.fresh, 0x20); // b7 & ~b6 & fresh
    const V announced = _mm512_ternarylogic_epi64(_mm512_srli_epi64(a, 1), _mm512_srli_epi64(b, 2),
                                                  _mm512_srli_epi64(d, 3), 0xFE);
    off = _mm512_ternarylogic_epi64(off, announced, c, 0xF6); // off | (announced ^ c)
    return c;
}

} // namespace

PlaneRun planeRun(const std::uint8_t* p, std::size_t i, std::size_t n) {
    const Constants k{_mm512_set1_epi64(static_cast<long long>(kEvenPlanes)),
                      _mm512_set1_epi64(static_cast<long long>(kOddPlanes)),
                      _mm512_set1_epi64(static_cast<long long>(kNew)),
                      _mm512_load_si512(kBits76.index.data()),
                      _mm512_load_si512(kBits54.index.data())};
    V conts = _mm512_setzero_si512();
    // Sixteen windows a test: a test for each eight took up to 10% longer.
    for (; i + kPlaneStep <= n; i += kPlaneStep) {
        const std::uint8_t* q = p + i - 3;
        V off = _mm512_setzero_si512();
        const V c0 = checkWindows(q, k, off);
        const V c1 = checkWindows(q + 8 * kWindow, k, off);
        const __mmask8 wrong = _mm512_test_epi64_mask(off, k.fresh);
        if (!_kortestz_mask16_u8(wrong, wrong)) break;
        conts = _mm512_add_epi64(
            conts, _mm512_add_epi64(_mm512_popcnt_epi64(c0), _mm512_popcnt_epi64(c1)));
    }
    alignas(64) std::uint64_t lanes[8];
    _mm512_store_si512(lanes, conts);
    std::size_t total = 0;
    for (const std::uint64_t lane : lanes)
        total += lane;
    return {i, total};
}

XR_TARGET_END

} // namespace xr::utf8::avx512
