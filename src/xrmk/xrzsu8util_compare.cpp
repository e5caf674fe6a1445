// UTF-8 comparison, case-blind order and equality, copying into a blank-filled field
// and trailing-blank stripping. Equal bytes are passed over without decoding; only
// characters whose bytes differ are decoded and folded.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "internal/utf8_fast.h"
#include "internal/utf8_kit.h"
#include "xr/xrcase.h"
#include "xr/xrentry.h"
#include "xr/xrhost.h"
#include "xr/xrmem.h"
#include "xr/xrutf8.h"

namespace {

using namespace xr::utf8;

constexpr std::array<std::uint8_t, 256> kAsciiLower = [] {
    std::array<std::uint8_t, 256> t{};
    for (unsigned b = 0; b < 256; ++b)
        t[b] = static_cast<std::uint8_t>(b >= 'A' && b <= 'Z' ? b + 0x20 : b);
    return t;
}();

// Two operands, each a position and the bytes remaining.
struct Cursor {
    const std::uint8_t* p;
    std::size_t left;
    void advance(std::size_t n) { p += n, left -= n; }
};

// The whole sequence that *a.p announces, identical in both operands.
bool sameSequence(const Cursor& a, const Cursor& b) {
    const std::size_t n = announced(*a.p);
    return a.left >= n && b.left >= n && std::memcmp(a.p, b.p, n) == 0;
}

XRNLS_EXT_S* nls() {
    return reinterpret_cast<XRNLS_EXT_S*>(Exported_XRHandle->xrnls);
}

XRChar downcaseByHost(std::uint32_t cp) {
    XRNLS_EXT_S* ext = nls();
    return ext->charDowncase(&ext->ext, static_cast<XRChar>(cp), 1);
}

// Equality folding: the case tables (or the host, as xrzstlo decides) below U+10000.
std::uint32_t foldForEquality(std::uint32_t cp) {
    if (cp >= 0x10000) return static_cast<std::uint32_t>(downcaseByHost(cp));
    XRChar c = static_cast<XRChar>(cp);
    xrzstlo(&c, 1);
    return static_cast<std::uint32_t>(c);
}

constexpr int sign(bool negative) {
    return negative ? -1 : 1;
}

constexpr int32_t kGoOn = 0x7FFFFFFF;

// One step of the case-blind order: the result when it is decided, else kGoOn.
int32_t compareStep(Cursor& a, Cursor& b, int32_t& tie) {
    const std::uint8_t b1 = *a.p, b2 = *b.p;
    if (b1 == b2 && b1 < 0x80) {
        a.advance(1), b.advance(1);
        return kGoOn;
    }
    if (b1 == b2 && sameSequence(a, b)) {
        const std::size_t n = announced(b1);
        a.advance(n), b.advance(n);
        return kGoOn;
    }
    if (b1 < 0x80 && b2 < 0x80) {
        const std::uint8_t f1 = kAsciiLower[b1], f2 = kAsciiLower[b2];
        if (f1 != f2) return 2 * sign(f1 < f2);
        if (tie == 0) tie = sign(b1 < b2);
        a.advance(1), b.advance(1);
        return kGoOn;
    }
    const Decoded c1 = decodeOne(a.p, a.left), c2 = decodeOne(b.p, b.left);
    if (tie == 0) tie = sign(c1.cp < c2.cp);
    const XRChar f1 = downcaseByHost(c1.cp), f2 = downcaseByHost(c2.cp);
    if (f1 != f2) return 2 * sign(f1 < f2);
    a.advance(c1.used), b.advance(c2.used);
    return kGoOn;
}

// Once an operand is exhausted, only blanks may follow in the other.
int32_t compareEnd(const Cursor& a, const Cursor& b, int32_t tie) {
    if (a.left == b.left) return tie;
    const Cursor& longer = a.left ? a : b;
    if (skMemNot(' ', longer.p, longer.left)) return tie;
    return a.left ? 2 : -2;
}

// One step of case-blind equality: false when the characters differ.
bool equalStep(Cursor& a, Cursor& b) {
    const std::uint8_t b1 = *a.p, b2 = *b.p;
    if (b1 == b2 && sameSequence(a, b)) {
        const std::size_t n = announced(b1);
        a.advance(n), b.advance(n);
        return true;
    }
    // ASCII folds by table here exactly as xrzstlo folds it, without the call.
    if (b1 < 0x80 && b2 < 0x80) {
        if (kAsciiLower[b1] != kAsciiLower[b2]) return false;
        a.advance(1), b.advance(1);
        return true;
    }
    const Decoded c1 = decodeOne(a.p, a.left), c2 = decodeOne(b.p, b.left);
    if (foldForEquality(c1.cp) != foldForEquality(c2.cp)) return false;
    a.advance(c1.used), b.advance(c2.used);
    return true;
}

// A blank of the option set that is exactly the n bytes at p.
bool isBlank(const std::uint8_t* p, std::size_t n, bool whiteSpace) {
    switch (n) {
    case 1:
        return p[0] == 0x20 || (whiteSpace && p[0] >= 0x09 && p[0] <= 0x0D);
    case 2:
        return p[0] == 0xC2 && (p[1] == 0xA0 || (whiteSpace && p[1] == 0x85));
    case 3:
        break;
    default:
        return false;
    }
    const std::uint32_t v = std::uint32_t{p[0]} << 16 | std::uint32_t{p[1]} << 8 | p[2];
    return v == 0xE19A80 || (v >= 0xE28080 && v <= 0xE2808A) || v == 0xE280A8 || v == 0xE280A9 ||
           v == 0xE280AF || v == 0xE2819F || v == 0xE38080;
}

// The length without the last character when that is exactly one blank, else len.
std::size_t withoutLastBlank(const std::uint8_t* s, std::size_t len, bool whiteSpace) {
    std::size_t lead = len - 1;
    while (lead > 0 && isContinuation(s[lead]))
        --lead;
    if (isContinuation(s[lead]) || !isBlank(s + lead, len - lead, whiteSpace)) return len;
    return lead;
}

template <class Trim>
std::uint64_t copyField(const std::uint8_t* from, std::uint64_t flen, std::uint8_t* to,
                        std::uint64_t tlen, Trim trim) {
    std::uint64_t n = 0;
    if (from) {
        n = trim(from, std::min(flen, tlen));
        if (n > 0) std::memmove(to, from, n);
    }
    if (tlen > n) std::memset(to + n, ' ', tlen - n);
    return n;
}

} // namespace

namespace xr::utf8 {

namespace reference {

std::int32_t compare(Bytes a, std::uint64_t al, Bytes b, std::uint64_t bl) {
    const std::uint64_t n = std::min(al, bl);
    for (std::uint64_t i = 0; i < n; ++i)
        if (a[i] != b[i]) return a[i] < b[i] ? -1 : 1;
    return al < bl ? -1 : al > bl ? 1 : 0;
}

std::int32_t normCompare(Bytes a, std::uint64_t al, Bytes b, std::uint64_t bl) {
    Cursor x{a, al}, y{b, bl};
    int32_t tie = 0;
    while (x.left > 0 && y.left > 0)
        if (const int32_t r = compareStep(x, y, tie); r != kGoOn) return r;
    return compareEnd(x, y, tie);
}

bool normEqual(Bytes a, std::uint64_t al, Bytes b, std::uint64_t bl) {
    if (al == 0 || bl == 0) return al == bl;
    Cursor x{a, al}, y{b, bl};
    while (x.left > 0 && y.left > 0)
        if (!equalStep(x, y)) return false;
    return x.left == 0 && y.left == 0;
}

std::uint64_t copy(Bytes from, std::uint64_t flen, std::uint8_t* to, std::uint64_t tlen) {
    return copyField(from, flen, to, tlen, trimToBoundary);
}

std::uint64_t stripBlanks(Bytes s, std::uint64_t len, XRFlags options) {
    if (options == 0) {
        while (len > 0 && s[len - 1] == 0x20)
            --len;
        return len;
    }
    while (len > 0) {
        const std::size_t shorter = withoutLastBlank(s, len, options != 2);
        if (shorter == len) break;
        len = shorter;
    }
    return len;
}

} // namespace reference

template <Isa I> std::int32_t compare(Bytes a, std::uint64_t al, Bytes b, std::uint64_t bl) {
    const std::size_t n = std::min(al, bl);
    if (n > 0) {
        if (const int d = std::memcmp(a, b, n)) return d < 0 ? -1 : 1;
    }
    return al < bl ? -1 : al > bl ? 1 : 0;
}

// The reference passes identical bytes sequence by sequence, each at the length its first
// byte announces, without a look at case; its walk must land on an offset that no lead
// among the five bytes before it reaches past. The bytes up to the last such offset at
// or before the first difference pass at memcmp speed. `identical` remembers how far the
// last search found the operands equal, so no byte is searched twice; the look back is
// short, so malformed stretches cost no rescans.
template <Isa I>
std::size_t identicalRun(const Cursor& x, const Cursor& y, const std::uint8_t*& identical) {
    if (x.p >= identical) identical = x.p + firstDifference<I>(x.p, y.p, std::min(x.left, y.left));
    const std::size_t d = static_cast<std::size_t>(identical - x.p);
    for (std::size_t j = d; j + 16 > d && j > 0; --j) {
        bool reached = false;
        for (std::size_t k = 1; k <= 5 && k <= j && !reached; ++k)
            reached = announced(x.p[j - k]) > k;
        if (!reached) return j;
    }
    return 0;
}

// Runs of equal or case-different ASCII bytes and equal whole characters pass in bulk,
// with the first case difference setting the tie-break; each run is followed by steps
// of the reference until the byte that ended it is passed.
template <Isa I> std::int32_t normCompare(Bytes a, std::uint64_t al, Bytes b, std::uint64_t bl) {
    Cursor x{a, al}, y{b, bl};
    int32_t tie = 0;
    const std::uint8_t* identical = a;
    while (x.left > 0 && y.left > 0) {
        const std::size_t same = identicalRun<I>(x, y, identical);
        x.advance(same), y.advance(same);
        if (x.left == 0 || y.left == 0) break;
        const FoldRun r = foldRun<I>(x.p, y.p, std::min(x.left, y.left));
        const std::size_t c = boundaryBefore(x.p, r.end);
        if (tie == 0 && r.firstDiff < c) tie = sign(x.p[r.firstDiff] < y.p[r.firstDiff]);
        const std::uint8_t* stop = r.bad ? x.p + r.end + 1 : nullptr;
        x.advance(c), y.advance(c);
        while (x.left > 0 && y.left > 0 && (!stop || x.p < stop))
            if (const int32_t d = compareStep(x, y, tie); d != kGoOn) return d;
    }
    return compareEnd(x, y, tie);
}

template <Isa I> bool normEqual(Bytes a, std::uint64_t al, Bytes b, std::uint64_t bl) {
    if (al == 0 || bl == 0) return al == bl;
    Cursor x{a, al}, y{b, bl};
    const std::uint8_t* identical = a;
    while (x.left > 0 && y.left > 0) {
        const std::size_t same = identicalRun<I>(x, y, identical);
        x.advance(same), y.advance(same);
        if (x.left == 0 || y.left == 0) break;
        const FoldRun r = foldRun<I>(x.p, y.p, std::min(x.left, y.left));
        const std::size_t c = boundaryBefore(x.p, r.end);
        const std::uint8_t* stop = r.bad ? x.p + r.end + 1 : nullptr;
        x.advance(c), y.advance(c);
        while (x.left > 0 && y.left > 0 && (!stop || x.p < stop))
            if (!equalStep(x, y)) return false;
    }
    return x.left == 0 && y.left == 0;
}

template <Isa I>
std::uint64_t copy(Bytes from, std::uint64_t flen, std::uint8_t* to, std::uint64_t tlen) {
    return copyField(from, flen, to, tlen, trimToBoundary<I>);
}

// Trailing ASCII blanks go in bulk; a multi-byte blank goes one reference step at a time.
template <Isa I> std::uint64_t stripBlanks(Bytes s, std::uint64_t len, XRFlags options) {
    if (options == 0) return dropTrailing<I>(Skip::Spaces, s, len);
    const bool whiteSpace = options != 2;
    for (;;) {
        len = dropTrailing<I>(whiteSpace ? Skip::WhiteSpace : Skip::Spaces, s, len);
        if (len == 0 || s[len - 1] < 0x80) return len;
        const std::size_t shorter = withoutLastBlank(s, len, whiteSpace);
        if (shorter == len) return len;
        len = shorter;
    }
}

#define XR_UTF8_INSTANTIATE(isa)                                                                   \
    template std::int32_t compare<isa>(Bytes, std::uint64_t, Bytes, std::uint64_t);                \
    template std::int32_t normCompare<isa>(Bytes, std::uint64_t, Bytes, std::uint64_t);            \
    template bool normEqual<isa>(Bytes, std::uint64_t, Bytes, std::uint64_t);                      \
    template std::uint64_t copy<isa>(Bytes, std::uint64_t, std::uint8_t*, std::uint64_t);          \
    template std::uint64_t stripBlanks<isa>(Bytes, std::uint64_t, XRFlags);
XR_UTF8_INSTANTIATE(Isa::Sse2)
XR_UTF8_INSTANTIATE(Isa::Avx2)
XR_UTF8_INSTANTIATE(Isa::Avx512)
#undef XR_UTF8_INSTANTIATE

} // namespace xr::utf8

extern "C" {

int32_t xrzsu8Compare(UTF8ConstStr s1, UTF8ByteLength s1L, UTF8ConstStr s2, UTF8ByteLength s2L) {
    return XR_UTF8_DISPATCH(xr::utf8::compare, s1, s1L, s2, s2L);
}

int32_t xrzsu8CompareText(UTF8ConstStr s1, UTF8ByteLength s1L, XRConstMemPtr s2, XRMemSize s2L,
                          NLScei) {
    return xrzsu8Compare(s1, s1L, static_cast<UTF8ConstStr>(s2), s2L);
}

int32_t xrzsu8NormCompare(UTF8ConstStr s1, UTF8ByteLength len1, UTF8ConstStr s2,
                          UTF8ByteLength len2) {
    return xrzsu8NormCompareText(s1, len1, s2, len2, U_UTF8_CE);
}

int32_t xrzsu8NormCompareText(UTF8ConstStr s1, UTF8ByteLength len1, XRConstMemPtr s2,
                              XRMemSize len2, NLScei) {
    return XR_UTF8_DISPATCH(xr::utf8::normCompare, s1, len1, static_cast<UTF8ConstStr>(s2), len2);
}

XRBoolean xrzsu8NormEqual(UTF8ConstStr s1, UTF8ByteLength s1L, UTF8ConstStr s2,
                          UTF8ByteLength s2L) {
    return XR_UTF8_DISPATCH(xr::utf8::normEqual, s1, s1L, s2, s2L) ? XR_TRUE : XR_FALSE;
}

XRBoolean xrzsu8NormEqualText(UTF8ConstStr s1, UTF8ByteLength s1L, XRConstMemPtr s2, XRMemSize s2L,
                              NLScei) {
    return xrzsu8NormEqual(s1, s1L, static_cast<UTF8ConstStr>(s2), s2L);
}

UTF8ByteLength xrzsu8Copy(UTF8ConstStr from, UTF8ByteLength flen, UTF8Str to, UTF8ByteLength tlen) {
    return XR_UTF8_DISPATCH(xr::utf8::copy, from, flen, to, tlen);
}

UTF8ByteLength xrzsu8CopyText(XRConstMemPtr from, XRMemSize flen, NLScei, UTF8Str to,
                              UTF8ByteLength tlen) {
    return xrzsu8Copy(static_cast<UTF8ConstStr>(from), flen, to, tlen);
}

UTF8ByteLength xrzsu8StripBlanks(UTF8ConstStr string, UTF8ByteLength stringL, XRFlags options) {
    return XR_UTF8_DISPATCH(xr::utf8::stripBlanks, string, stringL, options);
}

} // extern "C"
