// One-character converters between UTF-8, UTF-16 and UTF-32. Each byte order is a
// template argument, so a converter and its _SWAP twin are one body.
#include "xr/xrconv.h"

#include "internal/utf8_tables.h"
#include "internal/utf_units.h"

namespace {

using namespace xr::utf8;
using xr::units::load16;
using xr::units::load32;
using xr::units::Order;
using xr::units::store16;
using xr::units::store32;

constexpr XRUtf32 kReplacement = 0xFFFD;

XRStatus deliver(XRUtf32* u32, XRMemSize* usedL, XRUtf32 cp, XRMemSize used, XRStatus rc) {
    *u32 = cp;
    *usedL = used;
    return rc;
}

// A bad lead byte swallows the continuation bytes right after it, up to the length it
// announces and never past the input.
XRMemSize illegalLeadSpan(const XRUtf8* src, XRMemSize srcL, unsigned n) {
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

Utf8Decoded decodeUtf8(const XRUtf8* src, XRMemSize srcL) {
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
XRStatus utf8Write(XRUtf32 cp, XRUtf8* dest, XRMemSize destL, XRMemSize* usedL) {
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

} // namespace

extern "C" {

XRStatus UTF8_UTF32(XRUtf8* src, XRMemSize srcL, XRUtf32* u32, XRMemSize* usedL) {
    const Utf8Decoded d = decodeUtf8(src, srcL);
    return deliver(u32, usedL, d.rc ? kReplacement : d.cp, d.used, d.rc);
}

XRStatus UTF8_UTF16(XRUtf8* src, XRMemSize srcL, XRUtf16* u16, XRMemSize* usedL) {
    const Utf8Decoded d = decodeUtf8(src, srcL);
    *usedL = d.used;
    if (d.rc) {
        u16[0] = static_cast<XRUtf16>(kReplacement);
        return XRStatusIllegalSequence;
    }
    if (d.cp > 0xFFFF) {
        u16[0] = static_cast<XRUtf16>(0xD800 + ((d.cp - 0x10000) >> 10));
        u16[1] = static_cast<XRUtf16>(0xDC00 + (d.cp & 0x3FF));
    } else {
        u16[0] = static_cast<XRUtf16>(d.cp);
    }
    return 0;
}

XRStatus UTF16_UTF32(XRUtf8* src, XRMemSize srcL, XRUtf32* u32, XRMemSize* usedL) {
    return utf16Read<Order::Big>(src, srcL, u32, usedL);
}
XRStatus UTF16_UTF32_SWAP(XRUtf8* src, XRMemSize srcL, XRUtf32* u32, XRMemSize* usedL) {
    return utf16Read<Order::Little>(src, srcL, u32, usedL);
}
XRStatus COPY_UTF32b(XRUtf8* src, XRMemSize srcL, XRUtf32* u32, XRMemSize* usedL) {
    return utf32Read<Order::Big>(src, srcL, u32, usedL);
}
XRStatus COPY_UTF32b_SWAP(XRUtf8* src, XRMemSize srcL, XRUtf32* u32, XRMemSize* usedL) {
    return utf32Read<Order::Little>(src, srcL, u32, usedL);
}

XRStatus COPY_UTF32(XRUtf32 u32, XRUtf8* dest, XRMemSize destL, XRMemSize* usedL) {
    return utf32Write<Order::Big>(u32, dest, destL, usedL);
}
XRStatus COPY_UTF32_SWAP(XRUtf32 u32, XRUtf8* dest, XRMemSize destL, XRMemSize* usedL) {
    return utf32Write<Order::Little>(u32, dest, destL, usedL);
}
XRStatus UTF32_UTF16(XRUtf32 u32, XRUtf8* dest, XRMemSize destL, XRMemSize* usedL) {
    return ucs2Write<Order::Little>(u32, dest, destL, usedL);
}
XRStatus UTF32_UTF16_SWAP(XRUtf32 u32, XRUtf8* dest, XRMemSize destL, XRMemSize* usedL) {
    return ucs2Write<Order::Big>(u32, dest, destL, usedL);
}
XRStatus UTF32_UTF16s(XRUtf32 u32, XRUtf8* dest, XRMemSize destL, XRMemSize* usedL) {
    return utf16Write<Order::Little>(u32, dest, destL, usedL);
}
XRStatus UTF32_UTF16s_SWAP(XRUtf32 u32, XRUtf8* dest, XRMemSize destL, XRMemSize* usedL) {
    return utf16Write<Order::Big>(u32, dest, destL, usedL);
}
XRStatus UTF32_UTF8(XRUtf32 u32, XRUtf8* dest, XRMemSize destL, XRMemSize* usedL) {
    return utf8Write(u32, dest, destL, usedL);
}
// A single unit never needs more than three bytes, so the code-point writer serves.
XRStatus UTF16_UTF8(XRUtf16 u16, XRUtf8* u8, XRMemSize u8L, XRMemSize* usedL) {
    return utf8Write(u16, u8, u8L, usedL);
}

XRUtf32 Byte2DWord(XRUtf8* curP) {
    return load32<Order::Little>(curP);
}
XRUtf32 Byte2DWord_swap(XRUtf8* curP) {
    return load32<Order::Big>(curP);
}
XRUtf32 Byte2Word(XRUtf8* curP) {
    return load16<Order::Little>(curP);
}
XRUtf32 Byte2Word_swap(XRUtf8* curP) {
    return load16<Order::Big>(curP);
}
XRUtf32 BYTE_UTF16_UTF32(XRUtf8* src) {
    return load16<Order::Big>(src);
}
XRUtf32 BYTE_UTF16_UTF32_SWAP(XRUtf8* src) {
    return load16<Order::Little>(src);
}

} // extern "C"
