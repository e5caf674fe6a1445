// The strict converters over arbitrary bytes, against the two-call drivers: the first
// two bytes pick the pair of encodings, the kernel set and the room for output. The
// well-formed prefix (by the validator, itself held to isLegalUTF8 by utf8_validate) goes
// through ConvertToUTF32 and ConvertFromUTF32 with the library's converters; the one-pass
// result must be that output cut after the last whole character that fits, with nothing
// written past the room and the same stopping offset and reason.
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "fuzz_check.h"
#include "internal/cvtkernels.h"
#include "internal/utf_strict.h"
#include "xr/xrconv.h"

namespace {

using xr::strict::Encoding;
using xr::strict::Stop;

struct Converters {
    XRCvtReader read;
    XRCvtWriter write;
};
constexpr Converters kConverters[] = {{UTF8_UTF32, UTF32_UTF8},
                                      {UTF16_UTF32_SWAP, UTF32_UTF16s},
                                      {UTF16_UTF32, UTF32_UTF16s_SWAP},
                                      {COPY_UTF32b_SWAP, COPY_UTF32_SWAP},
                                      {COPY_UTF32b, COPY_UTF32}};

unsigned sizeIn(Encoding e, std::uint32_t cp) {
    if (e == Encoding::Utf8) return cp < 0x80 ? 1 : cp < 0x800 ? 2 : cp < 0x10000 ? 3 : 4;
    if (e == Encoding::Utf16Le || e == Encoding::Utf16Be) return cp > 0xFFFF ? 4 : 2;
    return 4;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    static constexpr xr::cvt::Kernel kKernels[] = {xr::cvt::Kernel::Scalar, xr::cvt::Kernel::Sse2,
                                                   xr::cvt::Kernel::Avx2, xr::cvt::Kernel::Avx512};
    const auto from = static_cast<Encoding>(data[0] % 5),
               to = static_cast<Encoding>(data[0] / 5 % 5);
    xr::cvt::Kernel k = kKernels[data[0] / 25 % 4];
    if (!xr::cvt::kernelAvailable(k)) k = xr::cvt::Kernel::Sse2;
    const std::size_t full = xr::strict::maxOutputBytes(from, to, size - 2);
    const std::size_t cap = data[1] >= 128 ? full : full * data[1] / 128;
    const std::vector<std::uint8_t> src(data + 2, data + size);

    const xr::strict::Validation v = xr::strict::validate(from, src.data(), src.size());
    std::vector<std::uint8_t> u32(4 * v.in + 4), want(4 * v.in + 4);
    XRMemSize n32 = 0, n = 0;
    auto* in = const_cast<XRUtf8*>(src.data());
    const Converters& a = kConverters[static_cast<int>(from)];
    const Converters& b = kConverters[static_cast<int>(to)];
    check(ConvertToUTF32(in, v.in, u32.data(), u32.size(), &n32, a.read, COPY_UTF32) == 0);
    check(ConvertFromUTF32(u32.data(), n32, want.data(), want.size(), &n, b.write, COPY_UTF32b) ==
          0);
    std::size_t taken = 0, written = 0;
    Stop stop = v.stop;
    for (std::size_t i = 0; i < n32; i += 4) {
        const std::uint32_t cp = u32[i] << 24 | u32[i + 1] << 16 | u32[i + 2] << 8 | u32[i + 3];
        if (written + sizeIn(to, cp) > cap) {
            stop = Stop::OutputFull;
            break;
        }
        taken += sizeIn(from, cp);
        written += sizeIn(to, cp);
    }
    if (stop != Stop::OutputFull) taken = v.in;

    const std::unique_ptr<std::uint8_t[]> dst(new std::uint8_t[cap + 1]);
    const xr::strict::Step got =
        xr::strict::convert(k, from, to, src.data(), src.size(), dst.get(), cap);
    check(got.stop == stop && got.in == taken && got.out == written);
    check(std::memcmp(dst.get(), want.data(), written) == 0);
    return 0;
}
