// Both drivers with every pairing they allow, on arbitrary input and output sizes, on
// every bulk kernel the CPU has: the result equals the per-character loop, which the
// drivers run for converters they do not recognise (thin wrappers of their own). Status,
// usedL and every byte of the output buffer must match, including those past usedL and
// the guard bytes past destL; usedL stays within destL.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "internal/cvtkernels.h"
#include "xr/xrconv.h"

namespace {

template <XRCvtReader F> XRStatus loopReader(XRUtf8* s, XRMemSize n, XRUtf32* c, XRMemSize* u) {
    return F(s, n, c, u);
}
template <XRCvtWriter F> XRStatus loopWriter(XRUtf32 c, XRUtf8* d, XRMemSize n, XRMemSize* u) {
    return F(c, d, n, u);
}
struct Reader {
    XRCvtReader own, loop;
};
struct Writer {
    XRCvtWriter own, loop;
};
#define READER(f) (Reader{f, loopReader<f>})
#define WRITER(f) (Writer{f, loopWriter<f>})
// The last two readers and the first two writers are the UTF-32 ones.
const Reader kReaders[] = {READER(UTF8_UTF32), READER(UTF16_UTF32), READER(UTF16_UTF32_SWAP),
                           READER(COPY_UTF32b), READER(COPY_UTF32b_SWAP)};
const Writer kWriters[] = {
    WRITER(COPY_UTF32),   WRITER(COPY_UTF32_SWAP),   WRITER(UTF32_UTF16), WRITER(UTF32_UTF16_SWAP),
    WRITER(UTF32_UTF16s), WRITER(UTF32_UTF16s_SWAP), WRITER(UTF32_UTF8)};

void require(bool ok) {
    if (!ok) std::abort();
}

} // namespace

// data[0] picks the driver and the pairing, data[1..2] the output size; the rest is the
// input, in a heap block of exactly its size.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using xr::cvt::Kernel;
    if (size < 3) return 0;
    const unsigned pick = data[0];
    const XRMemSize destL = (XRMemSize{data[1]} << 8 | data[2]) % 4096;
    std::vector<XRUtf8> in(data + 3, data + size);
    const bool to = pick & 0x80;
    const Reader& r = to ? kReaders[(pick & 0x7F) % 5] : kReaders[3 + (pick >> 3 & 1)];
    const Writer& w = to ? kWriters[pick >> 3 & 1] : kWriters[pick % 7];
    auto run = [&](bool loop, std::vector<XRUtf8>& out, XRMemSize* used) {
        out.assign(destL + 16, 0xA5);
        const XRCvtReader rd = loop ? r.loop : r.own;
        const XRCvtWriter wr = loop ? w.loop : w.own;
        return to ? ConvertToUTF32(in.data(), in.size(), out.data(), destL, used, rd, wr)
                  : ConvertFromUTF32(in.data(), in.size(), out.data(), destL, used, wr, rd);
    };
    std::vector<XRUtf8> want, got, again;
    XRMemSize wantL = ~XRMemSize{0};
    const XRStatus wantRc = run(true, want, &wantL);
    require(wantL <= destL);
    const Kernel saved = xr::cvt::currentKernel();
    for (Kernel k : {Kernel::Scalar, Kernel::Sse2, Kernel::Sse41, Kernel::Avx2, Kernel::Avx512}) {
        if (!xr::cvt::kernelAvailable(k)) continue;
        xr::cvt::setKernel(k);
        XRMemSize used = ~XRMemSize{0};
        require(run(false, got, &used) == wantRc && used == wantL && got == want);
        require(run(false, again, nullptr) == wantRc && again == want);
    }
    xr::cvt::setKernel(saved);
    return 0;
}
