// Whole-buffer conversion through a pair of one-character converters (in bulk when they
// are the library's own), plus the buffer-level utilities: same-encoding copy, the strict
// one-sequence UTF-8 test, and the UTF-8 size of XRChar text.
#include <cstring>

#include "internal/converters.h"
#include "internal/cvtkernels.h"
#include "internal/utf8_tables.h"
#include "xr/xrconv.h"

namespace {

using xr::cvt::FromKernel;
using xr::cvt::Progress;
using xr::cvt::ToKernel;

// Output advances a fixed 4 bytes per character whatever the writer reports; the
// failing character is left unconsumed and unwritten. A bulk kernel, when given, takes
// the characters it can before each step of the loop; the loop decides every other one.
template <class Reader, class Writer>
XRStatus toUtf32(const XRUtf8* src, XRMemSize srcL, XRUtf8* dest, XRMemSize destL, XRMemSize* usedL,
                 Reader read, Writer write, ToKernel bulk = nullptr) {
    XRStatus rc = 0;
    XRMemSize count = 0;
    if (srcL != 0 && destL >= 4) {
        XRMemSize offset = 0, outLeft = destL;
        const XRMemSize capacity = destL / 4;
        do {
            if (bulk) {
                const Progress p =
                    bulk(src + offset, srcL - offset, dest + 4 * count, capacity - count);
                offset += p.in;
                count += p.out;
                outLeft -= 4 * p.out;
                if (offset >= srcL || count >= capacity) break;
            }
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
                   XRMemSize* usedL, Writer write, Reader read, FromKernel bulk = nullptr) {
    XRStatus rc = 0;
    XRMemSize produced = 0;
    if (srcL >= 4 && destL != 0) {
        const XRMemSize units = srcL / 4;
        XRMemSize k = 0, inLeft = srcL;
        do {
            if (bulk) {
                const Progress p = bulk(src + 4 * k, units - k, dest + produced, destL - produced);
                k += p.in;
                inLeft -= 4 * p.in;
                produced += p.out;
                if (k >= units || produced >= destL) break;
            }
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

// The library's own converters, called inline by the bulk routes.
using xr::cvt::Order;
constexpr Order kBig = Order::Big, kLittle = Order::Little;
struct Utf8In {
    XRStatus operator()(XRUtf8* s, XRMemSize n, XRUtf32* cp, XRMemSize* u) const {
        return xr::cvt::utf8Read(s, n, cp, u);
    }
};
template <Order O> struct Utf16In {
    XRStatus operator()(XRUtf8* s, XRMemSize n, XRUtf32* cp, XRMemSize* u) const {
        return xr::cvt::utf16Read<O>(s, n, cp, u);
    }
};
template <Order O> struct Utf32In {
    XRStatus operator()(XRUtf8* s, XRMemSize n, XRUtf32* cp, XRMemSize* u) const {
        return xr::cvt::utf32Read<O>(s, n, cp, u);
    }
};
template <XRStatus (*W)(XRUtf32, XRUtf8*, XRMemSize, XRMemSize*)> struct Out {
    XRStatus operator()(XRUtf32 cp, XRUtf8* d, XRMemSize n, XRMemSize* u) const {
        return W(cp, d, n, u);
    }
};
template <Order O> using Utf32Out = Out<xr::cvt::utf32Write<O>>;

using Route = XRStatus (*)(const XRUtf8*, XRMemSize, XRUtf8*, XRMemSize, XRMemSize*);

template <class Reader, xr::cvt::Source S, Order O>
XRStatus toUtf32Route(const XRUtf8* src, XRMemSize srcL, XRUtf8* dest, XRMemSize destL,
                      XRMemSize* usedL) {
    const ToKernel bulk = xr::cvt::toUtf32Kernel(xr::cvt::currentKernel(), S, O == kBig);
    return toUtf32(src, srcL, dest, destL, usedL, Reader{}, Utf32Out<O>{}, bulk);
}

template <Order I, class Writer, xr::cvt::Target T>
XRStatus fromUtf32Route(const XRUtf8* src, XRMemSize srcL, XRUtf8* dest, XRMemSize destL,
                        XRMemSize* usedL) {
    const FromKernel bulk = xr::cvt::fromUtf32Kernel(xr::cvt::currentKernel(), I == kBig, T);
    return fromUtf32(src, srcL, dest, destL, usedL, Writer{}, Utf32In<I>{}, bulk);
}

struct ReaderRow {
    XRCvtReader reader;
    Route toBig, toLittle; // with COPY_UTF32, COPY_UTF32_SWAP
};
template <class Reader, xr::cvt::Source S> constexpr ReaderRow readerRow(XRCvtReader r) {
    return {r, toUtf32Route<Reader, S, kBig>, toUtf32Route<Reader, S, kLittle>};
}

struct WriterRow {
    XRCvtWriter writer;
    Route fromBig, fromLittle; // with COPY_UTF32b, COPY_UTF32b_SWAP
};
template <class Writer, xr::cvt::Target T> constexpr WriterRow writerRow(XRCvtWriter w) {
    return {w, fromUtf32Route<kBig, Writer, T>, fromUtf32Route<kLittle, Writer, T>};
}

// Pointer identity selects a route: only the library's own converters are known to
// behave as the kernels assume.
Route routeToUtf32(XRCvtReader read, XRCvtWriter write) {
    using S = xr::cvt::Source;
    static constexpr ReaderRow kRows[] = {
        readerRow<Utf8In, S::Utf8>(UTF8_UTF32),
        readerRow<Utf16In<kBig>, S::Utf16Big>(UTF16_UTF32),
        readerRow<Utf16In<kLittle>, S::Utf16Little>(UTF16_UTF32_SWAP),
        readerRow<Utf32In<kBig>, S::Utf32Big>(COPY_UTF32b),
        readerRow<Utf32In<kLittle>, S::Utf32Little>(COPY_UTF32b_SWAP),
    };
    if (write != COPY_UTF32 && write != COPY_UTF32_SWAP) return nullptr;
    for (const ReaderRow& row : kRows)
        if (row.reader == read) return write == COPY_UTF32 ? row.toBig : row.toLittle;
    return nullptr;
}

Route routeFromUtf32(XRCvtWriter write, XRCvtReader read) {
    using T = xr::cvt::Target;
    static constexpr WriterRow kRows[] = {
        writerRow<Utf32Out<kBig>, T::Utf32Big>(COPY_UTF32),
        writerRow<Utf32Out<kLittle>, T::Utf32Little>(COPY_UTF32_SWAP),
        writerRow<Out<xr::cvt::ucs2Write<kLittle>>, T::Ucs2Little>(UTF32_UTF16),
        writerRow<Out<xr::cvt::ucs2Write<kBig>>, T::Ucs2Big>(UTF32_UTF16_SWAP),
        writerRow<Out<xr::cvt::utf16Write<kLittle>>, T::Utf16Little>(UTF32_UTF16s),
        writerRow<Out<xr::cvt::utf16Write<kBig>>, T::Utf16Big>(UTF32_UTF16s_SWAP),
        writerRow<Out<xr::cvt::utf8Write>, T::Utf8>(UTF32_UTF8),
    };
    if (read != COPY_UTF32b && read != COPY_UTF32b_SWAP) return nullptr;
    for (const WriterRow& row : kRows)
        if (row.writer == write) return read == COPY_UTF32b ? row.fromBig : row.fromLittle;
    return nullptr;
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
    if (const Route bulk = routeToUtf32(CVT, postConv)) return bulk(src, srcL, dest, destL, usedL);
    return toUtf32(src, srcL, dest, destL, usedL, CVT, postConv);
}

XRStatus ConvertFromUTF32(XRUtf8* src, XRMemSize srcL, XRUtf8* dest, XRMemSize destL,
                          XRMemSize* usedL, XRCvtWriter CVT2, XRCvtReader preConv) {
    if (const Route bulk = routeFromUtf32(CVT2, preConv))
        return bulk(src, srcL, dest, destL, usedL);
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
