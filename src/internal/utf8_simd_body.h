// The vector kernels of the UTF-8 kit, written once and compiled once per instruction
// set: the including file wraps each inclusion in its own namespace and target options
// and sets XR_UTF8_LEVEL to 1 (SSE2) or 3 (AVX2). No include guard. The declarations
// and the rules they follow are in utf8_simd.h.

#if XR_UTF8_LEVEL >= 3
using V = __m256i;
constexpr std::size_t kBytes = 32;
inline V load(const std::uint8_t* p) {
    return _mm256_loadu_si256(reinterpret_cast<const V*>(p));
}
inline V splat(std::uint8_t c) {
    return _mm256_set1_epi8(static_cast<char>(c));
}
inline V zero() {
    return _mm256_setzero_si256();
}
inline V or_(V a, V b) {
    return _mm256_or_si256(a, b);
}
inline V and_(V a, V b) {
    return _mm256_and_si256(a, b);
}
inline V andNot(V a, V b) { // ~a & b
    return _mm256_andnot_si256(a, b);
}
inline V xor_(V a, V b) {
    return _mm256_xor_si256(a, b);
}
inline V add(V a, V b) {
    return _mm256_add_epi8(a, b);
}
inline V sub(V a, V b) {
    return _mm256_sub_epi8(a, b);
}
inline V subSat(V a, std::uint8_t c) {
    return _mm256_subs_epu8(a, splat(c));
}
inline V eq(V a, V b) {
    return _mm256_cmpeq_epi8(a, b);
}
inline V gtSigned(V a, V b) {
    return _mm256_cmpgt_epi8(a, b);
}
inline V minU(V a, V b) {
    return _mm256_min_epu8(a, b);
}
inline V maxU(V a, V b) {
    return _mm256_max_epu8(a, b);
}
inline std::uint32_t mask(V v) {
    return static_cast<std::uint32_t>(_mm256_movemask_epi8(v));
}
// The bytes K places before each byte of cur, zeros before the first.
template <int K> V before(V cur) {
    return _mm256_alignr_epi8(cur, _mm256_permute2x128_si256(cur, cur, 0x08), 16 - K);
}
// The sum of all bytes.
inline std::uint64_t sum(V v) {
    const V s = _mm256_sad_epu8(v, zero());
    const __m128i h = _mm_add_epi64(_mm256_castsi256_si128(s), _mm256_extracti128_si256(s, 1));
    return static_cast<std::uint64_t>(_mm_cvtsi128_si64(h)) +
           static_cast<std::uint64_t>(_mm_cvtsi128_si64(_mm_unpackhi_epi64(h, h)));
}
#else
using V = __m128i;
constexpr std::size_t kBytes = 16;
inline V load(const std::uint8_t* p) {
    return _mm_loadu_si128(reinterpret_cast<const V*>(p));
}
inline V splat(std::uint8_t c) {
    return _mm_set1_epi8(static_cast<char>(c));
}
inline V zero() {
    return _mm_setzero_si128();
}
inline V or_(V a, V b) {
    return _mm_or_si128(a, b);
}
inline V and_(V a, V b) {
    return _mm_and_si128(a, b);
}
inline V andNot(V a, V b) { // ~a & b
    return _mm_andnot_si128(a, b);
}
inline V xor_(V a, V b) {
    return _mm_xor_si128(a, b);
}
inline V add(V a, V b) {
    return _mm_add_epi8(a, b);
}
inline V sub(V a, V b) {
    return _mm_sub_epi8(a, b);
}
inline V subSat(V a, std::uint8_t c) {
    return _mm_subs_epu8(a, splat(c));
}
inline V eq(V a, V b) {
    return _mm_cmpeq_epi8(a, b);
}
inline V gtSigned(V a, V b) {
    return _mm_cmpgt_epi8(a, b);
}
inline V minU(V a, V b) {
    return _mm_min_epu8(a, b);
}
inline V maxU(V a, V b) {
    return _mm_max_epu8(a, b);
}
inline std::uint32_t mask(V v) {
    return static_cast<std::uint32_t>(_mm_movemask_epi8(v));
}
template <int K> V before(V cur) {
    return _mm_slli_si128(cur, K);
}
inline std::uint64_t sum(V v) {
    const V s = _mm_sad_epu8(v, zero());
    return static_cast<std::uint64_t>(_mm_cvtsi128_si64(s)) +
           static_cast<std::uint64_t>(_mm_cvtsi128_si64(_mm_unpackhi_epi64(s, s)));
}
#endif
constexpr std::uint32_t kAllBits = kBytes == 32 ? ~0u : (1u << kBytes) - 1;

// Byte classes of one block: 0xFF where a byte belongs to the class.
inline V atLeast(V v, std::uint8_t t) {
    return eq(maxU(v, splat(t)), v);
}

// Continuation bytes 80..BF: the only bytes below -64 as signed.
inline V continuations(V cur) {
    return gtSigned(splat(0xC0), cur);
}

// Bytes that a lead among the three before announces as part of its sequence.
inline V expected(V p1, V p2, V p3) {
    const V reach = or_(or_(subSat(p1, 0xBF), subSat(p2, 0xDF)), subSat(p3, 0xEF));
    return gtSigned(reach, zero()); // each term is at most 0x40
}

// Bytes that end a run of the rules R.
template <class R> XR_INLINE V stops(V cur, V p1, V p2, V p3, V cont) {
    V bad = or_(xor_(expected(p1, p2, p3), cont), atLeast(cur, R::kTop));
    if constexpr (R::kSurrogates) bad = or_(bad, and_(eq(p1, splat(0xED)), atLeast(cur, 0xA0)));
    if constexpr (R::kNul) bad = or_(bad, eq(cur, zero()));
    if constexpr (R::kC0C1) bad = or_(bad, eq(and_(cur, splat(0xFE)), splat(0xC0)));
    return bad;
}

// A..Z to a..z: after adding 0x3F they are the only bytes below -102 as signed.
inline V foldAscii(V v) {
    const V upper = gtSigned(splat(0x9A), add(v, splat(0x3F)));
    return add(v, and_(upper, splat(0x20)));
}

// The bytes one, two and three places before those of the block at p + i; zeros before p.
struct Context {
    V p1, p2, p3;
    Context(const std::uint8_t* p, std::size_t i, V cur) {
        if (i == 0) {
            p1 = before<1>(cur), p2 = before<2>(cur), p3 = before<3>(cur);
        } else {
            p1 = load(p + i - 1), p2 = load(p + i - 2), p3 = load(p + i - 3);
        }
    }
};

inline std::uint32_t below(unsigned bit) {
    return (std::uint32_t{1} << bit) - 1;
}
inline unsigned firstBit(std::uint32_t m) {
    return static_cast<unsigned>(std::countr_zero(m));
}

// Bytes that end a run in the block at p + i, given its continuation bytes.
template <class R> XR_INLINE V blockStops(const std::uint8_t* p, std::size_t i, V cur, V cont) {
    const Context c(p, i, cur);
    return stops<R>(cur, c.p1, c.p2, c.p3, cont);
}

inline bool anySet(V v) {
    return mask(eq(v, zero())) != kAllBits;
}

// Runs for counting (leads up to F7, no other stops) take groups of four blocks by a
// lighter check than the full one: whether each byte is a continuation byte exactly when
// a lead up to one, two or three places before (the check's level) reaches it (counting
// by continuation bytes alone checks less at level 1: see countGroups). Sign bits of the
// bytes so reached: the saturating subtractions leave the sign bit of a lead of at least
// two bytes one place before, of one of at least three bytes two places before, of one
// of at least four bytes three places before, and of no other byte.
template <unsigned Level> inline V reached(const std::uint8_t* q) {
    V r = subSat(load(q - 1), 0x40);
    if constexpr (Level >= 2) r = maxU(r, subSat(load(q - 2), 0x60));
    if constexpr (Level >= 3) r = maxU(r, subSat(load(q - 3), 0x70));
    return r;
}

template <class R>
constexpr bool kCountRuns = R::kTop == 0xF8 && !R::kSurrogates && !R::kNul && !R::kC0C1;

// Whether a lead two or three places before q would reach into q across a byte that is
// not a continuation byte: a sequence that ended early, which a check that looks back
// from the bytes at q takes for one that goes on.
inline bool endedEarlyBefore(const std::uint8_t* q) {
    return (q[-2] >= 0xE0 && !isContinuation(q[-1])) ||
           (q[-3] >= 0xF0 && !(isContinuation(q[-2]) && isContinuation(q[-1])));
}

// Where the groups taken by countGroups stopped: at a group that fails its check (off),
// or after `limit` checked groups or at the end; and how many it checked.
struct Groups {
    std::size_t i;
    bool off;
    unsigned checked;
};

// Groups in a row without sequences before the ASCII test is tried: in text with a few
// other characters among ASCII, a test at every such group would mostly mispredict.
constexpr unsigned kAsciiStreak = 2;

// The groups of four blocks from p + i (three readable bytes before it) while each byte
// passes the check of the level, at most `limit` of them checked; their continuation
// bytes are added to conts. After kAsciiStreak groups without sequences (ascii counts
// them, kept up to date), the groups are first tried for ASCII alone: no sequence
// reaches into them then.
//
// Counting by continuation bytes needs every continuation byte to belong to the sequence
// of the last lead before it, and lets a lead whose sequence ends early in. At level 1
// each continuation byte must follow a lead: ~(byte before) & (continuation mask) is then
// below 0x40 in every byte. At level 2 a continuation byte that passes follows a lead or
// follows one that follows a lead of at least three bytes: the byte before it, reached
// too, has passed the same check and is a continuation byte, unless it lies before the
// group and passed level 1 only; endedEarlyBefore tells that case. At level 3 the same,
// with leads of four bytes or more taking three continuation bytes. So the levels may
// alternate along a run. Runs of the full rules (Full) check at level 1 as at the others,
// and need in addition no lead of more bytes than the level reaches (in the group and the
// three bytes before it) and none from F8 up; then the check is the full one; the byte
// just before a group of level 3 may have passed level 1 only, so its reach from two
// places back is checked then.
template <unsigned Level, bool Full>
XR_INLINE Groups countGroups(const std::uint8_t* p, std::size_t i, std::size_t n,
                             unsigned limit, unsigned& ascii, std::size_t& conts) {
    constexpr std::size_t kGroup = 4 * kBytes;
    V acc = zero(); // continuation bytes per lane, at most 4 a checked group
    bool off = false;
    unsigned checked = 0;
    auto skipAscii = [&] {
        for (; i + kGroup <= n; i += kGroup) {
            const std::uint8_t* q = p + i;
            if (mask(or_(or_(load(q), load(q + kBytes)),
                         or_(load(q + 2 * kBytes), load(q + 3 * kBytes)))))
                break;
        }
        ascii = 0;
    };
    if (Full ? Level == 3 && p[i - 3] >= 0xE0 && !isContinuation(p[i - 1])
             : Level >= 2 && endedEarlyBefore(p + i))
        return {i, true, 0};
    if (ascii >= kAsciiStreak) skipAscii();
    while (checked < limit && i + kGroup <= n) {
        const std::uint8_t* q = p + i;
        constexpr bool kLoose = Level == 1 && !Full;
        V bad = zero(), found = zero(), top = zero();
        for (std::size_t k = 0; k < 4; ++k) {
            const std::uint8_t* b = q + k * kBytes;
            const V cur = load(b);
            const V cont = continuations(cur);
            if constexpr (kLoose) bad = or_(bad, andNot(load(b - 1), cont));
            else bad = or_(bad, xor_(reached<Level>(b), cont));
            found = add(found, cont);
            if constexpr (Full) top = maxU(top, cur);
        }
        if constexpr (kLoose) bad = or_(bad, add(bad, bad)); // bit 6 to the sign bit
        if constexpr (Full) {
            // Leads from E0 up (level 1), F0 up (level 2; both in the group and the three
            // bytes before) or F8 up (level 3).
            if constexpr (Level == 3) bad = or_(bad, subSat(top, 0x78));
            else bad = or_(bad, subSat(maxU(top, load(q - 3)), Level == 1 ? 0x60 : 0x70));
        }
        if (mask(bad)) {
            off = true;
            break;
        }
        acc = sub(acc, found);
        i += kGroup;
        ++checked;
        // Without continuation bytes a group holds no sequence that counts (Full runs:
        // nothing but ASCII).
        ascii = mask(Full ? top : found) == 0 ? ascii + 1 : 0;
        if (ascii >= kAsciiStreak) skipAscii();
    }
    conts += sum(acc);
    return {i, off, checked};
}

template <bool Full>
XR_INLINE Groups countGroupsAt(unsigned level, const std::uint8_t* p, std::size_t i,
                               std::size_t n, unsigned limit, unsigned& ascii, std::size_t& conts) {
    if (level == 1) return countGroups<1, Full>(p, i, n, limit, ascii, conts);
    if (level == 2) return countGroups<2, Full>(p, i, n, limit, ascii, conts);
    return countGroups<3, Full>(p, i, n, limit, ascii, conts);
}

// The phase of the pattern that the checked text before p + i (a whole block of it)
// would go on in: its last block keeps the pattern and its last lead is of four bytes
// (so that its sequence reaches exactly `phase` bytes into the group); else 4.
inline unsigned phaseBefore(const std::uint8_t* p, std::size_t i) {
    const std::uint32_t leads = ~mask(continuations(load(p + i - kBytes))) & kAllBits;
    const unsigned phase = leads != 0 ? firstBit(leads) : 4;
    if (phase < 4 && leads == ((0x11111111u << phase) & kAllBits) && p[i - 4 + phase] >= 0xF0)
        return phase;
    return 4;
}

// The groups from p + i on that keep the pattern of the phase: where the first that does
// not starts, with no look at the bytes before each block. Each group holds 3 * kBytes
// continuation bytes.
inline std::size_t fourByteGroups(const std::uint8_t* p, std::size_t i, std::size_t n,
                                  unsigned phase) {
    const V m = load(kFourBytePatterns<kBytes>[phase].mask),
            v = load(kFourBytePatterns<kBytes>[phase].value);
    for (; i + 4 * kBytes <= n; i += 4 * kBytes) {
        const std::uint8_t* q = p + i;
        const V off = or_(or_(xor_(and_(load(q), m), v), xor_(and_(load(q + kBytes), m), v)),
                          or_(xor_(and_(load(q + 2 * kBytes), m), v),
                              xor_(and_(load(q + 3 * kBytes), m), v)));
        if (mask(eq(off, zero())) != kAllBits) break;
    }
    return i;
}

// A counting run: the first block and the blocks around a stop by the full check one at a
// time, the groups between by countGroups, at level 1 while they pass; a group that
// fails is tried at the higher levels, and the level that passes it is kept for the next
// kSticky groups (text of three- or four-byte characters). The byte lanes are summed at
// most every 63 checked groups (252 continuation bytes).
template <class R> Run countRun(const std::uint8_t* p, std::size_t n) {
    constexpr std::size_t kGroup = 4 * kBytes;
    constexpr unsigned kSticky = 63;
    constexpr bool kFull = !R::kEarlyEnds;
    std::size_t conts = 0;
    std::size_t i = 0;
    unsigned level = 1, sticky = 0, singles = 1; // the first block alone, from zeros
    unsigned ascii = 0;
    bool afterPattern = false;
    while (i + kBytes <= n) {
        if (singles == 0 && i + kGroup <= n) {
            if (sticky > 0 && level == 3 && !afterPattern) {
                const unsigned phase = phaseBefore(p, i);
                if (phase < 4) {
                    const std::size_t end = fourByteGroups(p, i, n, phase);
                    conts += (end - i) / kGroup * (3 * kBytes);
                    if (end != i) {
                        // What stopped the pattern is checked by countGroups next.
                        i = end;
                        afterPattern = true;
                        continue;
                    }
                }
            }
            afterPattern = false;
            // At level 3, a few groups at a time between tries of the four-byte pattern.
            const unsigned start = sticky > 0 ? level : 1;
            const unsigned limit = start == 1 ? 63 : start == 2 ? sticky : std::min(sticky, 4u);
            Groups g = countGroupsAt<kFull>(start, p, i, n, limit, ascii, conts);
            if (start > 1) sticky -= g.checked;
            for (unsigned up = start + 1; g.off && up <= 3; ++up) {
                g = countGroupsAt<kFull>(up, p, g.i, n, 1, ascii, conts);
                if (!g.off) level = up, sticky = kSticky;
            }
            i = g.i;
            if (!g.off) continue;
            singles = 4;
        }
        // The full check, like level 3, reads the bytes before as checked from two and
        // three places back; after a group of level 1 they end the run where they break
        // that: the byte before, when it should have been a continuation byte, or (counts
        // by continuation bytes, whose level 1 lets in any early end) the three bytes.
        if (i > 0) {
            if (kFull && p[i - 3] >= 0xE0 && !isContinuation(p[i - 1])) return {i - 1, conts, true};
            if (!kFull && endedEarlyBefore(p + i)) {
                for (std::size_t k = 1; k <= 3; ++k)
                    conts -= isContinuation(p[i - k]);
                return {i - 3, conts, true};
            }
        }
        const V cur = load(p + i);
        const V cont = continuations(cur);
        if (const std::uint32_t bad = mask(blockStops<R>(p, i, cur, cont))) {
            const unsigned at = firstBit(bad);
            conts += static_cast<std::size_t>(std::popcount(mask(cont) & below(at)));
            return {i + at, conts, true};
        }
        // The first block ends where the next one is aligned, so that the groups load
        // whole blocks without crossing cache lines; unless that leaves fewer than three
        // bytes before them.
        const std::size_t over = i == 0 ? reinterpret_cast<std::uintptr_t>(p) % kBytes : 0;
        const std::size_t step = over == 0 || over > kBytes - 3 ? kBytes : kBytes - over;
        conts += static_cast<std::size_t>(std::popcount(mask(cont) & (kAllBits >> (kBytes - step))));
        if (singles > 0) --singles;
        ascii = mask(cur) == 0 ? kAsciiStreak : 0;
        i += step;
    }
    return {i, conts, false};
}

template <class R> Run structureRun(const std::uint8_t* p, std::size_t n) {
    if constexpr (kCountRuns<R>) return countRun<R>(p, n);
    constexpr std::size_t kGroup = 4 * kBytes;
    V acc = zero(); // continuation bytes per lane, summed before a lane can wrap
    std::size_t conts = 0;
    unsigned inAcc = 0;
    std::size_t i = 0;
    while (i + kBytes <= n) {
        // Four blocks at once while none of them ends the run; the first block of a run
        // and the blocks around a stop go one at a time below.
        if (i > 0 && i + kGroup <= n && inAcc < 250) {
            const V v0 = load(p + i), v1 = load(p + i + kBytes), v2 = load(p + i + 2 * kBytes),
                    v3 = load(p + i + 3 * kBytes);
            if (!R::kNul && mask(or_(or_(v0, v1), or_(v2, v3))) == 0 && quietBefore(p, i)) {
                i += kGroup;
                continue;
            }
            const V c0 = continuations(v0), c1 = continuations(v1), c2 = continuations(v2),
                    c3 = continuations(v3);
            const V bad =
                or_(or_(blockStops<R>(p, i, v0, c0), blockStops<R>(p, i + kBytes, v1, c1)),
                    or_(blockStops<R>(p, i + 2 * kBytes, v2, c2),
                        blockStops<R>(p, i + 3 * kBytes, v3, c3)));
            if (!anySet(bad)) {
                acc = sub(sub(acc, c0), add(c1, add(c2, c3)));
                inAcc += 4;
                i += kGroup;
                continue;
            }
        }
        const V cur = load(p + i);
        const V cont = continuations(cur);
        if (const std::uint32_t bad = mask(blockStops<R>(p, i, cur, cont))) {
            const unsigned at = firstBit(bad);
            conts += sum(acc) + static_cast<std::size_t>(std::popcount(mask(cont) & below(at)));
            return {i + at, conts, true};
        }
        acc = sub(acc, cont);
        if (++inAcc >= 250) conts += sum(acc), acc = zero(), inAcc = 0;
        i += kBytes;
    }
    return {i, conts + sum(acc), false};
}

// ASCII of a in pairs of blocks from a + i, where no sequence reaches in from before,
// while b holds the same letters in either case; where the first pair that does not
// starts. The first byte that differs in case, if none did before, goes to firstDiff.
inline std::size_t foldAsciiPairs(const std::uint8_t* a, const std::uint8_t* b, std::size_t i,
                                  std::size_t n, std::size_t& firstDiff) {
    for (; i + 2 * kBytes <= n; i += 2 * kBytes) {
        const V x0 = load(a + i), x1 = load(a + i + kBytes);
        const V y0 = load(b + i), y1 = load(b + i + kBytes);
        if (mask(or_(x0, x1))) break;
        if (anySet(or_(xor_(foldAscii(x0), foldAscii(y0)), xor_(foldAscii(x1), foldAscii(y1)))))
            break;
        if (firstDiff == SIZE_MAX) {
            const std::uint64_t differ = (~mask(eq(x0, y0)) & kAllBits) |
                                         std::uint64_t{~mask(eq(x1, y1)) & kAllBits} << kBytes;
            if (differ) firstDiff = i + static_cast<std::size_t>(std::countr_zero(differ));
        }
    }
    return i;
}

FoldRun foldRun(const std::uint8_t* a, const std::uint8_t* b, std::size_t n) {
    std::size_t firstDiff = SIZE_MAX;
    std::size_t i = 0;
    bool quiet = true; // no sequence reaches into the block at i from before
    for (; i + kBytes <= n; i += kBytes) {
        if (quiet) {
            i = foldAsciiPairs(a, b, i, n, firstDiff);
            if (i + kBytes > n) break;
        }
        const V x = load(a + i), y = load(b + i);
        const std::uint32_t differ = ~mask(eq(x, y)) & kAllBits;
        // ASCII with no sequence reaching in from before has nothing to check but the letters.
        const bool ascii = mask(x) == 0 && quietBefore(a, i);
        quiet = ascii;
        if (differ == 0 && ascii) continue;
        std::uint32_t stop = ~mask(eq(foldAscii(x), foldAscii(y))) & kAllBits;
        if (!ascii) stop |= mask(blockStops<Stops<0xF8>>(a, i, x, continuations(x)));
        const std::uint32_t caseOnly = differ & (stop ? below(firstBit(stop)) : ~0u);
        if (firstDiff == SIZE_MAX && caseOnly) firstDiff = i + firstBit(caseOnly);
        if (stop) return {i + firstBit(stop), firstDiff, true};
    }
    return {i, firstDiff, false};
}

inline V skipped(Skip kind, V v) {
    switch (kind) {
    case Skip::Spaces:
        return eq(v, splat(0x20));
    case Skip::WhiteSpace: {
        const V t = sub(v, splat(0x09)); // 09..0D become 0..4
        return or_(eq(v, splat(0x20)), eq(minU(t, splat(4)), t));
    }
    default:
        return continuations(v);
    }
}

std::size_t dropTrailing(Skip kind, const std::uint8_t* p, std::size_t n) {
    for (; n >= kBytes; n -= kBytes) {
        if (const std::uint32_t keep = ~mask(skipped(kind, load(p + n - kBytes))) & kAllBits)
            return n - kBytes + 32 - static_cast<std::size_t>(std::countl_zero(keep));
    }
    while (n > 0 && isSkipped(kind, p[n - 1]))
        --n;
    return n;
}

// Four blocks a branch while they match, then the block that differs.
std::size_t firstDifference(const std::uint8_t* a, const std::uint8_t* b, std::size_t n) {
    std::size_t i = 0;
    for (; i + 4 * kBytes <= n; i += 4 * kBytes) {
        const V d = or_(
            or_(xor_(load(a + i), load(b + i)), xor_(load(a + i + kBytes), load(b + i + kBytes))),
            or_(xor_(load(a + i + 2 * kBytes), load(b + i + 2 * kBytes)),
                xor_(load(a + i + 3 * kBytes), load(b + i + 3 * kBytes))));
        if (mask(eq(d, zero())) != kAllBits) break;
    }
    for (; i + kBytes <= n; i += kBytes)
        if (const std::uint32_t differ = ~mask(eq(load(a + i), load(b + i))) & kAllBits)
            return i + firstBit(differ);
    while (i < n && a[i] == b[i])
        ++i;
    return i;
}
