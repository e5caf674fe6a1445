// One-character converters between UTF-8, UTF-16 and UTF-32: thin wrappers over the
// templates in internal/converters.h, one per byte order.
#include "xr/xrconv.h"

#include "internal/converters.h"

using namespace xr::cvt;
using xr::units::load16;
using xr::units::load32;
using xr::units::Order;

extern "C" {

XRStatus UTF8_UTF32(XRUtf8* src, XRMemSize srcL, XRUtf32* u32, XRMemSize* usedL) {
    return utf8Read(src, srcL, u32, usedL);
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
