// The strict UTF-8 validator over arbitrary bytes: the kernel set the first byte picks
// agrees with a walk of the exported isLegalUTF8, sequence by sequence, on the first
// ill-formed offset and on whether the input ends inside a character that could still be
// completed; and validating the same bytes in chunks (the tail carried over, as the
// command-line tool does) reaches the same verdict.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "fuzz_check.h"
#include "internal/cvtkernels.h"
#include "internal/utf_strict.h"
#include "xr/xrconv.h"

namespace {

using xr::strict::Stop;
using xr::strict::Validation;

unsigned announced(std::uint8_t lead) {
    return lead < 0xC0 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : lead < 0xF8 ? 4 : 5;
}

bool legal(const std::uint8_t* p, unsigned len) {
    XRMemSize move = 0;
    return isLegalUTF8(const_cast<std::uint8_t*>(p), len, &move) == XR_TRUE;
}

Validation reference(const std::uint8_t* p, std::size_t n) {
    for (std::size_t i = 0; i < n;) {
        const unsigned len = announced(p[i]);
        if (n - i >= len) {
            if (!legal(p + i, len)) return {i, Stop::Invalid};
            i += len;
            continue;
        }
        for (const std::uint8_t second : {0x80, 0x90, 0xA0}) {
            std::uint8_t seq[8] = {0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80};
            std::memcpy(seq, p + i, n - i);
            if (n - i < 2) seq[1] = second;
            if (legal(seq, len)) return {i, Stop::Incomplete};
        }
        return {i, Stop::Invalid};
    }
    return {n, Stop::Done};
}

// Chunks of `chunk` new bytes, each validated behind the tail the last one left open.
Validation chunked(xr::cvt::Kernel k, const std::uint8_t* p, std::size_t n, std::size_t chunk) {
    std::size_t start = 0; // offset of the first byte not yet known well-formed
    for (std::size_t end = std::min(chunk, n);; end = std::min(end + chunk, n)) {
        const std::unique_ptr<std::uint8_t[]> piece(new std::uint8_t[end - start + 1]);
        std::memcpy(piece.get(), p + start, end - start);
        const Validation v = xr::strict::validateUtf8(k, piece.get(), end - start);
        if (v.stop == Stop::Invalid || end == n) return {start + v.in, v.stop};
        start += v.in;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    static constexpr xr::cvt::Kernel kKernels[] = {xr::cvt::Kernel::Scalar, xr::cvt::Kernel::Sse2,
                                                   xr::cvt::Kernel::Avx2, xr::cvt::Kernel::Avx512};
    xr::cvt::Kernel k = kKernels[data[0] & 3];
    if (!xr::cvt::kernelAvailable(k)) k = xr::cvt::Kernel::Sse2;
    const std::size_t chunk = 1 + (data[0] >> 2) * 5;
    ++data, --size;
    // An exact-size copy, so a read past the input is caught.
    const std::unique_ptr<std::uint8_t[]> buf(new std::uint8_t[size + 1]);
    std::memcpy(buf.get(), data, size);
    const Validation want = reference(buf.get(), size);
    const Validation got = xr::strict::validateUtf8(k, buf.get(), size);
    check(got.in == want.in && got.stop == want.stop);
    const Validation inChunks = chunked(k, buf.get(), size, chunk);
    check(inChunks.in == want.in && inChunks.stop == want.stop);
    return 0;
}
