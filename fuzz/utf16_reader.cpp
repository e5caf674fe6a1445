// The UTF-16 readers over arbitrary bytes, in both orders: every step stays inside the
// input, the two orders agree on byte-swapped input, and every decoded character
// re-encodes through the UTF-16 writer to the bytes it came from.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "xr/xrconv.h"

namespace {

void require(bool ok) {
    if (!ok) std::abort();
}

struct Read {
    XRStatus rc;
    XRUtf32 cp;
    XRMemSize used;
};

Read readAt(XRCvtReader f, XRUtf8* p, XRMemSize avail) {
    Read r{0, 0, ~XRMemSize{0}};
    r.rc = f(p, avail, &r.cp, &r.used);
    return r;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::unique_ptr<XRUtf8[]> be(new XRUtf8[size ? size : 1]), le(new XRUtf8[size ? size : 1]);
    if (size) std::memcpy(be.get(), data, size);
    for (std::size_t i = 0; i + 1 < size; i += 2)
        le[i] = data[i + 1], le[i + 1] = data[i];
    if (size % 2) le[size - 1] = data[size - 1];
    for (std::size_t pos = 0; pos < size;) {
        const XRMemSize avail = size - pos;
        const Read b = readAt(UTF16_UTF32, be.get() + pos, avail);
        const Read l = readAt(UTF16_UTF32_SWAP, le.get() + pos, avail);
        require(b.rc == l.rc && b.cp == l.cp && b.used == l.used);
        require(b.used >= 1 && b.used <= avail);
        if (b.rc) {
            require(b.cp == 0xFFFD);
            require(b.rc == XRStatusIllegalSequence || b.rc == XRStatusTruncatedSequence);
        } else {
            require(b.cp <= 0x10FFFF && (b.cp < 0xD800 || b.cp > 0xDFFF));
            require(b.used == (b.cp > 0xFFFF ? 4u : 2u));
            XRUtf8 again[4];
            XRMemSize w = 0;
            require(UTF32_UTF16s_SWAP(b.cp, again, sizeof again, &w) == 0 && w == b.used);
            require(std::memcmp(again, be.get() + pos, w) == 0);
            if (b.used == 2) require(BYTE_UTF16_UTF32(be.get() + pos) == b.cp);
        }
        if (b.used % 2) break; // a truncated tail: the two orders no longer line up
        pos += b.used;
    }
    return 0;
}
