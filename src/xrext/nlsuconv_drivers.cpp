// Whole-buffer conversion through a pair of one-character converters, plus the
// buffer-level utilities: same-encoding copy, the strict one-sequence UTF-8 test, and
// the UTF-8 size of XRChar text.
#include <cstring>

#include "internal/utf8_tables.h"
#include "xr/xrconv.h"

namespace {

// Output advances a fixed 4 bytes per character whatever the writer reports; the
// failing character is left unconsumed and unwritten.
template <class Reader, class Writer>
XRStatus toUtf32(const XRUtf8* src, XRMemSize srcL, XRUtf8* dest, XRMemSize destL, XRMemSize* usedL,
                 Reader read, Writer write) {
    XRStatus rc = 0;
    XRMemSize count = 0;
    if (srcL != 0 && destL >= 4) {
        XRMemSize offset = 0, outLeft = destL;
        const XRMemSize capacity = destL / 4;
        do {
            XRUtf32 cp = 0;
            XRMemSize consumed = 0, written = 0;
            if ((rc = read(const_cast<XRUtf8*>(src) + offset, srcL - offset, &cp, &consumed)))
                break;
            offset += consumed;
            if ((rc = write(cp, dest + 4 * count, outLeft, &written))) break;
            outLeft -= written;
            ++count;
        } while (offset < srcL && count < capacity);
    }
    if (usedL) *usedL = 4 * count;
    return rc;
}

// The reader's status is not consulted: every 4-byte group is a character.
template <class Reader, class Writer>
XRStatus fromUtf32(const XRUtf8* src, XRMemSize srcL, XRUtf8* dest, XRMemSize destL,
                   XRMemSize* usedL, Writer write, Reader read) {
    XRStatus rc = 0;
    XRMemSize produced = 0;
    if (srcL >= 4 && destL != 0) {
        const XRMemSize units = srcL / 4;
        XRMemSize k = 0, inLeft = srcL;
        do {
            XRUtf32 cp = 0;
            XRMemSize consumed = 0, written = 0;
            read(const_cast<XRUtf8*>(src) + 4 * k, inLeft, &cp, &consumed);
            rc = write(cp, dest + produced, destL - produced, &written);
            ++k;
            inLeft -= 4;
            if (rc) break;
            produced += written;
        } while (k < units && produced < destL);
    }
    if (usedL) *usedL = produced;
    return rc;
}

bool inRange(XRUtf8 b, XRUtf8 lo, XRUtf8 hi) {
    return b >= lo && b <= hi;
}

// The second-byte limits that keep out overlong forms (E0, F0), surrogates (ED) and
// values above U+10FFFF (F4).
bool secondByteFits(XRUtf8 lead, XRUtf8 second) {
    switch (lead) {
    case 0xE0:
        return second >= 0xA0;
    case 0xED:
        return second <= 0x9F;
    case 0xF0:
        return second >= 0x90;
    case 0xF4:
        return second <= 0x8F;
    default:
        return true;
    }
}

unsigned utf8Size(XRChar c) {
    if (c < 0) return 4;
    return c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
}

} // namespace

extern "C" {

XRStatus ConvertToUTF32(XRUtf8* src, XRMemSize srcL, XRUtf8* dest, XRMemSize destL,
                        XRMemSize* usedL, XRCvtReader CVT, XRCvtWriter postConv) {
    return toUtf32(src, srcL, dest, destL, usedL, CVT, postConv);
}

XRStatus ConvertFromUTF32(XRUtf8* src, XRMemSize srcL, XRUtf8* dest, XRMemSize destL,
                          XRMemSize* usedL, XRCvtWriter CVT2, XRCvtReader preConv) {
    return fromUtf32(src, srcL, dest, destL, usedL, CVT2, preConv);
}

XRStatus COPY_UTF(XRUtf8* src, XRMemSize srcL, XRUtf8* dest, XRMemSize destL, XRMemSize* cvtL) {
    const XRMemSize n = srcL < destL ? srcL : destL;
    if (n) std::memmove(dest, src, n);
    *cvtL = n;
    return srcL > destL ? XRStatusBufferTooSmall : 0;
}

// Continuation bytes are checked from the last to the second, so move8L ends as the
// offset of the first bad one: the bytes to step over before scanning resumes.
XRBoolean isLegalUTF8(XRUtf8Ptr source, XRMemSize length, XRMemSize* move8L) {
    *move8L = length;
    if (length < 1 || length > 4) return XR_FALSE;
    bool legal = true;
    for (XRMemSize i = length - 1; i >= 1; --i) {
        if (!inRange(source[i], 0x80, 0xBF)) {
            legal = false;
            *move8L = i;
        }
    }
    const XRUtf8 lead = source[0];
    if (length >= 2 && inRange(source[1], 0x80, 0xBF) && !secondByteFits(lead, source[1]))
        legal = false;
    if (!xr::utf8::valid_1st_utf8[lead]) legal = false;
    return legal ? XR_TRUE : XR_FALSE;
}

XRMemSize GET_UTF8_LEN_FROM_XRCHAR(XRChar* xrsrc, XRStrSize xrsrcL) {
    XRMemSize total = 0;
    for (XRStrSize i = 0; i < xrsrcL; ++i)
        total += utf8Size(xrsrc[i]);
    return total;
}

} // extern "C"
