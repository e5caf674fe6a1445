// xrzsu8Encode and xrzsu8Decode on any bytes: no write past the given room, *cvtL within
// it, a short room giving a prefix of the full output, and Decode inverting Encode on
// well-formed text; and the vector forms giving exactly what their character-by-
// character forms give on one kernel set, into the short room and into plenty. Input: a
// choice byte, a control byte, then the text. The choice byte's bits 0-1 pick among the
// kernel sets the CPU has (the widest twice as often), bits 2-4 the option. The control
// byte picks the short room and, with bits 2-7, the text's alignment past a 64-byte
// boundary. Every kernel set with every option into every room: the unit tests
// tests/unit/xrzsu8p2_simd.cpp and xrzsu8util_simd.cpp.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "../tests/support/utf8_equivalence.h"
#include "../tests/support/utf8_reference.h"
#include "fuzz_check.h"
#include "xr/xrutf8.h"

namespace {

using Converter = XRStatus (*)(UTF8Str, UTF8ByteLength, UTF8Str, UTF8ByteLength, UTF8ByteLength*,
                               XRFlags);
constexpr std::uint8_t kGuard = 0xA5;

struct Out {
    XRStatus rc;
    std::vector<std::uint8_t> bytes;
};

Out convert(Converter cvt, const std::uint8_t* s, std::size_t n, std::size_t room, XRFlags opt) {
    std::vector<std::uint8_t> buf(room + 16, kGuard);
    UTF8ByteLength cvtL = ~0ull;
    const XRStatus rc = cvt(const_cast<std::uint8_t*>(s), n, buf.data(), room, &cvtL, opt);
    check(rc == 0 || rc == XRStatusIllegalSequence || rc == XRStatusBufferTooSmall);
    check(cvtL <= room);
    for (std::size_t i = room; i < buf.size(); ++i)
        check(buf[i] == kGuard);
    buf.resize(cvtL);
    return {rc, buf};
}

bool wellFormed(const std::uint8_t* s, std::size_t n) {
    std::vector<std::uint8_t> padded(s, s + n);
    padded.resize(n + 8, 0);
    for (std::size_t i = 0; i < n;) {
        const xrref::Size z = xrref::charSize(padded.data() + i);
        if (!z.valid || i + static_cast<std::size_t>(z.size) > n) return false;
        i += static_cast<std::size_t>(z.size);
    }
    return true;
}

bool isPrefix(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b) {
    return a.size() <= b.size() && std::equal(a.begin(), a.end(), b.begin());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const std::uint8_t choice = data[0], control = data[1];
    const std::uint8_t* s = data + 2;
    const std::size_t n = size - 2;
    const std::size_t shortRoom = n ? control % (3 * n + 1) : 0;
    const auto kernels = xrequiv::kernels();
    const auto isa = kernels[kernels.size() - 1 - (choice & 3) % kernels.size()];
    constexpr XRFlags kOptions[] = {0u, 1u, 4u, 5u, 0xF8u};
    const XRFlags opt = kOptions[(choice >> 2 & 7) % 5];
    check(xrequiv::conversionMismatch(isa, xrequiv::Bytes(s, s + n), {shortRoom, 3 * n + 8},
                                      control >> 2, {opt})
              .empty());

    const Out enc = convert(xrzsu8Encode, s, n, 3 * n, opt);
    check(enc.rc != XRStatusBufferTooSmall);
    const bool copyPath = (opt & 5) == 4; // Encode: BMP only; Decode: a plain copy
    const bool valid = !copyPath && wellFormed(s, n);
    if (valid) check(enc.rc == 0);
    const Out cut = convert(xrzsu8Encode, s, n, shortRoom, opt);
    check(isPrefix(cut.bytes, enc.bytes));
    check(cut.rc == XRStatusBufferTooSmall || cut.bytes == enc.bytes);

    const Out dec = convert(xrzsu8Decode, s, n, 3 * n, opt);
    if (!copyPath) {
        check(dec.rc != XRStatusBufferTooSmall);
        const Out dcut = convert(xrzsu8Decode, s, n, shortRoom, opt);
        check(isPrefix(dcut.bytes, dec.bytes));
    }
    if (valid) {
        for (std::uint8_t byte : enc.bytes)
            check(byte < 0xF0);
        if (opt & 1) check(std::find(enc.bytes.begin(), enc.bytes.end(), 0) == enc.bytes.end());
        const Out back = convert(xrzsu8Decode, enc.bytes.data(), enc.bytes.size(), n, opt);
        check(back.rc == 0);
        check(back.bytes.size() == n && std::equal(back.bytes.begin(), back.bytes.end(), s));
    }
    return 0;
}
