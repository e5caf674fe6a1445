// Byte and XRChar primitives. Byte twins work on unsigned bytes so that comparisons see
// 0x80..0xFF above 0x7F; the XRChar twins share the same templates.
#include <bit>
#include <cstring>
#include <type_traits>

#include "internal/memkernels.h"
#include "xr/xrhost.h"
#include "xr/xrmem.h"

namespace {

using xr::mem::Want;
using Byte = std::uint8_t;

constexpr XRMemSize kMemNotFound = ~XRMemSize{0};

const Byte* bytes(const void* p) {
    return static_cast<const Byte*>(p);
}
Byte* bytes(void* p) {
    return static_cast<Byte*>(p);
}

template <class T> std::size_t strLen(const T* s) {
    if (!s) return 0;
    if constexpr (sizeof(T) == 1) {
        return std::strlen(reinterpret_cast<const char*>(s));
    } else {
        std::size_t n = 0;
        while (s[n] != 0)
            ++n;
        return n;
    }
}

template <class T> void strCpy(const T* src, T* dst) {
    if (!dst) return;
    if (!src) {
        dst[0] = 0;
        return;
    }
    std::memcpy(dst, src, (strLen(src) + 1) * sizeof(T));
}

// Adds delta to every byte in [lo, hi]; the rest, NULs included, stays.
void shiftRange(int8_t* p, XRMemSize len, Byte lo, Byte hi, int delta) {
    for (XRMemSize i = 0; i < len; ++i) {
        auto b = static_cast<Byte>(p[i]);
        if (b >= lo && b <= hi) p[i] = static_cast<int8_t>(b + delta);
    }
}

// Units of a signed XRStrSize length; lengths below 1 are empty.
std::size_t units(XRStrSize len) {
    return len > 0 ? static_cast<std::size_t>(len) : 0;
}

template <Want W, class T> bool scanFinds(const T* p, std::size_t n, T ch, std::size_t& at) {
    at = xr::mem::scan<W>(p, n, ch);
    return at < n;
}

template <class T> XRBoolean allEqual(T c, const T* p, std::size_t n) {
    std::size_t at;
    return scanFinds<Want::Differ>(p, n, c, at) ? XR_FALSE : XR_TRUE;
}

template <Want W> XRMemSize byteIndex(const void* src, XRMemSize len, int8_t ch) {
    std::size_t at;
    if (!src || !scanFinds<W>(bytes(src), len, static_cast<Byte>(ch), at)) return kMemNotFound;
    return at;
}

bool overlaps(const Byte* a, const Byte* b, XRMemSize len) {
    return len > 0 && a < b + len && b < a + len;
}

// Exactly what a byte-by-byte copy from index 0 upwards leaves, for any placement.
void forwardCopy(const Byte* src, Byte* dst, XRMemSize len) {
    if (!overlaps(src, dst, len)) {
        std::memcpy(dst, src, len);
        return;
    }
    if (dst <= src) {
        std::memmove(dst, src, len);
        return;
    }
    for (XRMemSize i = 0; i < len; ++i)
        dst[i] = src[i];
}

// Destination starts inside the source: d = dst - src, o = len - d (the overlap).
void copyIntoSelf(Byte* src, XRMemSize len, XRMemSize d) {
    Byte* dst = src + d;
    const XRMemSize o = len - d;
    if (d >= o) {
        std::memcpy(dst + d, dst, o);
    } else {
        std::memcpy(dst + o, src + o, d);
        // Source bytes o-1 down to d, each to the same index of dst: a descending copy.
        std::memmove(dst + d, src + d, o - d);
    }
    std::memcpy(dst, src, d);
}

bool isMissing(double v) {
    constexpr std::uint64_t kExpAllOnes = 0xFFE0000000000000u; // after dropping the sign
    return (std::bit_cast<std::uint64_t>(v) << 1) > kExpAllOnes;
}

} // namespace

extern "C" {

XRMemPtr xrmemcpy(XRMemPtr dst, XRConstMemPtr src, XRMemSize len) {
    return std::memcpy(dst, src, len);
}

XRMemPtr xrmemmove(XRMemPtr dst, XRConstMemPtr src, XRMemSize len) {
    return std::memmove(dst, src, len);
}

XRMemPtr xrmemset(XRMemPtr dst, uint8_t ch, XRMemSize len) {
    return std::memset(dst, ch, len);
}

int32_t xrmemcmp(XRConstMemPtr s1, XRConstMemPtr s2, XRMemSize len) {
    return std::memcmp(s1, s2, len);
}

void* xrmemchr(XRConstMemPtr src, uint8_t ch, XRMemSize len) {
    XRMemSize at = skMemScan(src, len, static_cast<int8_t>(ch));
    return at == kMemNotFound ? nullptr : const_cast<Byte*>(bytes(src) + at);
}

XRStatus skUnsup(void) {
    return XRStatusUnsupported;
}

XRMemSize skStrLen(const char* s) {
    return strLen(s);
}
XRStrSize skStrTLen(const XRChar* s) {
    return static_cast<XRStrSize>(strLen(s));
}
void skStrCpy(const int8_t* src, int8_t* dst) {
    strCpy(src, dst);
}
void skStrTCpy(const XRChar* src, XRChar* dst) {
    strCpy(src, dst);
}

void skStrUp(int8_t* src, XRMemSize len) {
    shiftRange(src, len, 'a', 'z', -0x20);
}
void skStrLow(int8_t* src, XRMemSize len) {
    shiftRange(src, len, 'A', 'Z', 0x20);
}

XRBoolean skMemNot(int8_t c, const void* buff, XRMemSize len) {
    return allEqual(static_cast<Byte>(c), bytes(buff), len);
}

XRBoolean skMemTNot(XRChar c, const XRChar* buff, XRStrSize len) {
    return allEqual(c, buff, units(len));
}

void skMemSet(void* buff, int32_t c, XRMemSize len) {
    std::memset(buff, static_cast<Byte>(c), len);
}

void skMemTSet(XRChar* buff, XRChar c, XRStrSize len) {
    for (std::size_t i = 0, n = units(len); i < n; ++i)
        buff[i] = c;
}

int32_t skMemCmp(const void* src, const void* dst, XRMemSize len) {
    int r = std::memcmp(src, dst, len);
    return (r > 0) - (r < 0);
}

int32_t skWMemCmp(const XRChar* src, const XRChar* dst, XRMemSize len) {
    std::size_t i = xr::mem::mismatch(src, dst, len);
    if (i == len) return 0;
    auto diff = static_cast<std::int32_t>(static_cast<std::uint32_t>(src[i]) -
                                          static_cast<std::uint32_t>(dst[i]));
    return diff < 0 ? -1 : 1;
}

void skMemCpy(const void* src, void* dst, XRMemSize len) {
    forwardCopy(bytes(src), bytes(dst), len);
}

void skMemSCpy(const void* src, void* dst, XRMemSize len) {
    const Byte* s = bytes(src);
    Byte* d = bytes(dst);
    if (d <= s || d >= s + len)
        forwardCopy(s, d, len);
    else
        copyIntoSelf(const_cast<Byte*>(s), len, static_cast<XRMemSize>(d - s));
}

XRMemPtr skMemDup(XRConstMemPtr src, XRMemSize len, XRPoolh pool) {
    if (!pool || !src) return nullptr;
    XRMemPtr block = pool->memAlloc(pool, len, 0);
    if (block) std::memcpy(block, src, len);
    return block;
}

XRMemSize skMemScan(const void* src, XRMemSize len, int8_t ch) {
    return byteIndex<Want::Equal>(src, len, ch);
}

XRMemSize skMemNScan(const void* src, XRMemSize len, int8_t ch) {
    return byteIndex<Want::Differ>(src, len, ch);
}

XRStrSize skMemTNScan(const XRChar* src, XRStrSize len, XRChar ch) {
    std::size_t at;
    if (!src || !scanFinds<Want::Differ>(src, units(len), ch, at)) return -1;
    return static_cast<XRStrSize>(at);
}

XRBoolean skMissArray(double* dp, XRMemSize len) {
    for (XRMemSize i = 0; i < len; ++i)
        if (isMissing(dp[i])) return XR_TRUE;
    return XR_FALSE;
}

} // extern "C"
