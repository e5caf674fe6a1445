// Both drivers with every pairing they allow, on arbitrary input and output sizes, on
// every bulk kernel the CPU has: the result equals a plain loop over the same converters
// (status, usedL and every byte of the output buffer, including those past usedL), usedL
// stays within destL, and nothing is written past destL.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "internal/cvtkernels.h"
#include "xr/xrconv.h"

namespace {

void require(bool ok) {
    if (!ok) std::abort();
}

const XRCvtReader kReaders[] = {UTF8_UTF32, UTF16_UTF32, UTF16_UTF32_SWAP, COPY_UTF32b,
                                COPY_UTF32b_SWAP};
const XRCvtWriter kUtf32Writers[] = {COPY_UTF32, COPY_UTF32_SWAP};
const XRCvtReader kUtf32Readers[] = {COPY_UTF32b, COPY_UTF32b_SWAP};
const XRCvtWriter kWriters[] = {COPY_UTF32,   COPY_UTF32_SWAP,   UTF32_UTF16, UTF32_UTF16_SWAP,
                                UTF32_UTF16s, UTF32_UTF16s_SWAP, UTF32_UTF8};
constexpr std::uint8_t kGuard = 0xA5;
constexpr std::size_t kSlack = 16;

struct Outcome {
    XRStatus rc;
    XRMemSize used;
};

Outcome loopToUtf32(const XRUtf8* src, XRMemSize srcL, XRUtf8* dest, XRMemSize destL,
                    XRCvtReader read, XRCvtWriter write) {
    XRMemSize count = 0, offset = 0;
    while (srcL != 0 && destL >= 4 && offset < srcL && count < destL / 4) {
        XRUtf32 cp = 0;
        XRMemSize consumed = 0, written = 0;
        if (XRStatus rc = read(const_cast<XRUtf8*>(src) + offset, srcL - offset, &cp, &consumed))
            return {rc, 4 * count};
        offset += consumed;
        if (XRStatus rc = write(cp, dest + 4 * count, destL - 4 * count, &written))
            return {rc, 4 * count};
        ++count;
    }
    return {0, 4 * count};
}

Outcome loopFromUtf32(const XRUtf8* src, XRMemSize srcL, XRUtf8* dest, XRMemSize destL,
                      XRCvtWriter write, XRCvtReader read) {
    XRMemSize produced = 0;
    for (XRMemSize k = 0; k < srcL / 4 && produced < destL; ++k) {
        XRUtf32 cp = 0;
        XRMemSize consumed = 0, written = 0;
        read(const_cast<XRUtf8*>(src) + 4 * k, srcL - 4 * k, &cp, &consumed);
        if (XRStatus rc = write(cp, dest + produced, destL - produced, &written))
            return {rc, produced};
        produced += written;
    }
    return {0, produced};
}

template <class Driver, class Reference>
void compare(const XRUtf8* src, XRMemSize srcL, XRMemSize destL, Driver driver, Reference ref) {
    std::unique_ptr<XRUtf8[]> in(new XRUtf8[srcL ? srcL : 1]);
    if (srcL) std::memcpy(in.get(), src, srcL);
    std::vector<XRUtf8> got(destL + kSlack, kGuard), want(destL + kSlack, kGuard);
    XRMemSize used = ~XRMemSize{0};
    const XRStatus rc = driver(in.get(), srcL, got.data(), destL, &used);
    const Outcome o = ref(in.get(), srcL, want.data(), destL);
    require(rc == o.rc && used == o.used && used <= destL);
    require(got == want);
    require(driver(in.get(), srcL, got.data(), destL, nullptr) == rc);
}

// The drivers recognise the library's converters and run a bulk kernel; each kernel the
// CPU has must give the loop's result.
template <class Driver, class Reference>
void compareOnEveryKernel(const XRUtf8* src, XRMemSize srcL, XRMemSize destL, Driver driver,
                          Reference ref) {
    using xr::cvt::Kernel;
    const Kernel saved = xr::cvt::currentKernel();
    for (Kernel k : {Kernel::Scalar, Kernel::Sse2, Kernel::Sse41, Kernel::Avx2, Kernel::Avx512}) {
        if (!xr::cvt::kernelAvailable(k)) continue;
        xr::cvt::setKernel(k);
        compare(src, srcL, destL, driver, ref);
    }
    xr::cvt::setKernel(saved);
}

} // namespace

// data[0] picks the pairing, data[1..2] the output size; the rest is the input.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3) return 0;
    const unsigned pick = data[0];
    const XRMemSize destL = (XRMemSize{data[1]} << 8 | data[2]) % 4096;
    const XRUtf8* src = data + 3;
    const XRMemSize srcL = size - 3;
    if (pick & 0x80) {
        const XRCvtReader r = kReaders[(pick & 0x7F) % 5];
        const XRCvtWriter w = kUtf32Writers[(pick >> 3) & 1];
        compareOnEveryKernel(
            src, srcL, destL,
            [&](XRUtf8* s, XRMemSize sl, XRUtf8* d, XRMemSize dl, XRMemSize* u) {
                return ConvertToUTF32(s, sl, d, dl, u, r, w);
            },
            [&](const XRUtf8* s, XRMemSize sl, XRUtf8* d, XRMemSize dl) {
                return loopToUtf32(s, sl, d, dl, r, w);
            });
    } else {
        const XRCvtWriter w = kWriters[pick % 7];
        const XRCvtReader r = kUtf32Readers[(pick >> 3) & 1];
        compareOnEveryKernel(
            src, srcL, destL,
            [&](XRUtf8* s, XRMemSize sl, XRUtf8* d, XRMemSize dl, XRMemSize* u) {
                return ConvertFromUTF32(s, sl, d, dl, u, w, r);
            },
            [&](const XRUtf8* s, XRMemSize sl, XRUtf8* d, XRMemSize dl) {
                return loopFromUtf32(s, sl, d, dl, w, r);
            });
    }
    return 0;
}
