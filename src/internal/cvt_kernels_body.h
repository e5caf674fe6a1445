// The bulk conversion kernels, written once and compiled once per instruction set: the
// including file wraps each inclusion in its own namespace and target options and sets
// XR_CVT_LEVEL to 1 (SSE2), 2 (SSE4.1 with SSSE3), 3 (AVX2) or 4 (AVX-512 with byte
// permutes and compression). No include guard.
// Byte orders are relative to this little-endian machine: "big" means byte-reversed units.
// XR_INLINE helpers are forced inline so that each kernel is one body under one target.

using V = __m128i;

XR_INLINE V load(const std::uint8_t* p) {
    return _mm_loadu_si128(reinterpret_cast<const V*>(p));
}
XR_INLINE void store(std::uint8_t* p, V v) {
    _mm_storeu_si128(reinterpret_cast<V*>(p), v);
}
XR_INLINE V swap16(V v) {
    return _mm_or_si128(_mm_slli_epi16(v, 8), _mm_srli_epi16(v, 8));
}
XR_INLINE V swap32(V v) {
#if XR_CVT_LEVEL >= 2
    return _mm_shuffle_epi8(v, _mm_setr_epi8(3, 2, 1, 0, 7, 6, 5, 4, 11, 10, 9, 8, 15, 14, 13, 12));
#else
    return swap16(_mm_shufflehi_epi16(_mm_shufflelo_epi16(v, 0xB1), 0xB1));
#endif
}
template <bool Big> XR_INLINE V units32(V v) {
    return Big ? swap32(v) : v;
}
template <bool Big> XR_INLINE V units16(V v) {
    return Big ? swap16(v) : v;
}
XR_INLINE unsigned byteMask(V v) {
    return static_cast<unsigned>(_mm_movemask_epi8(v));
}
XR_INLINE std::uint32_t toBig(std::uint32_t v, bool big) {
    return big ? __builtin_bswap32(v) : v;
}

// UTF-32 to UTF-32: every unit is a character, so this is a copy or a byte reversal.
template <bool Swap> void copy32(const std::uint8_t* src, std::size_t n, std::uint8_t* dst) {
    if constexpr (!Swap) {
        std::memcpy(dst, src, 4 * n);
    } else {
        std::size_t i = 0;
#if XR_CVT_LEVEL >= 3
        const __m256i rev = _mm256_setr_epi8(3, 2, 1, 0, 7, 6, 5, 4, 11, 10, 9, 8, 15, 14, 13, 12,
                                             3, 2, 1, 0, 7, 6, 5, 4, 11, 10, 9, 8, 15, 14, 13, 12);
        for (; i + 8 <= n; i += 8) {
            const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + 4 * i));
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + 4 * i),
                                _mm256_shuffle_epi8(v, rev));
        }
#endif
        for (; i + 4 <= n; i += 4)
            store(dst + 4 * i, swap32(load(src + 4 * i)));
        for (; i < n; ++i) {
            std::uint32_t u;
            std::memcpy(&u, src + 4 * i, 4);
            u = __builtin_bswap32(u);
            std::memcpy(dst + 4 * i, &u, 4);
        }
    }
}

template <bool BigIn, bool BigOut>
Progress utf32ToUtf32(const std::uint8_t* src, std::size_t srcL, std::uint8_t* dst,
                      std::size_t maxChars) {
    const std::size_t n = srcL / 4 < maxChars ? srcL / 4 : maxChars;
    copy32<BigIn != BigOut>(src, n, dst);
    return {4 * n, n};
}

template <bool BigIn, bool BigOut>
Progress utf32ToUtf32Units(const std::uint8_t* src, std::size_t units, std::uint8_t* dst,
                           std::size_t dstL) {
    const std::size_t n = units < dstL / 4 ? units : dstL / 4;
    copy32<BigIn != BigOut>(src, n, dst);
    return {n, 4 * n};
}

// ASCII bytes widened to UTF-32, sixteen at a time.
template <bool BigOut> XR_INLINE void widenAscii16(V v, std::uint8_t* dst) {
    const V z = _mm_setzero_si128();
    if constexpr (BigOut) {
        const V lo = _mm_unpacklo_epi8(z, v), hi = _mm_unpackhi_epi8(z, v);
        store(dst, _mm_unpacklo_epi16(z, lo));
        store(dst + 16, _mm_unpackhi_epi16(z, lo));
        store(dst + 32, _mm_unpacklo_epi16(z, hi));
        store(dst + 48, _mm_unpackhi_epi16(z, hi));
    } else {
        const V lo = _mm_unpacklo_epi8(v, z), hi = _mm_unpackhi_epi8(v, z);
        store(dst, _mm_unpacklo_epi16(lo, z));
        store(dst + 16, _mm_unpackhi_epi16(lo, z));
        store(dst + 32, _mm_unpacklo_epi16(hi, z));
        store(dst + 48, _mm_unpackhi_epi16(hi, z));
    }
}

#if XR_CVT_LEVEL >= 3
template <bool BigOut> XR_INLINE bool asciiRun32(const std::uint8_t* src, std::uint8_t* dst) {
    const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src));
    if (_mm256_movemask_epi8(v)) return false;
    const __m256i rev = _mm256_setr_epi8(3, 2, 1, 0, 7, 6, 5, 4, 11, 10, 9, 8, 15, 14, 13, 12, 3, 2,
                                         1, 0, 7, 6, 5, 4, 11, 10, 9, 8, 15, 14, 13, 12);
    for (int q = 0; q < 4; ++q) {
        __m256i w = _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const V*>(src + 8 * q)));
        if constexpr (BigOut) w = _mm256_shuffle_epi8(w, rev);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + 32 * q), w);
    }
    return true;
}
#endif

#if XR_CVT_LEVEL >= 2
XR_INLINE V atLeast(V v, int k) {
    return _mm_cmpeq_epi8(_mm_max_epu8(v, _mm_set1_epi8(static_cast<char>(k))), v);
}

// Structure check of a 64-byte block that starts at a character: every lead byte may
// start a character and is followed by exactly the continuation bytes it announces, as
// far as the block reaches. Characters that end inside such a block decode the same
// whether continuation bytes are checked or not. On success, `starts` has bit i set
// where byte i starts a character.
XR_INLINE bool wellFormedBlock(const std::uint8_t* p, std::uint64_t& starts) {
    V prev2 = _mm_setzero_si128(), prev3 = prev2, prev4 = prev2, bad = prev2;
    starts = 0;
    for (int k = 0; k < 4; ++k) {
        const V v = load(p + 16 * k);
        const V cont = _mm_cmplt_epi8(v, _mm_set1_epi8(-64));
        const V lead2 = atLeast(v, 0xC0), lead3 = atLeast(v, 0xE0), lead4 = atLeast(v, 0xF0);
        const V expected = _mm_or_si128(
            _mm_alignr_epi8(lead2, prev2, 15),
            _mm_or_si128(_mm_alignr_epi8(lead3, prev3, 14), _mm_alignr_epi8(lead4, prev4, 13)));
        const V badLead =
            _mm_or_si128(atLeast(v, 0xF5),
                         _mm_cmpeq_epi8(_mm_and_si128(v, _mm_set1_epi8(-2)), _mm_set1_epi8(-64)));
        bad = _mm_or_si128(bad, _mm_or_si128(_mm_xor_si128(expected, cont), badLead));
        starts |= std::uint64_t{~byteMask(cont) & 0xFFFF} << (16 * k);
        prev2 = lead2;
        prev3 = lead3;
        prev4 = lead4;
    }
    return byteMask(bad) == 0;
}

// Decodes the whole characters that `ahead` delimits (bit j: byte j + 1 starts a
// character; at most four, three or four for well-formed text) from the bytes at p into
// UTF-32 lanes at dst, writing exactly those lanes; returns the step entry.
template <bool BigOut>
XR_INLINE unsigned decodeStep(const std::uint8_t* p, unsigned ahead, std::uint8_t* dst) {
    const unsigned step = tables::kDecodeStep[ahead & 0xFFF];
    const unsigned chars = step & 7;
    const V v = load(p);
    const V payloadMask =
        _mm_shuffle_epi8(_mm_setr_epi8(0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x3F, 0x3F,
                                       0x3F, 0x3F, 0x1F, 0x1F, 0x0F, 0x07),
                         _mm_and_si128(_mm_srli_epi16(v, 4), _mm_set1_epi8(0x0F)));
    const V lanes = _mm_shuffle_epi8(_mm_and_si128(v, payloadMask),
                                     load(tables::kDecodeShuffle[step >> 8].data()));
    // Per lane: b0 + b1 * 2^6 in each half, then low + high * 2^12.
    const V pairs = _mm_maddubs_epi16(lanes, _mm_set1_epi16(0x4001));
    const V cps = units32<BigOut>(_mm_madd_epi16(pairs, _mm_set1_epi32(0x10000001)));
    if (chars == 4) {
        store(dst, cps);
    } else if (chars == 3) {
        _mm_storel_epi64(reinterpret_cast<V*>(dst), cps);
        const auto third = static_cast<std::uint32_t>(_mm_cvtsi128_si32(_mm_srli_si128(cps, 8)));
        std::memcpy(dst + 8, &third, 4);
    } else {
        alignas(16) std::uint8_t tmp[16];
        store(tmp, cps);
        std::memcpy(dst, tmp, 4 * chars);
    }
    return step;
}

// Decodes a checked 64-byte block up to a character start at or past byte 48; returns
// the bytes taken. Two independent chains of steps (before and after the first start
// at or past byte 32) keep the table lookups of one from waiting on the other.
template <bool BigOut>
XR_INLINE std::size_t decodeBlock(const std::uint8_t* p, std::uint64_t starts, std::uint8_t* dst,
                                  std::size_t& chars) {
    const unsigned mid = 32 + static_cast<unsigned>(__builtin_ctzll(starts >> 32));
    const std::uint64_t firstHalf = starts & ((std::uint64_t{2} << mid) - 1);
    unsigned a = 0, b = mid;
    std::uint8_t* outA = dst;
    std::uint8_t* outB =
        dst +
        4 * static_cast<unsigned>(__builtin_popcountll(starts & ((std::uint64_t{1} << mid) - 1)));
    while (a < mid) {
        const unsigned sa =
            decodeStep<BigOut>(p + a, static_cast<unsigned>(firstHalf >> (a + 1)), outA);
        a += (sa >> 3) & 31;
        outA += 4 * (sa & 7);
        if (b <= 48) {
            const unsigned sb =
                decodeStep<BigOut>(p + b, static_cast<unsigned>(starts >> (b + 1)), outB);
            b += (sb >> 3) & 31;
            outB += 4 * (sb & 7);
        }
    }
    while (b <= 48) {
        const unsigned sb =
            decodeStep<BigOut>(p + b, static_cast<unsigned>(starts >> (b + 1)), outB);
        b += (sb >> 3) & 31;
        outB += 4 * (sb & 7);
    }
    chars = static_cast<std::size_t>(outB - dst) / 4;
    return b;
}
#endif

#if XR_CVT_LEVEL >= 4
using W = __m512i;

XR_INLINE W loadW(const std::uint8_t* p) {
    return _mm512_loadu_si512(p);
}
XR_INLINE W bytesW(int b) {
    return _mm512_set1_epi8(static_cast<char>(b));
}
XR_INLINE W swap32W(W v) {
    return _mm512_shuffle_epi8(v, _mm512_broadcast_i32x4(_mm_setr_epi8(3, 2, 1, 0, 7, 6, 5, 4, 11,
                                                                       10, 9, 8, 15, 14, 13, 12)));
}
template <bool Big> XR_INLINE W units32W(W v) {
    return Big ? swap32W(v) : v;
}
// A table of 16 bytes indexed by the high nibble of each byte.
XR_INLINE W byNibble(W v, V table) {
    return _mm512_shuffle_epi8(_mm512_broadcast_i32x4(table),
                               _mm512_and_si512(_mm512_srli_epi16(v, 4), bytesW(0x0F)));
}

using ::xr::dec256::nextBlock; // the start of the block after a 64-byte one

// The characters starting at the bytes `emitted` of v, a block of one- and two-byte
// characters (`twoByte` marks their leads): the code at every byte in 16-bit lanes, 32 to
// a vector, then the starts packed and widened, 16 characters to a store.
template <bool BigOut>
XR_INLINE void decodeShort64(W v, std::uint64_t emitted, std::uint64_t twoByte, std::uint8_t* dst) {
    constexpr std::uint64_t kLowBytes = 0x5555555555555555u;
    constexpr std::uint64_t kUnitBytes = BigOut ? 0xCCCCCCCCCCCCCCCCu : 0x3333333333333333u;
    const W half = loadW(tables::kHalfOfByte.data());
    const W widen = loadW(tables::kWidenWords<BigOut>.data());
    for (unsigned h = 0; h < 2; ++h) {
        // Byte 32h + k and the one after it in lane k (the last lane's is never used).
        const W at = _mm512_add_epi8(half, bytesW(static_cast<int>(32 * h)));
        const W lead = _mm512_maskz_permutexvar_epi8(kLowBytes, at, v);
        const W follow =
            _mm512_maskz_permutexvar_epi8(kLowBytes, _mm512_add_epi8(at, bytesW(1)), v);
        // Five payload bits of the lead above six of the continuation byte.
        const W pair = _mm512_ternarylogic_epi32(_mm512_set1_epi16(0x07C0),
                                                 _mm512_slli_epi16(lead, 6), follow, 0xCA);
        const auto starts = static_cast<__mmask32>(emitted >> (32 * h));
        const W codes = _mm512_maskz_compress_epi16(
            starts, _mm512_mask_mov_epi16(lead, static_cast<__mmask32>(twoByte >> (32 * h)), pair));
        const unsigned n = static_cast<unsigned>(__builtin_popcount(starts));
        const __mmask16 first = n >= 16 ? 0xFFFF : static_cast<__mmask16>((1u << n) - 1);
        _mm512_mask_storeu_epi32(dst, first,
                                 _mm512_maskz_permutexvar_epi8(kUnitBytes, widen, codes));
        if (n > 16)
            _mm512_mask_storeu_epi32(dst + 64, static_cast<__mmask16>((1u << (n - 16)) - 1),
                                     _mm512_maskz_permutexvar_epi8(
                                         kUnitBytes, _mm512_add_epi8(widen, bytesW(32)), codes));
        dst += 4 * n;
    }
}

// Decodes a 64-byte block that starts at a character, when its structure is sound (see
// wellFormedBlock): every character that starts at byte 60 or before ends inside the
// block and is decoded; `taken` is the start of the next one.
template <bool BigOut>
XR_INLINE bool decodeBlock64(const std::uint8_t* p, std::uint8_t* dst, std::size_t& taken,
                             std::size_t& chars) {
    const W v = loadW(p);
    const std::uint64_t cont = _mm512_cmplt_epi8_mask(v, bytesW(0xC0));
    const std::uint64_t twoUp = _mm512_cmpge_epu8_mask(v, bytesW(0xC0));
    const std::uint64_t threeUp = _mm512_cmpge_epu8_mask(v, bytesW(0xE0));
    const std::uint64_t expected =
        twoUp << 1 | threeUp << 2 | _mm512_cmpge_epu8_mask(v, bytesW(0xF0)) << 3;
    const std::uint64_t badLead =
        _mm512_cmpge_epu8_mask(v, bytesW(0xF5)) |
        _mm512_cmpeq_epi8_mask(_mm512_and_si512(v, bytesW(0xFE)), bytesW(0xC0));
    if ((expected ^ cont) | badLead) return false;
    const std::uint64_t starts = ~cont;
    const std::uint64_t emitted = starts & ((std::uint64_t{1} << 61) - 1);
    taken = nextBlock(p);
    chars = static_cast<std::size_t>(__builtin_popcountll(emitted));
    if (threeUp == 0) {
        decodeShort64<BigOut>(v, emitted, twoUp, dst);
        return true;
    }
    const W first = _mm512_maskz_compress_epi8(emitted, loadW(tables::kIota.data()));
    // The lead byte keeps its payload bits; the right shift drops the bytes a lane holds
    // beyond its character (18, 12, 6 or 0 bits by length).
    const W payload = _mm512_and_si512(
        v, byNibble(v, _mm_setr_epi8(0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x3F, 0x3F,
                                     0x3F, 0x3F, 0x1F, 0x1F, 0x0F, 0x07)));
    const W shifts =
        byNibble(v, _mm_setr_epi8(18, 18, 18, 18, 18, 18, 18, 18, 0, 0, 0, 0, 12, 12, 6, 0));
    const W spread = loadW(tables::kLaneOfByte.data());
    for (std::size_t g = 0; g < chars; g += 16) {
        // Lane k: the bytes at start + 3, + 2, + 1, + 0, lowest first.
        const W at = _mm512_add_epi8(
            _mm512_permutexvar_epi8(_mm512_add_epi8(spread, bytesW(static_cast<int>(g))), first),
            _mm512_set1_epi32(0x00010203));
        const W lanes = _mm512_and_si512(_mm512_permutexvar_epi8(at, payload),
                                         _mm512_set1_epi32(static_cast<int>(0xFF3F3F3Fu)));
        const W whole = _mm512_madd_epi16(_mm512_maddubs_epi16(lanes, _mm512_set1_epi16(0x4001)),
                                          _mm512_set1_epi32(0x10000001));
        const W cps =
            _mm512_srlv_epi32(whole, _mm512_srli_epi32(_mm512_permutexvar_epi8(at, shifts), 24));
        const std::size_t left = chars - g;
        const __mmask16 m = left >= 16 ? 0xFFFF : static_cast<__mmask16>((1u << left) - 1);
        _mm512_mask_storeu_epi32(dst + 4 * g, m, units32W<BigOut>(cps));
    }
    return true;
}

// ASCII widened to UTF-32, 64 characters a block, while blocks are ASCII, 64 more
// characters have room and the next block is readable. Made to run alike on every
// x86-64 core, not only on one that forgives:
//  - the output goes out in aligned 64-byte stores (a store that splits two lines costs
//    two on some cores): the first block is stored unaligned and only the characters up
//    to the next 64-byte boundary count; the others are written again, to the same
//    values, by the next block or by whatever converts those ASCII bytes next;
//  - each block is loaded before the stores of the one before, so that no load waits
//    behind a store whose address matches it in the low 12 bits (4K aliasing: the
//    output runs four times as fast as the input and passes such offsets again and again).
// Returns whether it took anything; i and o move on.
template <bool BigOut>
XR_INLINE bool asciiRun64(const std::uint8_t* src, std::size_t srcL, std::uint8_t* dst,
                          std::size_t maxChars, std::size_t& i, std::size_t& o) {
    W v = loadW(src + i);
    if (_mm512_movepi8_mask(v)) return false;
    // Byte 16q + j goes to lane j of output q, in its high or low byte, zeros elsewhere.
    const W spread = loadW(tables::kLaneOfByte.data());
    const std::uint64_t place = BigOut ? 0x8888888888888888u : 0x1111111111111111u;
    const auto store = [&](bool aligned) {
        std::uint8_t* d = dst + 4 * o;
        for (int q = 0; q < 4; ++q) {
            const W w =
                _mm512_maskz_permutexvar_epi8(place, _mm512_add_epi8(spread, bytesW(16 * q)), v);
            if (aligned)
                _mm512_store_si512(d + 64 * q, w);
            else
                _mm512_storeu_si512(d + 64 * q, w);
        }
    };
    const auto misalign = reinterpret_cast<std::uintptr_t>(dst + 4 * o) & 63;
    const bool aligned = misalign % 4 == 0;
    if (misalign != 0 && aligned) {
        store(false);
        const std::size_t first = (64 - misalign) / 4;
        i += first, o += first;
        if (srcL - i < 64 || maxChars - o < 64) return true;
        v = loadW(src + i);
        if (_mm512_movepi8_mask(v)) return true;
    }
    for (; srcL - i >= 128 && maxChars - o >= 128; i += 64, o += 64) {
        const W next = loadW(src + i + 64);
        store(aligned);
        if (_mm512_movepi8_mask(next)) return i += 64, o += 64, true;
        v = next;
    }
    store(aligned);
    i += 64, o += 64;
    return true;
}

// 32 code points below U+10000 as 16-bit lanes, in order (the pack interleaves 64-bit
// groups of a and b, lane by lane).
XR_INLINE W lanes16(W a, W b) {
    return _mm512_permutexvar_epi64(_mm512_setr_epi64(0, 2, 4, 6, 1, 3, 5, 7),
                                    _mm512_packus_epi32(a, b));
}

// 64 code points below 0x80 as bytes; the packs leave 32-bit groups of a, b, c, d
// interleaved lane by lane.
XR_INLINE void asciiPack64(W a, W b, W c, W d, std::uint8_t* dst) {
    const W bytes = _mm512_packus_epi16(_mm512_packus_epi32(a, b), _mm512_packus_epi32(c, d));
    _mm512_storeu_si512(
        dst, _mm512_permutexvar_epi32(
                 _mm512_setr_epi32(0, 4, 8, 12, 1, 5, 9, 13, 2, 6, 10, 14, 3, 7, 11, 15), bytes));
}

// Sixteen code points below 0x200000 as UTF-8, written exactly; returns the length, or
// 0 when one of them is not below 0x200000.
template <bool BigIn> XR_INLINE unsigned encode16(const std::uint8_t* src, std::uint8_t* dst) {
    const W cp = units32W<BigIn>(loadW(src));
    const auto atLeast32 = [cp](unsigned k) {
        return _mm512_cmpge_epu32_mask(cp, _mm512_set1_epi32(static_cast<int>(k)));
    };
    if (atLeast32(0x200000)) return 0;
    const __mmask16 ge80 = atLeast32(0x80), ge800 = atLeast32(0x800), ge10000 = atLeast32(0x10000);
    if (!ge80) {
        _mm_storeu_si128(reinterpret_cast<V*>(dst), _mm512_cvtepi32_epi8(cp));
        return 16;
    }
    const auto field = [cp](int shift, int mask) {
        return _mm512_and_si512(_mm512_slli_epi32(cp, shift), _mm512_set1_epi32(mask));
    };
    // As in encodeStep: six-bit groups lowest first, markers, then lead byte first.
    W w = _mm512_or_si512(_mm512_or_si512(field(0, 0x3F), field(2, 0x3F00)),
                          _mm512_or_si512(field(4, 0x3F0000), field(6, 0x3F000000)));
    w = _mm512_or_si512(
        w, _mm512_maskz_and_epi32(static_cast<__mmask16>(~ge80), cp, _mm512_set1_epi32(0x40)));
    const W marks = _mm512_xor_si512(
        _mm512_maskz_mov_epi32(ge80, _mm512_set1_epi32(0xC080)),
        _mm512_xor_si512(
            _mm512_maskz_mov_epi32(ge800, _mm512_set1_epi32(0xE04000)),
            _mm512_maskz_mov_epi32(ge10000, _mm512_set1_epi32(static_cast<int>(0xF0600000u)))));
    const W leadFirst = swap32W(_mm512_or_si512(w, marks));
    // Lane byte j is kept when j >= 4 - length.
    W skip = _mm512_set1_epi32(3);
    skip = _mm512_mask_sub_epi32(skip, ge80, skip, _mm512_set1_epi32(1));
    skip = _mm512_mask_sub_epi32(skip, ge800, skip, _mm512_set1_epi32(1));
    skip = _mm512_mask_sub_epi32(skip, ge10000, skip, _mm512_set1_epi32(1));
    skip = _mm512_shuffle_epi8(skip, _mm512_broadcast_i32x4(_mm_setr_epi8(
                                         0, 0, 0, 0, 4, 4, 4, 4, 8, 8, 8, 8, 12, 12, 12, 12)));
    const std::uint64_t keep = _mm512_cmpge_epu8_mask(_mm512_set1_epi32(0x03020100), skip);
    const unsigned n = static_cast<unsigned>(__builtin_popcountll(keep));
    _mm512_mask_storeu_epi8(dst, n == 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << n) - 1,
                            _mm512_maskz_compress_epi8(keep, leadFirst));
    return n;
}
#endif

// UTF-8 into UTF-32: ASCII blocks widened, other blocks decoded a few characters at a
// time once their structure is checked; anything else is left to the caller.
template <bool BigOut>
Progress utf8ToUtf32(const std::uint8_t* src, std::size_t srcL, std::uint8_t* dst,
                     std::size_t maxChars) {
    std::size_t i = 0, o = 0;
#if XR_CVT_LEVEL >= 4
    while (srcL - i >= 64 && maxChars - o >= 64) {
        if (asciiRun64<BigOut>(src, srcL, dst, maxChars, i, o)) continue;
        std::size_t taken = 0, chars = 0;
        if (!decodeBlock64<BigOut>(src + i, dst + 4 * o, taken, chars)) break;
        i += taken;
        o += chars;
    }
#elif XR_CVT_LEVEL == 3
    ::xr::dec256::utf8ToUtf32<BigOut>(src, srcL, dst, maxChars, i, o);
#endif
    while (srcL - i >= 16 && maxChars - o >= 16) {
#if XR_CVT_LEVEL >= 3
        if (srcL - i >= 32 && maxChars - o >= 32 && asciiRun32<BigOut>(src + i, dst + 4 * o)) {
            i += 32;
            o += 32;
            continue;
        }
#endif
        const V v = load(src + i);
        const unsigned high = byteMask(v);
        if (high == 0) {
            widenAscii16<BigOut>(v, dst + 4 * o);
            i += 16;
            o += 16;
            continue;
        }
#if XR_CVT_LEVEL >= 2
        std::uint64_t starts = 0;
        if (srcL - i < 64 || maxChars - o < 64 || !wellFormedBlock(src + i, starts)) break;
        std::size_t chars = 0;
        i += decodeBlock<BigOut>(src + i, starts, dst + 4 * o, chars);
        o += chars;
#else
        // The ASCII bytes in front of the first other byte.
        for (unsigned n = static_cast<unsigned>(__builtin_ctz(high)); n; --n, ++i, ++o) {
            const std::uint32_t u = toBig(src[i], BigOut);
            std::memcpy(dst + 4 * o, &u, 4);
        }
        break;
#endif
    }
    return {i, o};
}

XR_INLINE V surrogates(V u) {
    return _mm_cmpeq_epi16(_mm_and_si128(u, _mm_set1_epi16(static_cast<short>(0xF800))),
                           _mm_set1_epi16(static_cast<short>(0xD800)));
}

template <bool Big> XR_INLINE void put32(std::uint8_t* p, std::uint32_t v) {
    v = toBig(v, Big);
    std::memcpy(p, &v, 4);
}
template <bool Big> XR_INLINE void put16(std::uint8_t* p, std::uint32_t v) {
    const auto u =
        static_cast<std::uint16_t>(Big ? __builtin_bswap16(static_cast<std::uint16_t>(v)) : v);
    std::memcpy(p, &u, 2);
}

// UTF-16 into UTF-32, eight units at a time; a block with surrogates goes unit by unit,
// each well-formed pair as one character, and a lone surrogate is left to the caller.
template <bool BigIn, bool BigOut>
Progress utf16ToUtf32(const std::uint8_t* src, std::size_t srcL, std::uint8_t* dst,
                      std::size_t maxChars) {
    constexpr Order kIn = BigIn ? Order::Big : Order::Little;
    const V z = _mm_setzero_si128();
    std::size_t i = 0, o = 0; // bytes in, characters out
    while (srcL - i >= 16 && maxChars - o >= 8) {
        const V u = units16<BigIn>(load(src + i));
        const unsigned m = byteMask(surrogates(u));
        if (m == 0) {
            store(dst + 4 * o, units32<BigOut>(_mm_unpacklo_epi16(u, z)));
            store(dst + 4 * o + 16, units32<BigOut>(_mm_unpackhi_epi16(u, z)));
            i += 16;
            o += 8;
            continue;
        }
        for (unsigned n = static_cast<unsigned>(__builtin_ctz(m)) / 2; n; --n, i += 2, ++o)
            put32<BigOut>(dst + 4 * o, ::xr::units::load16<kIn>(src + i));
        if (srcL - i < 4) break;
        const std::uint32_t hi = ::xr::units::load16<kIn>(src + i);
        const std::uint32_t lo = ::xr::units::load16<kIn>(src + i + 2);
        if (hi > 0xDBFF || lo < 0xDC00 || lo > 0xDFFF) break;
        put32<BigOut>(dst + 4 * o, 0x10000 + ((hi & 0x3FF) << 10 | (lo & 0x3FF)));
        i += 4;
        ++o;
    }
    return {i, o};
}

// UTF-32 into 16-bit units, eight at a time: UCS-2 keeps the low 16 bits of anything;
// UTF-16 writes a block with code points above U+FFFF one by one, pairs for those up to
// U+10FFFF, and leaves any larger value to the caller.
template <bool BigIn, bool BigOut, bool Pairs>
Progress utf32ToUtf16(const std::uint8_t* src, std::size_t units, std::uint8_t* dst,
                      std::size_t dstL) {
    constexpr Order kIn = BigIn ? Order::Big : Order::Little;
    std::size_t k = 0, o = 0; // code points in, bytes out
    while (units - k >= 8 && dstL - o >= 32) {
        const V a = units32<BigIn>(load(src + 4 * k)), b = units32<BigIn>(load(src + 4 * k + 16));
        const V above = _mm_srli_epi32(_mm_or_si128(a, b), 16);
        if (!Pairs || byteMask(_mm_cmpeq_epi32(above, _mm_setzero_si128())) == 0xFFFF) {
            const V lowA = _mm_srai_epi32(_mm_slli_epi32(a, 16), 16);
            const V lowB = _mm_srai_epi32(_mm_slli_epi32(b, 16), 16);
            store(dst + o, units16<BigOut>(_mm_packs_epi32(lowA, lowB)));
            k += 8;
            o += 16;
            continue;
        }
        for (const std::size_t end = k + 8; k < end; ++k) {
            const std::uint32_t cp = ::xr::units::load32<kIn>(src + 4 * k);
            if (cp > 0x10FFFF) return {k, o};
            if (cp <= 0xFFFF) {
                put16<BigOut>(dst + o, cp);
                o += 2;
            } else {
                put16<BigOut>(dst + o, 0xD800 + ((cp - 0x10000) >> 10));
                put16<BigOut>(dst + o + 2, 0xDC00 + (cp & 0x3FF));
                o += 4;
            }
        }
    }
    return {k, o};
}

// Sixteen code points below 0x80 packed to bytes.
template <bool BigIn> XR_INLINE bool asciiPack16(const std::uint8_t* src, std::uint8_t* dst) {
    const V a = units32<BigIn>(load(src)), b = units32<BigIn>(load(src + 16));
    const V c = units32<BigIn>(load(src + 32)), d = units32<BigIn>(load(src + 48));
    const V all = _mm_or_si128(_mm_or_si128(a, b), _mm_or_si128(c, d));
    if (byteMask(_mm_cmpeq_epi32(_mm_srli_epi32(all, 7), _mm_setzero_si128())) != 0xFFFF)
        return false;
    store(dst, _mm_packus_epi16(_mm_packs_epi32(a, b), _mm_packs_epi32(c, d)));
    return true;
}

#if XR_CVT_LEVEL >= 2
// Four code points below 0x200000 as UTF-8, packed lead byte first. Writes 16 bytes
// whatever the length; returns the length.
XR_INLINE unsigned encodeStep(V cp, std::uint8_t* dst) {
    const auto above = [cp](int k) { return _mm_cmpgt_epi32(cp, _mm_set1_epi32(k)); };
    const V ge80 = above(0x7F), ge800 = above(0x7FF), ge10000 = above(0xFFFF);
    const auto field = [cp](int shift, int mask) {
        return _mm_and_si128(_mm_slli_epi32(cp, shift), _mm_set1_epi32(mask));
    };
    // Six-bit groups, lowest in byte 0; an ASCII lane keeps its bit 6 in byte 0.
    V w = _mm_or_si128(_mm_or_si128(field(0, 0x3F), field(2, 0x3F00)),
                       _mm_or_si128(field(4, 0x3F0000), field(6, 0x3F000000)));
    w = _mm_or_si128(w, _mm_andnot_si128(ge80, _mm_and_si128(cp, _mm_set1_epi32(0x40))));
    // Continuation markers and the lead prefix: each threshold crossed moves the lead up
    // one byte (C0 -> 80 E0 -> 80 80 F0).
    const V marks = _mm_xor_si128(
        _mm_and_si128(ge80, _mm_set1_epi32(0xC080)),
        _mm_xor_si128(_mm_and_si128(ge800, _mm_set1_epi32(0xE04000)),
                      _mm_and_si128(ge10000, _mm_set1_epi32(static_cast<int>(0xF0600000u)))));
    const auto lanes = [](V m) {
        return tables::spreadLanes(static_cast<unsigned>(_mm_movemask_ps(_mm_castsi128_ps(m))));
    };
    const unsigned code = lanes(ge80) + lanes(ge800) + lanes(ge10000);
    store(dst, _mm_shuffle_epi8(_mm_or_si128(w, marks), load(tables::kEncodeShuffle[code].data())));
    return tables::encodedLength(code);
}
#endif

#if XR_CVT_LEVEL == 3
using Y = __m256i;

XR_INLINE Y loadY(const std::uint8_t* p) {
    return _mm256_loadu_si256(reinterpret_cast<const Y*>(p));
}
template <bool Big> XR_INLINE Y units32Y(Y v) {
    if constexpr (Big)
        return _mm256_shuffle_epi8(v, _mm256_setr_epi8(3, 2, 1, 0, 7, 6, 5, 4, 11, 10, 9, 8, 15, 14,
                                                       13, 12, 3, 2, 1, 0, 7, 6, 5, 4, 11, 10, 9, 8,
                                                       15, 14, 13, 12));
    else
        return v;
}
// Whether every unit that went into `any` (an OR of units in the input's byte order) is
// below `limit`, a power of two.
template <bool Big> XR_INLINE bool allBelow(Y any, std::uint32_t limit) {
    const std::uint32_t high = Big ? __builtin_bswap32(~(limit - 1)) : ~(limit - 1);
    return _mm256_testz_si256(any, _mm256_set1_epi32(static_cast<int>(high)));
}
// 32-bit lanes below 0x80 as bytes: the packs leave the 32-bit groups of a, b, c, d
// interleaved lane by lane.
XR_INLINE Y asciiBytes(Y a, Y b, Y c, Y d) {
    const Y bytes = _mm256_packus_epi16(_mm256_packus_epi32(a, b), _mm256_packus_epi32(c, d));
    return _mm256_permutevar8x32_epi32(bytes, _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7));
}
// Two vectors of code points below U+10000 (in the input's byte order) as 16-bit lanes,
// groups of four ordered 0, 2 | 1, 3 as a pack leaves them; big-endian units are picked
// by one shuffle each instead of being reversed first.
template <bool BigIn> XR_INLINE Y pack16(Y a, Y b) {
    if constexpr (BigIn) {
        const Y pick = _mm256_setr_epi8(3, 2, 7, 6, 11, 10, 15, 14, 3, 2, 7, 6, 11, 10, 15, 14, 3,
                                        2, 7, 6, 11, 10, 15, 14, 3, 2, 7, 6, 11, 10, 15, 14);
        return _mm256_blend_epi32(_mm256_shuffle_epi8(a, pick), _mm256_shuffle_epi8(b, pick), 0xCC);
    } else {
        return _mm256_packus_epi32(a, b);
    }
}
// Eight code points from U+10000 to below 0x200000 as four bytes each, in their lanes.
XR_INLINE Y fourBytes(Y cp) {
    const auto field = [cp](Y shifted, int mask) {
        return _mm256_and_si256(shifted, _mm256_set1_epi32(mask));
    };
    return _mm256_or_si256(
        _mm256_or_si256(_mm256_set1_epi32(static_cast<int>(0x808080F0u)), _mm256_srli_epi32(cp, 18)),
        _mm256_or_si256(_mm256_or_si256(field(_mm256_srli_epi32(cp, 4), 0x3F00),
                                        field(_mm256_slli_epi32(cp, 10), 0x3F0000)),
                        field(_mm256_slli_epi32(cp, 24), 0x3F000000)));
}
// Eight code points below 0x200000 as UTF-8: encodeStep on each half, the second stored
// right after the first's bytes, so that the stores reach at most 16 bytes past them and
// 32 past dst; returns the length.
XR_INLINE unsigned encodeStep8(Y cp, std::uint8_t* dst) {
    const auto above = [cp](int k) { return _mm256_cmpgt_epi32(cp, _mm256_set1_epi32(k)); };
    const Y ge80 = above(0x7F), ge800 = above(0x7FF), ge10000 = above(0xFFFF);
    const auto field = [cp](int shift, int mask) {
        return _mm256_and_si256(_mm256_slli_epi32(cp, shift), _mm256_set1_epi32(mask));
    };
    Y w = _mm256_or_si256(_mm256_or_si256(field(0, 0x3F), field(2, 0x3F00)),
                          _mm256_or_si256(field(4, 0x3F0000), field(6, 0x3F000000)));
    w = _mm256_or_si256(w,
                        _mm256_andnot_si256(ge80, _mm256_and_si256(cp, _mm256_set1_epi32(0x40))));
    const Y marks = _mm256_xor_si256(
        _mm256_and_si256(ge80, _mm256_set1_epi32(0xC080)),
        _mm256_xor_si256(
            _mm256_and_si256(ge800, _mm256_set1_epi32(0xE04000)),
            _mm256_and_si256(ge10000, _mm256_set1_epi32(static_cast<int>(0xF0600000u)))));
    const auto lanes = [](Y m) {
        return static_cast<unsigned>(_mm256_movemask_ps(_mm256_castsi256_ps(m)));
    };
    const unsigned m80 = lanes(ge80), m800 = lanes(ge800), m10000 = lanes(ge10000);
    const unsigned lo = tables::spreadLanes(m80 & 15) + tables::spreadLanes(m800 & 15) +
                        tables::spreadLanes(m10000 & 15);
    const unsigned hi = tables::spreadLanes(m80 >> 4) + tables::spreadLanes(m800 >> 4) +
                        tables::spreadLanes(m10000 >> 4);
    const Y shuffle =
        _mm256_inserti128_si256(_mm256_castsi128_si256(load(tables::kEncodeShuffle[lo].data())),
                                load(tables::kEncodeShuffle[hi].data()), 1);
    const Y bytes = _mm256_shuffle_epi8(_mm256_or_si256(w, marks), shuffle);
    const unsigned n = tables::encodedLength(lo);
    store(dst, _mm256_castsi256_si128(bytes));
    store(dst + n, _mm256_extracti128_si256(bytes, 1));
    return n + tables::encodedLength(hi);
}
#endif

// UTF-32 into UTF-8. An encoding step stores 16 bytes however many it produced; that is
// safe only while at least 16 more characters follow and 20 bytes of room remain, since
// the following characters then all get written (by this kernel or the driver) over
// the surplus before the conversion can stop.
template <bool BigIn>
Progress utf32ToUtf8(const std::uint8_t* src, std::size_t units, std::uint8_t* dst,
                     std::size_t dstL) {
    std::size_t k = 0, o = 0;
#if XR_CVT_LEVEL == 3
    // Blocks of 64 code points, all four quarters by the narrowest path that fits the
    // whole block: text that mixes ASCII with other characters changes paths seldom, so
    // the branches stay predictable. A quarter starts at most 48 characters and 192 bytes
    // into the block, so it has the 16 characters after it and the 80 bytes of room that
    // the blocks of 16 below keep for their surplus.
    while (units - k >= 80 && dstL - o >= 272) {
        const std::uint8_t* p = src + 4 * k;
        // Large inputs come from memory: ask for the lines of the block 8 blocks on.
        for (int line = 0; line < 256; line += 64)
            _mm_prefetch(reinterpret_cast<const char*>(p + 2048 + line), _MM_HINT_T0);
        Y v[8];
        for (int q = 0; q < 8; ++q)
            v[q] = loadY(p + 32 * q);
        const Y any = _mm256_or_si256(
            _mm256_or_si256(_mm256_or_si256(v[0], v[1]), _mm256_or_si256(v[2], v[3])),
            _mm256_or_si256(_mm256_or_si256(v[4], v[5]), _mm256_or_si256(v[6], v[7])));
        if (allBelow<BigIn>(any, 0x80)) {
            if constexpr (BigIn)
                for (Y& w : v)
                    w = _mm256_srli_epi32(w, 24);
            _mm256_storeu_si256(reinterpret_cast<Y*>(dst + o), asciiBytes(v[0], v[1], v[2], v[3]));
            _mm256_storeu_si256(reinterpret_cast<Y*>(dst + o + 32),
                                asciiBytes(v[4], v[5], v[6], v[7]));
            k += 64, o += 64;
            continue;
        }
        if (allBelow<BigIn>(any, 0x800)) {
            for (int q = 0; q < 4; ++q)
                o += ::xr::enc256::twoByteLanes(
                    _mm256_permute4x64_epi64(pack16<BigIn>(v[2 * q], v[2 * q + 1]), 0xD8), dst + o);
        } else if (allBelow<BigIn>(any, 0x10000)) {
            for (int q = 0; q < 4; ++q) {
                const Y u = pack16<BigIn>(loadY(p + 64 * q), loadY(p + 64 * q + 32));
                o += ::xr::enc256::threeByteLanes(u, dst + o);
            }
        } else if (allBelow<BigIn>(any, 0x200000)) {
            Y least = _mm256_set1_epi32(0x1FFFFF);
            for (Y& w : v)
                least = _mm256_min_epu32(least, w = units32Y<BigIn>(w));
            if (_mm256_testz_si256(_mm256_cmpgt_epi32(_mm256_set1_epi32(0x10000), least),
                                   _mm256_set1_epi32(-1))) {
                // Four bytes each: the lanes themselves, lead byte first.
                for (int q = 0; q < 8; ++q)
                    _mm256_storeu_si256(reinterpret_cast<Y*>(dst + o + 32 * q), fourBytes(v[q]));
                o += 256;
            } else {
                for (int q = 0; q < 8; ++q)
                    o += encodeStep8(v[q], dst + o);
            }
        } else {
            break;
        }
        k += 64;
    }
    // The last blocks, 16 code points at a time by the narrowest path that fits them. A
    // block stores 16-byte vectors reaching at most 64 bytes past its start and 12 past its
    // bytes; the 16 characters after it and the 80 bytes of room kept make sure the
    // surplus is overwritten before the conversion can stop, as above.
    while (units - k >= 32 && dstL - o >= 80) {
        const Y ra = loadY(src + 4 * k), rb = loadY(src + 4 * k + 32);
        const Y any = _mm256_or_si256(ra, rb);
        const Y a = units32Y<BigIn>(ra), b = units32Y<BigIn>(rb);
        if (allBelow<BigIn>(any, 0x80)) {
            store(dst + o, _mm256_castsi256_si128(asciiBytes(a, b, a, b)));
            o += 16;
        } else if (allBelow<BigIn>(any, 0x800)) {
            o += ::xr::enc256::twoByteLanes(
                _mm256_permute4x64_epi64(_mm256_packus_epi32(a, b), 0xD8), dst + o);
        } else if (allBelow<BigIn>(any, 0x10000)) {
            o += ::xr::enc256::threeByteLanes(_mm256_packus_epi32(a, b), dst + o);
        } else if (allBelow<BigIn>(any, 0x200000)) {
            o += encodeStep8(a, dst + o);
            o += encodeStep8(b, dst + o);
        } else {
            break;
        }
        k += 16;
    }
#endif
#if XR_CVT_LEVEL >= 4
    while (units - k >= 16 && dstL - o >= 64) {
        // Steps of 64 below U+10000 store whole vectors: at most 256 bytes and a spill of
        // 64 past them, which the next 64 characters overwrite (they follow, and the room
        // kept holds them) before the conversion can stop.
        if (units - k >= 128 && dstL - o >= 576) {
            const std::uint8_t* p = src + 4 * k;
            const W a = units32W<BigIn>(loadW(p)), b = units32W<BigIn>(loadW(p + 64));
            const W c = units32W<BigIn>(loadW(p + 128)), d = units32W<BigIn>(loadW(p + 192));
            const W any = _mm512_or_si512(_mm512_ternarylogic_epi32(a, b, c, 0xFE), d);
            if (!_mm512_cmpge_epu32_mask(any, _mm512_set1_epi32(0x80))) {
                asciiPack64(a, b, c, d, dst + o);
                k += 64, o += 64;
                continue;
            }
            if (!_mm512_cmpge_epu32_mask(any, _mm512_set1_epi32(0x10000))) {
                o += ::xr::enc512::bmpLanes(lanes16(a, b), dst + o);
                o += ::xr::enc512::bmpLanes(lanes16(c, d), dst + o);
                k += 64;
                continue;
            }
        }
        const unsigned n = encode16<BigIn>(src + 4 * k, dst + o);
        if (!n) break;
        o += n;
        k += 16;
    }
#endif
    while (units - k >= 16 && dstL - o >= 16) {
        if (asciiPack16<BigIn>(src + 4 * k, dst + o)) {
            k += 16;
            o += 16;
            continue;
        }
#if XR_CVT_LEVEL >= 2
        if (units - k < 20 || dstL - o < 20) break;
        const V cp = units32<BigIn>(load(src + 4 * k));
        if (byteMask(_mm_cmpeq_epi32(_mm_srli_epi32(cp, 21), _mm_setzero_si128())) != 0xFFFF) break;
        o += encodeStep(cp, dst + o);
        k += 4;
#else
        break;
#endif
    }
    return {k, o};
}

inline ToKernel toKernel(Source from, bool bigOut) {
    switch (from) {
    case Source::Utf8:
        return bigOut ? utf8ToUtf32<true> : utf8ToUtf32<false>;
    case Source::Utf16Big:
        return bigOut ? utf16ToUtf32<true, true> : utf16ToUtf32<true, false>;
    case Source::Utf16Little:
        return bigOut ? utf16ToUtf32<false, true> : utf16ToUtf32<false, false>;
    case Source::Utf32Big:
        return bigOut ? utf32ToUtf32<true, true> : utf32ToUtf32<true, false>;
    case Source::Utf32Little:
        return bigOut ? utf32ToUtf32<false, true> : utf32ToUtf32<false, false>;
    }
    return nullptr;
}

template <bool BigIn> FromKernel fromKernelFor(Target to) {
    switch (to) {
    case Target::Utf32Big:
        return utf32ToUtf32Units<BigIn, true>;
    case Target::Utf32Little:
        return utf32ToUtf32Units<BigIn, false>;
    case Target::Ucs2Little:
        return utf32ToUtf16<BigIn, false, false>;
    case Target::Ucs2Big:
        return utf32ToUtf16<BigIn, true, false>;
    case Target::Utf16Little:
        return utf32ToUtf16<BigIn, false, true>;
    case Target::Utf16Big:
        return utf32ToUtf16<BigIn, true, true>;
    case Target::Utf8:
        return utf32ToUtf8<BigIn>;
    }
    return nullptr;
}

inline FromKernel fromKernel(bool bigIn, Target to) {
    return bigIn ? fromKernelFor<true>(to) : fromKernelFor<false>(to);
}
