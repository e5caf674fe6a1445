// The UTF-8 readers over arbitrary bytes: every step stays inside the input, failures
// deliver U+FFFD, UTF8_UTF16 agrees with UTF8_UTF32 unit for unit, and whatever
// isLegalUTF8 accepts decodes to the scalar value that re-encodes to the same bytes.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "internal/utf8_tables.h"
#include "xr/xrconv.h"

namespace {

void require(bool ok) {
    if (!ok) std::abort();
}

void checkOne(XRUtf8* p, XRMemSize avail) {
    XRUtf32 cp = 0;
    XRMemSize used = ~XRMemSize{0};
    const XRStatus rc = UTF8_UTF32(p, avail, &cp, &used);
    require(used >= 1 && used <= avail);
    require(rc == 0 || cp == 0xFFFD);
    require(rc == 0 || rc == XRStatusIllegalSequence || rc == XRStatusTruncatedSequence);
    require(rc != XRStatusTruncatedSequence || used == avail);

    XRUtf16 units[3] = {0x1111, 0x2222, 0x3333};
    XRMemSize used16 = ~XRMemSize{0};
    const XRStatus rc16 = UTF8_UTF16(p, avail, units, &used16);
    require(used16 == used && units[2] == 0x3333);
    require(rc16 == (rc ? XRStatusIllegalSequence : 0));
    if (rc || cp <= 0xFFFF) {
        require(units[0] == static_cast<XRUtf16>(rc ? 0xFFFD : cp) && units[1] == 0x2222);
    } else {
        require(units[0] == static_cast<XRUtf16>(0xD800 + ((cp - 0x10000) >> 10)));
        require(units[1] == static_cast<XRUtf16>(0xDC00 + (cp & 0x3FF)));
    }

    const XRMemSize announced = xr::utf8::bytesFromUTF8[p[0]];
    XRMemSize move = 0;
    if (announced <= avail && isLegalUTF8(p, announced, &move)) {
        require(rc == 0 && used == announced && move == announced);
        require(cp <= 0x10FFFF && (cp < 0xD800 || cp > 0xDFFF));
        XRUtf8 again[4];
        XRMemSize w = 0;
        require(UTF32_UTF8(cp, again, sizeof again, &w) == 0 && w == used);
        require(std::memcmp(again, p, w) == 0);
        require(GET_UTF8_LEN_FROM_XRCHAR(reinterpret_cast<XRChar*>(&cp), 1) == w);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // An exact-size copy, so a read past the input is caught.
    std::unique_ptr<XRUtf8[]> buf(new XRUtf8[size ? size : 1]);
    if (size) std::memcpy(buf.get(), data, size);
    for (std::size_t pos = 0; pos < size;) {
        XRUtf32 cp = 0;
        XRMemSize used = 0;
        checkOne(buf.get() + pos, size - pos);
        UTF8_UTF32(buf.get() + pos, size - pos, &cp, &used);
        pos += used;
    }
    return 0;
}
