// UTF-8 decoding for AVX2, in 64-byte blocks that start at a character: a structure
// check in the vector domain, then every byte position decoded as if a character
// started there, sixteen positions to a 256-bit vector in 16-bit lanes (eight in 32-bit
// lanes when the block holds four-byte characters), of which a shuffle keeps the real
// starts. Blocks of three-byte or of four-byte characters alone take fixed shuffles.
// No data-dependent branch inside a block. Include only inside an AVX2 target region
// (internal/target.h).
#pragma once

#include <immintrin.h>

#include <array>
#include <cstdint>
#include <cstring>

#include "internal/target.h"

namespace xr::dec256 {

using Y = __m256i;

XR_INLINE Y loadY(const std::uint8_t* p) {
    return _mm256_loadu_si256(reinterpret_cast<const Y*>(p));
}
XR_INLINE Y bytesY(int b) {
    return _mm256_set1_epi8(static_cast<char>(b));
}
// Sixteen bytes at lo in the low half, sixteen at hi in the high half.
XR_INLINE Y halves(const std::uint8_t* lo, const std::uint8_t* hi) {
    return _mm256_inserti128_si256(
        _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(lo))),
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(hi)), 1);
}
XR_INLINE std::uint64_t bits(Y lo, Y hi) {
    return static_cast<std::uint32_t>(_mm256_movemask_epi8(lo)) |
           std::uint64_t{static_cast<std::uint32_t>(_mm256_movemask_epi8(hi))} << 32;
}

// Entry m: the positions of the bits set in m, lowest first, then zeros.
inline constexpr std::array<std::array<std::uint8_t, 8>, 256> kCompact8 = [] {
    std::array<std::array<std::uint8_t, 8>, 256> t{};
    for (unsigned m = 0; m < 256; ++m) {
        unsigned n = 0;
        for (unsigned b = 0; b < 8; ++b)
            if (m >> b & 1) t[m][n++] = static_cast<std::uint8_t>(b);
    }
    return t;
}();

// Entry m: the two bytes of each 16-bit lane k with bit k set in m, lowest first (each
// lane's bytes swapped for big-endian output), then zeros (indices with bit 7 set).
template <bool Big>
inline constexpr std::array<std::array<std::uint8_t, 16>, 256> kCompact16 = [] {
    std::array<std::array<std::uint8_t, 16>, 256> t{};
    for (unsigned m = 0; m < 256; ++m) {
        unsigned n = 0;
        for (unsigned b = 0; b < 8; ++b)
            if (m >> b & 1) {
                t[m][n++] = static_cast<std::uint8_t>(2 * b + (Big ? 1 : 0));
                t[m][n++] = static_cast<std::uint8_t>(2 * b + (Big ? 0 : 1));
            }
        while (n < 16)
            t[m][n++] = 0x80;
    }
    return t;
}();

// The bytes of v moved up by k (1 to 3) positions, with those of prev below.
template <int K> XR_INLINE Y before(Y prev, Y v) {
    return _mm256_alignr_epi8(v, _mm256_permute2x128_si256(prev, v, 0x21), 16 - K);
}
// Bit 7 set where the byte is not zero.
XR_INLINE Y nonZero(Y v) {
    return _mm256_adds_epu8(v, bytesY(0x7F));
}

// Bit 7 set in each byte of v (the block's bytes at 32h, after prev) that breaks the
// structure: a lead byte that starts no character (C0, C1, F5..FF), or a byte that is a
// continuation byte where no lead announces one or the reverse. `cont` gets bit 7 set
// at continuation bytes; `four` is non-zero where a four-byte lead is.
XR_INLINE Y brokenBytes(Y prev, Y v, Y& cont, Y& four) {
    const Y expected =
        _mm256_or_si256(_mm256_subs_epu8(before<1>(prev, v), bytesY(0xBF)),
                        _mm256_or_si256(_mm256_subs_epu8(before<2>(prev, v), bytesY(0xDF)),
                                        _mm256_subs_epu8(before<3>(prev, v), bytesY(0xEF))));
    cont = _mm256_andnot_si256(_mm256_add_epi8(v, v), v);
    four = _mm256_subs_epu8(v, bytesY(0xEF));
    const Y badLead =
        _mm256_or_si256(nonZero(_mm256_subs_epu8(v, bytesY(0xF4))),
                        _mm256_cmpeq_epi8(_mm256_and_si256(v, bytesY(0xFE)), bytesY(0xC0)));
    return _mm256_or_si256(_mm256_xor_si256(nonZero(expected), cont), badLead);
}

// Structure check of the 64-byte block a:b that starts at a character: every lead byte
// may start a character and is followed by exactly the continuation bytes it announces,
// as far as the block reaches. On success, `cont` has bit i set where byte i is a
// continuation byte and `four` tells whether a four-byte character is in the block.
XR_INLINE bool wellFormed(Y a, Y b, std::uint64_t& cont, bool& four) {
    Y contA, contB, fourA, fourB;
    const Y broken = _mm256_or_si256(brokenBytes(_mm256_setzero_si256(), a, contA, fourA),
                                     brokenBytes(a, b, contB, fourB));
    if (!_mm256_testz_si256(broken, bytesY(0x80))) return false;
    cont = bits(contA, contB);
    const Y anyFour = _mm256_or_si256(fourA, fourB);
    four = !_mm256_testz_si256(anyFour, anyFour);
    return true;
}

// Where the block after the one at p starts: at the first of bytes 61 to 63 that is not a
// continuation byte, else at 64 (a character that starts at byte 60 or before ends in
// the block). Read apart from the vectors, so that the next block's load need not wait.
XR_INLINE unsigned nextBlock(const std::uint8_t* p) {
    std::uint32_t tail;
    std::memcpy(&tail, p + 60, 4);
    // Bit 7 of each byte: set unless the byte is 10xxxxxx; byte 60 aside.
    const std::uint32_t flipped = tail ^ 0x80808080u;
    const std::uint32_t starts = (flipped | flipped << 1) & 0x80808000u;
    return starts ? 60 + static_cast<unsigned>(__builtin_ctz(starts)) / 8 : 64;
}

// The payload bits of each 32-bit lane (bytes x0..x3, lowest first; the lead on top) as one
// number: x0 + x1 * 2^6 + x2 * 2^12 + x3 * 2^18.
XR_INLINE Y joinSixBits(Y payload) {
    return _mm256_madd_epi16(_mm256_maddubs_epi16(payload, _mm256_set1_epi16(0x4001)),
                             _mm256_set1_epi32(0x10000001));
}

// The code points of the characters that start at the positions `keep` (bit k: position
// k) among the eight that start at window + 0, or window + 8 when Late; the window holds
// 16 readable bytes. Stores eight whole lanes at dst, the characters first; returns how
// many there are.
template <bool BigOut, bool Late>
XR_INLINE unsigned decode8(__m128i window, unsigned keep, std::uint8_t* dst) {
    // Lane k: the bytes at k + 3, k + 2, k + 1, k, lowest first (four positions to a half).
    const Y spread =
        _mm256_add_epi8(_mm256_setr_epi8(3, 2, 1, 0, 4, 3, 2, 1, 5, 4, 3, 2, 6, 5, 4, 3, 7, 6, 5, 4,
                                         8, 7, 6, 5, 9, 8, 7, 6, 10, 9, 8, 7),
                        bytesY(Late ? 8 : 0));
    const Y x = _mm256_broadcastsi128_si256(window);
    const Y lanes = _mm256_shuffle_epi8(x, spread);
    const Y nib = _mm256_and_si256(_mm256_srli_epi16(lanes, 4), bytesY(0x0F));
    // The lead byte (on top) keeps its payload bits, the others six bits each.
    const Y leadBits = _mm256_shuffle_epi8(
        _mm256_setr_epi8(0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x3F, 0x3F, 0x3F, 0x3F,
                         0x1F, 0x1F, 0x0F, 0x07, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F,
                         0x3F, 0x3F, 0x3F, 0x3F, 0x1F, 0x1F, 0x0F, 0x07),
        nib);
    const Y payload = _mm256_and_si256(
        lanes, _mm256_and_si256(leadBits, _mm256_set1_epi32(static_cast<int>(0xFF3F3F3Fu))));
    // b3 + b2 * 2^6 + b1 * 2^12 + lead * 2^18, then the bytes past the character dropped.
    const Y whole = joinSixBits(payload);
    const Y shifts = _mm256_shuffle_epi8(_mm256_setr_epi8(18, 18, 18, 18, 18, 18, 18, 18, 0, 0, 0,
                                                          0, 12, 12, 6, 0, 18, 18, 18, 18, 18, 18,
                                                          18, 18, 0, 0, 0, 0, 12, 12, 6, 0),
                                         nib);
    Y cps = _mm256_srlv_epi32(whole, _mm256_srli_epi32(shifts, 24));
    if constexpr (BigOut)
        cps = _mm256_shuffle_epi8(cps, _mm256_setr_epi8(3, 2, 1, 0, 7, 6, 5, 4, 11, 10, 9, 8, 15,
                                                        14, 13, 12, 3, 2, 1, 0, 7, 6, 5, 4, 11, 10,
                                                        9, 8, 15, 14, 13, 12));
    const Y order = _mm256_cvtepu8_epi32(
        _mm_loadl_epi64(reinterpret_cast<const __m128i*>(kCompact8[keep].data())));
    _mm256_storeu_si256(reinterpret_cast<Y*>(dst), _mm256_permutevar8x32_epi32(cps, order));
    return static_cast<unsigned>(__builtin_popcount(keep));
}

// The code point at each of eight positions in each half of x, in 16-bit lanes, for a
// block without four-byte characters: positions 0-7 of the half, or 8-15 when its Late
// flag is set (only characters that end inside the half come out right).
template <bool LateLow, bool LateHigh> XR_INLINE Y codes16(Y x) {
    constexpr int k = LateLow ? 8 : 0, h = LateHigh ? 8 : 0;
    // Lane j: the byte at j twice, telling the length and whether it is ASCII (bit 7 of
    // both halves, for the blend).
    const Y lead = _mm256_shuffle_epi8(
        x, _mm256_setr_epi8(k, k, k + 1, k + 1, k + 2, k + 2, k + 3, k + 3, k + 4, k + 4, k + 5,
                            k + 5, k + 6, k + 6, k + 7, k + 7, h, h, h + 1, h + 1, h + 2, h + 2,
                            h + 3, h + 3, h + 4, h + 4, h + 5, h + 5, h + 6, h + 6, h + 7, h + 7));
    const Y nib = _mm256_and_si256(_mm256_srli_epi16(lead, 4), bytesY(0x0F));
    // The last two bytes of the character, the last one low: j, j - 1 moved on by the
    // length less one (ASCII keeps j and drops the other byte).
    const Y step =
        _mm256_shuffle_epi8(_mm256_setr_epi8(0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 2, 2, 0, 0,
                                             0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 2, 2),
                            nib);
    const Y base =
        _mm256_setr_epi8(k, k - 1, k + 1, k, k + 2, k + 1, k + 3, k + 2, k + 4, k + 3, k + 5, k + 4,
                         k + 6, k + 5, k + 7, k + 6, h, h - 1, h + 1, h, h + 2, h + 1, h + 3, h + 2,
                         h + 4, h + 3, h + 5, h + 4, h + 6, h + 5, h + 7, h + 6);
    const Y lastTwo = _mm256_shuffle_epi8(x, _mm256_add_epi8(base, step));
    // last + 2^6 * the one before (a two-byte lead keeps five bits under the mask), plus
    // the payload of a three-byte lead on top.
    const Y low12 =
        _mm256_maddubs_epi16(_mm256_and_si256(lastTwo, bytesY(0x3F)), _mm256_set1_epi16(0x4001));
    const Y three = _mm256_cmpgt_epi16(lead, _mm256_set1_epi16(static_cast<short>(0xDFDF)));
    const Y multi = _mm256_add_epi16(low12, _mm256_and_si256(_mm256_slli_epi16(lead, 12), three));
    return _mm256_blendv_epi8(_mm256_and_si256(lead, _mm256_set1_epi16(0x7F)), multi, lead);
}

// Keeps the codes of each half of `codes` at the positions of its mask, the characters
// first, each unit in the output's byte order (zeros after them).
template <bool Big> XR_INLINE Y compact16(Y codes, unsigned lowKeep, unsigned highKeep) {
    return _mm256_shuffle_epi8(
        codes, halves(kCompact16<Big>[lowKeep].data(), kCompact16<Big>[highKeep].data()));
}

// The 16-bit units of every character that starts at the positions `emitted` of a
// 64-byte block of well-formed UTF-8 without four-byte characters (none past byte 60),
// in eight groups of eight positions, each packed at the bottom of a half: groups 0 and
// 2 in units[0], 1 and 3 in units[1], 4 and 6 in units[2], 5 and 7 in units[3].
template <bool Big>
XR_INLINE void unitsUpToThree(const std::uint8_t* p, std::uint64_t emitted, Y units[4]) {
    const auto keep = [emitted](unsigned g) {
        return static_cast<unsigned>(emitted >> (8 * g)) & 0xFF;
    };
    // Each half of a load gives the first eight positions of its sixteen bytes: 0-7 and
    // 16-23 from p, 8-15 and 24-31 from p + 8, 32-39 and 48-55 from p + 32, then 40-47
    // from p + 40 and the last eight of the block from p + 48 (those past byte 60 come
    // out wrong, and are not kept).
    const Y a = loadY(p), b = loadY(p + 8), c = loadY(p + 32), d = halves(p + 40, p + 48);
    units[0] = compact16<Big>(codes16<false, false>(a), keep(0), keep(2));
    units[1] = compact16<Big>(codes16<false, false>(b), keep(1), keep(3));
    units[2] = compact16<Big>(codes16<false, false>(c), keep(4), keep(6));
    units[3] = compact16<Big>(codes16<false, true>(d), keep(5), keep(7));
}

// Output offsets of the eight groups of positions of a block: characters before each.
XR_INLINE unsigned charsBefore(std::uint64_t emitted, unsigned g) {
    return static_cast<unsigned>(
        __builtin_popcountll(emitted & ((std::uint64_t{1} << (8 * g)) - 1)));
}

// The units of a half of unitsUpToThree widened to 32 bits: the low half's first four and
// last four, then the high half's.
template <bool BigOut> struct Packed {
    Y first4, last4;
    XR_INLINE explicit Packed(Y packed) {
        const Y z = _mm256_setzero_si256();
        first4 = BigOut ? _mm256_unpacklo_epi16(z, packed) : _mm256_unpacklo_epi16(packed, z);
        last4 = BigOut ? _mm256_unpackhi_epi16(z, packed) : _mm256_unpackhi_epi16(packed, z);
    }
    // Eight whole lanes of one half at dst.
    XR_INLINE void storeLow(std::uint8_t* dst) const {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst), _mm256_castsi256_si128(first4));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 16), _mm256_castsi256_si128(last4));
    }
    XR_INLINE void storeHigh(std::uint8_t* dst) const {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst), _mm256_extracti128_si256(first4, 1));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 16), _mm256_extracti128_si256(last4, 1));
    }
};

// Starts at every third byte: in a well-formed block, 21 three-byte characters and the
// start of the next one at byte 63.
inline constexpr std::uint64_t kEveryThird = [] {
    std::uint64_t m = 0;
    for (unsigned k = 0; k < 64; k += 3)
        m |= std::uint64_t{1} << k;
    return m;
}();

// Lane k: the bytes at 3k + 2, 3k + 1, 3k, lowest first, and zero; the high half from
// byte `high` of its own 16.
template <int High> XR_INLINE Y threeByteLanes(Y x) {
    constexpr int h = High;
    return _mm256_shuffle_epi8(x, _mm256_setr_epi8(2, 1, 0, -1, 5, 4, 3, -1, 8, 7, 6, -1, 11, 10, 9,
                                                   -1, h + 2, h + 1, h, -1, h + 5, h + 4, h + 3, -1,
                                                   h + 8, h + 7, h + 6, -1, h + 11, h + 10, h + 9,
                                                   -1));
}

XR_INLINE Y swap32Y(Y v) {
    return _mm256_shuffle_epi8(v, _mm256_setr_epi8(3, 2, 1, 0, 7, 6, 5, 4, 11, 10, 9, 8, 15, 14, 13,
                                                   12, 3, 2, 1, 0, 7, 6, 5, 4, 11, 10, 9, 8, 15, 14,
                                                   13, 12));
}

// The 21 three-byte characters of such a block, eight to a vector (four from each half,
// the second half from 12 bytes further or, in the last group, from the same 16 bytes
// as the first); the last three lanes are junk.
XR_INLINE void threeByteCodes(const std::uint8_t* p, Y cps[3]) {
    const Y groups[3] = {threeByteLanes<0>(halves(p, p + 12)),
                         threeByteLanes<0>(halves(p + 24, p + 36)),
                         threeByteLanes<12>(halves(p + 48, p + 48))};
    for (int g = 0; g < 3; ++g) {
        // b2 + b1 * 2^6 + (lead & 0F) * 2^12
        const Y payload = _mm256_and_si256(groups[g], _mm256_set1_epi32(0x000F3F3F));
        cps[g] = joinSixBits(payload);
    }
}

template <bool BigOut> XR_INLINE void decodeThrees(const std::uint8_t* p, std::uint8_t* out) {
    Y cps[3];
    threeByteCodes(p, cps);
    for (int g = 0; g < 3; ++g)
        _mm256_storeu_si256(reinterpret_cast<Y*>(out + 32 * g), BigOut ? swap32Y(cps[g]) : cps[g]);
}

// Starts at every fourth byte: in a well-formed block, 16 four-byte characters.
inline constexpr std::uint64_t kEveryFourth = 0x1111111111111111u;

// The 16 four-byte characters of such a block, eight to a vector.
XR_INLINE void fourByteCodes(const std::uint8_t* p, Y cps[2]) {
    for (int h = 0; h < 2; ++h) {
        // Lead byte on top, then b3 + b2 * 2^6 + b1 * 2^12 + (lead & 07) * 2^18.
        const Y payload =
            _mm256_and_si256(swap32Y(loadY(p + 32 * h)), _mm256_set1_epi32(0x073F3F3F));
        cps[h] = joinSixBits(payload);
    }
}

template <bool BigOut> XR_INLINE void decodeFours(const std::uint8_t* p, std::uint8_t* out) {
    Y cps[2];
    fourByteCodes(p, cps);
    for (int h = 0; h < 2; ++h)
        _mm256_storeu_si256(reinterpret_cast<Y*>(out + 32 * h), BigOut ? swap32Y(cps[h]) : cps[h]);
}

// Decodes the characters that start at the positions `emitted` of the 64-byte block at p
// (at most 61 of them, none past byte 60, the block well formed). The stores run whole:
// each leaves junk in up to seven lanes past its characters, which the next one covers;
// the last one's stays, so the caller must have room for 8 lanes past the characters.
template <bool BigOut>
XR_INLINE void decodeBlock(const std::uint8_t* p, std::uint64_t emitted, bool upToThree,
                           std::uint8_t* out) {
    const auto keep = [emitted](unsigned g) {
        return static_cast<unsigned>(emitted >> (8 * g)) & 0xFF;
    };
    const auto after = [emitted](unsigned g) { return 4 * charsBefore(emitted, g); };
    if (upToThree) {
        Y units[4];
        unitsUpToThree<BigOut>(p, emitted, units);
        const Packed<BigOut> pa(units[0]), pb(units[1]), pc(units[2]), pd(units[3]);
        pa.storeLow(out);
        pb.storeLow(out + after(1));
        pa.storeHigh(out + after(2));
        pb.storeHigh(out + after(3));
        pc.storeLow(out + after(4));
        pd.storeLow(out + after(5));
        pc.storeHigh(out + after(6));
        pd.storeHigh(out + after(7));
        return;
    }
    __m128i w[7];
    for (unsigned k = 0; k < 7; ++k)
        w[k] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 8 * k));
    for (unsigned g = 0; g < 7; ++g)
        out += 4 * decode8<BigOut, false>(w[g], keep(g), out);
    decode8<BigOut, true>(w[6], keep(7), out);
}

// ASCII widened to UTF-32, 64 characters a block, while blocks are ASCII, 64 more
// characters have room and the next block is readable. The output goes out in aligned
// 32-byte stores when it is 4-byte aligned at all: the first block is stored unaligned and
// counts only up to its last 32-byte boundary (the rest is written again, to the same
// values, by whatever converts those ASCII bytes next). Each block is loaded before the
// stores of the one before, so that no load waits behind a store that matches it in the
// low 12 bits of the address. Returns whether it took anything; i and o move on.
template <bool BigOut>
XR_INLINE bool asciiRun(const std::uint8_t* src, std::size_t srcL, std::uint8_t* dst,
                        std::size_t maxChars, std::size_t& i, std::size_t& o) {
    Y a = loadY(src + i), b = loadY(src + i + 32);
    if (_mm256_movemask_epi8(_mm256_or_si256(a, b))) return false;
    // Bytes 0-3 of a half to its four lanes, or bytes 4-7 (then + 8 for the second pair).
    const Y pick =
        BigOut ? _mm256_setr_epi8(-1, -1, -1, 0, -1, -1, -1, 1, -1, -1, -1, 2, -1, -1, -1, 3, -1,
                                  -1, -1, 4, -1, -1, -1, 5, -1, -1, -1, 6, -1, -1, -1, 7)
               : _mm256_setr_epi8(0, -1, -1, -1, 1, -1, -1, -1, 2, -1, -1, -1, 3, -1, -1, -1, 4, -1,
                                  -1, -1, 5, -1, -1, -1, 6, -1, -1, -1, 7, -1, -1, -1);
    const Y pickHigh = _mm256_or_si256(pick, _mm256_set1_epi32(BigOut ? 0x08000000 : 0x08));
    const auto store = [&](bool aligned) {
        std::uint8_t* d = dst + 4 * o;
        const Y halves[4] = {
            _mm256_permute2x128_si256(a, a, 0x00), _mm256_permute2x128_si256(a, a, 0x11),
            _mm256_permute2x128_si256(b, b, 0x00), _mm256_permute2x128_si256(b, b, 0x11)};
        for (int q = 0; q < 4; ++q) {
            const Y lo = _mm256_shuffle_epi8(halves[q], pick);
            const Y hi = _mm256_shuffle_epi8(halves[q], pickHigh);
            if (aligned) {
                _mm256_store_si256(reinterpret_cast<Y*>(d + 64 * q), lo);
                _mm256_store_si256(reinterpret_cast<Y*>(d + 64 * q + 32), hi);
            } else {
                _mm256_storeu_si256(reinterpret_cast<Y*>(d + 64 * q), lo);
                _mm256_storeu_si256(reinterpret_cast<Y*>(d + 64 * q + 32), hi);
            }
        }
    };
    const auto misalign = reinterpret_cast<std::uintptr_t>(dst + 4 * o) & 31;
    const bool aligned = misalign % 4 == 0;
    if (misalign != 0 && aligned) {
        store(false);
        const std::size_t first = 64 - misalign / 4;
        i += first, o += first;
        if (srcL - i < 64 || maxChars - o < 64) return true;
        a = loadY(src + i), b = loadY(src + i + 32);
        if (_mm256_movemask_epi8(_mm256_or_si256(a, b))) return true;
    }
    for (; srcL - i >= 128 && maxChars - o >= 128; i += 64, o += 64) {
        const Y nextA = loadY(src + i + 64), nextB = loadY(src + i + 96);
        store(aligned);
        if (_mm256_movemask_epi8(_mm256_or_si256(nextA, nextB))) return i += 64, o += 64, true;
        a = nextA, b = nextB;
    }
    store(aligned);
    i += 64, o += 64;
    return true;
}

// UTF-8 into UTF-32 from src + i to dst + 4 * o while 64-byte blocks are ASCII or well
// formed (see wellFormed), 64 bytes are readable and 72 characters have room; i and o
// move on. A decoded block leaves junk in up to 8 lanes past its characters, which the
// next block covers; their former contents, read before the block, go back when the run
// ends after one, so that nothing past o changes.
template <bool BigOut>
XR_INLINE void utf8ToUtf32(const std::uint8_t* src, std::size_t srcL, std::uint8_t* dst,
                           std::size_t maxChars, std::size_t& i, std::size_t& o) {
    Y saved = _mm256_setzero_si256();
    bool junk = false;
    while (srcL - i >= 64 && maxChars - o >= 72) {
        if (asciiRun<BigOut>(src, srcL, dst, maxChars, i, o)) {
            junk = false;
            continue;
        }
        const std::uint8_t* p = src + i;
        std::uint64_t cont = 0;
        bool four = false;
        if (!wellFormed(loadY(p), loadY(p + 32), cont, four)) break;
        const std::uint64_t emitted = ~cont & ((std::uint64_t{1} << 61) - 1);
        const auto chars = static_cast<std::size_t>(__builtin_popcountll(emitted));
        saved = loadY(dst + 4 * (o + chars));
        junk = true;
        if (~cont == kEveryThird)
            decodeThrees<BigOut>(p, dst + 4 * o);
        else if (~cont == kEveryFourth)
            decodeFours<BigOut>(p, dst + 4 * o);
        else
            decodeBlock<BigOut>(p, emitted, !four, dst + 4 * o);
        i += nextBlock(p);
        o += chars;
    }
    if (junk) _mm256_storeu_si256(reinterpret_cast<Y*>(dst + 4 * o), saved);
}

// Well-formed UTF-8 (as a validator passed it) into UTF-16 units, byte-reversed when
// Big, from src + in to dst + out while 64-byte blocks are ASCII or hold no four-byte
// character, 64 bytes are readable and the output has 144 bytes of room; in and out move
// on, in stops at a character. The stores run whole 16-byte vectors, up to 16 bytes past
// the units written.
template <bool Big>
XR_INLINE void wellFormedToUtf16(const std::uint8_t* src, std::size_t n, std::uint8_t* dst,
                                 std::size_t cap, std::size_t& in, std::size_t& out) {
    const Y swap = _mm256_setr_epi8(1, 0, 3, 2, 5, 4, 7, 6, 9, 8, 11, 10, 13, 12, 15, 14, 1, 0, 3,
                                    2, 5, 4, 7, 6, 9, 8, 11, 10, 13, 12, 15, 14);
    while (n - in >= 64 && cap - out >= 144) {
        const std::uint8_t* p = src + in;
        std::uint8_t* d = dst + out;
        const Y a = loadY(p), b = loadY(p + 32);
        if (!_mm256_movemask_epi8(_mm256_or_si256(a, b))) {
            // As in asciiRun: 32-byte aligned stores once the first block has brought the
            // output to a boundary (its units past that are written again by the next), and
            // each block loaded before the stores of the one before.
            Y x = a, y = b;
            const auto store = [&](bool aligned) {
                const __m128i quarters[4] = {
                    _mm256_castsi256_si128(x), _mm256_extracti128_si256(x, 1),
                    _mm256_castsi256_si128(y), _mm256_extracti128_si256(y, 1)};
                for (int q = 0; q < 4; ++q) {
                    Y w = _mm256_cvtepu8_epi16(quarters[q]);
                    if constexpr (Big) w = _mm256_shuffle_epi8(w, swap);
                    if (aligned)
                        _mm256_store_si256(reinterpret_cast<Y*>(dst + out + 32 * q), w);
                    else
                        _mm256_storeu_si256(reinterpret_cast<Y*>(dst + out + 32 * q), w);
                }
            };
            const auto misalign = reinterpret_cast<std::uintptr_t>(d) & 31;
            const bool aligned = misalign % 2 == 0;
            if (misalign != 0 && aligned) {
                store(false);
                in += 64 - misalign / 2, out += 128 - misalign;
                if (n - in < 64 || cap - out < 144) break;
                x = loadY(src + in), y = loadY(src + in + 32);
                if (_mm256_movemask_epi8(_mm256_or_si256(x, y))) continue;
            }
            for (;;) {
                const bool more = n - in >= 128 && cap - out >= 128 + 144;
                Y nextX = x, nextY = y;
                if (more) nextX = loadY(src + in + 64), nextY = loadY(src + in + 96);
                store(aligned);
                in += 64, out += 128;
                if (!more || _mm256_movemask_epi8(_mm256_or_si256(nextX, nextY))) break;
                x = nextX, y = nextY;
            }
            continue;
        }
        const std::uint64_t cont = bits(_mm256_andnot_si256(_mm256_add_epi8(a, a), a),
                                        _mm256_andnot_si256(_mm256_add_epi8(b, b), b));
        if (~cont == kEveryThird) {
            Y cps[3];
            threeByteCodes(p, cps);
            // The packs interleave 64-bit groups of their two inputs, lane by lane.
            Y first16 = _mm256_permute4x64_epi64(_mm256_packus_epi32(cps[0], cps[1]), 0xD8);
            Y last8 = _mm256_permute4x64_epi64(_mm256_packus_epi32(cps[2], cps[2]), 0xD8);
            if constexpr (Big)
                first16 = _mm256_shuffle_epi8(first16, swap),
                last8 = _mm256_shuffle_epi8(last8, swap);
            _mm256_storeu_si256(reinterpret_cast<Y*>(d), first16);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 32), _mm256_castsi256_si128(last8));
            in += 63, out += 42;
            continue;
        }
        if (~cont == kEveryFourth) {
            Y cps[2];
            fourByteCodes(p, cps);
            for (int h = 0; h < 2; ++h) {
                // The pair in one 32-bit lane, the high surrogate first.
                const Y v = _mm256_sub_epi32(cps[h], _mm256_set1_epi32(0x10000));
                Y pair = _mm256_or_si256(
                    _mm256_add_epi32(_mm256_srli_epi32(v, 10), _mm256_set1_epi32(0xD800)),
                    _mm256_slli_epi32(
                        _mm256_add_epi32(_mm256_and_si256(v, _mm256_set1_epi32(0x3FF)),
                                         _mm256_set1_epi32(0xDC00)),
                        16));
                if constexpr (Big) pair = _mm256_shuffle_epi8(pair, swap);
                _mm256_storeu_si256(reinterpret_cast<Y*>(d + 32 * h), pair);
            }
            in += 64, out += 64;
            continue;
        }
        const Y four =
            _mm256_or_si256(_mm256_subs_epu8(a, bytesY(0xEF)), _mm256_subs_epu8(b, bytesY(0xEF)));
        if (!_mm256_testz_si256(four, four)) break;
        const std::uint64_t emitted = ~cont & ((std::uint64_t{1} << 61) - 1);
        Y units[4];
        unitsUpToThree<Big>(p, emitted, units);
        const auto at = [d, emitted](unsigned g) {
            return reinterpret_cast<__m128i*>(d + 2 * charsBefore(emitted, g));
        };
        _mm_storeu_si128(at(0), _mm256_castsi256_si128(units[0]));
        _mm_storeu_si128(at(1), _mm256_castsi256_si128(units[1]));
        _mm_storeu_si128(at(2), _mm256_extracti128_si256(units[0], 1));
        _mm_storeu_si128(at(3), _mm256_extracti128_si256(units[1], 1));
        _mm_storeu_si128(at(4), _mm256_castsi256_si128(units[2]));
        _mm_storeu_si128(at(5), _mm256_castsi256_si128(units[3]));
        _mm_storeu_si128(at(6), _mm256_extracti128_si256(units[2], 1));
        _mm_storeu_si128(at(7), _mm256_extracti128_si256(units[3], 1));
        in += nextBlock(p);
        out += 2 * static_cast<std::size_t>(__builtin_popcountll(emitted));
    }
}

} // namespace xr::dec256
