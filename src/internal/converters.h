// The one-character converters as inline templates over the byte order: the exported
// converters wrap them, and the bulk drivers run them inline around their vector kernels,
// so both decide every character by the same code.
#pragma once

#include "internal/utf8_tables.h"
#include "internal/utf_units.h"
#include "xr/xrconv.h"

namespace xr::cvt {

using namespace ::xr::utf8;
using ::xr::units::load16;
using ::xr::units::load32;
using ::xr::units::Order;
using ::xr::units::store16;
using ::xr::units::store32;

constexpr XRUtf32 kReplacement = 0xFFFD;

inline XRStatus deliver(XRUtf32* u32, XRMemSize* usedL, XRUtf32 cp, XRMemSize used, XRStatus rc) {
    *u32 = cp;
    *usedL = used;
    return rc;
}

// A bad lead byte swallows the continuation bytes right after it, up to the length it
// announces and never past the input.
inline XRMemSize illegalLeadSpan(const XRUtf8* src, XRMemSize srcL, unsigned n) {
    XRMemSize used = 1;
    while (used < n && used < srcL && isContinuation(src[used]))
        ++used;
    return used;
}

// The decoding both UTF-8 readers share: the status, the step, and the value (valid
// only on success). Continuation bytes contribute their low 6 bits unchecked.
struct Utf8Decoded {
    XRStatus rc;
    XRMemSize used;
    XRUtf32 cp;
};

inline Utf8Decoded decodeUtf8(const XRUtf8* src, XRMemSize srcL) {
    if (srcL == 0) return {XRStatusTruncatedSequence, 0, kReplacement};
    const XRUtf8 b = src[0];
    if (b < 0x80) return {0, 1, b};
    const unsigned n = bytesFromUTF8[b];
    if (!valid_1st_utf8[b]) return {XRStatusIllegalSequence, illegalLeadSpan(src, srcL, n), 0};
    if (srcL < n) return {XRStatusTruncatedSequence, srcL, kReplacement};
    XRUtf32 cp = b & utf8_mask[n];
    for (unsigned i = 1; i < n; ++i)
        cp = cp << 6 | (src[i] & 0x3Fu);
    return {0, n, cp};
}

inline XRStatus utf8Read(const XRUtf8* src, XRMemSize srcL, XRUtf32* u32, XRMemSize* usedL) {
    const Utf8Decoded d = decodeUtf8(src, srcL);
    return deliver(u32, usedL, d.rc ? kReplacement : d.cp, d.used, d.rc);
}

template <Order O>
XRStatus utf16Read(const XRUtf8* src, XRMemSize srcL, XRUtf32* u32, XRMemSize* usedL) {
    if (srcL < 2) return deliver(u32, usedL, kReplacement, srcL, XRStatusTruncatedSequence);
    const XRUtf32 hi = load16<O>(src);
    if (hi >= 0xD800 && hi <= 0xDBFF) {
        if (srcL < 4) return deliver(u32, usedL, kReplacement, 1, XRStatusTruncatedSequence);
        const XRUtf32 lo = load16<O>(src + 2);
        if (lo < 0xDC00 || lo > 0xDFFF)
            return deliver(u32, usedL, kReplacement, 4, XRStatusIllegalSequence);
        return deliver(u32, usedL, 0x10000 + ((hi & 0x3FF) << 10 | (lo & 0x3FF)), 4, 0);
    }
    if (hi >= 0xDC00 && hi <= 0xDFFF)
        return deliver(u32, usedL, kReplacement, 2, XRStatusIllegalSequence);
    return deliver(u32, usedL, hi, 2, 0);
}

template <Order O>
XRStatus utf32Read(const XRUtf8* src, XRMemSize srcL, XRUtf32* u32, XRMemSize* usedL) {
    if (srcL < 4) return deliver(u32, usedL, kReplacement, srcL, XRStatusTruncatedSequence);
    return deliver(u32, usedL, load32<O>(src), 4, 0);
}

template <Order O>
XRStatus utf32Write(XRUtf32 cp, XRUtf8* dest, XRMemSize destL, XRMemSize* usedL) {
    if (destL < 4) {
        *usedL = 0;
        return XRStatusBufferTooSmall;
    }
    store32<O>(dest, cp);
    *usedL = 4;
    return 0;
}

// UCS-2: the low 16 bits, whatever the code point.
template <Order O> XRStatus ucs2Write(XRUtf32 cp, XRUtf8* dest, XRMemSize destL, XRMemSize* usedL) {
    if (destL < 2) return XRStatusBufferTooSmall;
    store16<O>(dest, static_cast<XRUtf16>(cp));
    *usedL = 2;
    return 0;
}

template <Order O>
XRStatus utf16Write(XRUtf32 cp, XRUtf8* dest, XRMemSize destL, XRMemSize* usedL) {
    if (cp <= 0xFFFF) return ucs2Write<O>(cp, dest, destL, usedL);
    if (destL < 4) return XRStatusBufferTooSmall;
    const XRUtf32 v = cp - 0x10000;
    store16<O>(dest, static_cast<XRUtf16>(0xD800 + (v >> 10)));
    store16<O>(dest + 2, static_cast<XRUtf16>(0xDC00 + (v & 0x3FF)));
    *usedL = 4;
    return 0;
}

// Shortest-form bit layout for any value below 0x200000; lead C0/E0/F0 by length.
inline XRStatus utf8Write(XRUtf32 cp, XRUtf8* dest, XRMemSize destL, XRMemSize* usedL) {
    const unsigned n = cp < 0x80 ? 1 : cp < 0x800 ? 2 : cp < 0x10000 ? 3 : 4;
    if (destL < n) {
        *usedL = 0;
        return XRStatusBufferTooSmall;
    }
    if (n == 1) {
        dest[0] = static_cast<XRUtf8>(cp);
    } else {
        static constexpr XRUtf8 kLead[5] = {0, 0, 0xC0, 0xE0, 0xF0};
        for (unsigned i = n - 1; i > 0; --i, cp >>= 6)
            dest[i] = static_cast<XRUtf8>(0x80 | (cp & 0x3F));
        dest[0] = static_cast<XRUtf8>(kLead[n] | cp);
    }
    *usedL = n;
    return 0;
}

} // namespace xr::cvt
