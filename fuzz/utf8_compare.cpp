// The UTF-8 kit's sizing, comparisons, copy and strip on any bytes, held to the plain
// reference: no write past a field, results equal to the reference's, and each vector
// form equal to its character-by-character form on every kernel set. Input: one byte
// that splits the rest into two texts, then the texts.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "../tests/support/folding_host.h"
#include "../tests/support/utf8_equivalence.h"
#include "../tests/support/utf8_reference.h"
#include "fuzz_check.h"
#include "xr/xrentry.h"
#include "xr/xrhost.h"
#include "xr/xrutf8.h"

namespace {

using xrref::Bytes;

void checkSizing(const Bytes& text) {
    Bytes padded = text;
    padded.append(8, 0);
    for (std::size_t i = 0; i < text.size(); ++i) {
        const xrref::Size want = xrref::charSize(&padded[i]);
        XRBoolean valid = 7;
        check(_U8ValidCharSize(&padded[i], &valid) == want.size && valid == want.valid);
        check(xrzsu8NextChar(&padded[i], 0) == &padded[i] + want.size);
    }
    for (std::size_t l = 0; l <= text.size(); ++l) {
        check(UTF8_BLENB(padded.data(), l) == xrref::blenb(padded.data(), l));
        check(UTF8_SLENB(padded.data(), l) == xrref::slenb(padded.data(), l));
        check(xrzsu8NumChars(padded.data(), l) == xrref::numChars(padded.data(), l));
    }
}

void checkCopy(const Bytes& text, std::size_t tlen) {
    std::vector<std::uint8_t> field(tlen + 8, 0xA5);
    const UTF8ByteLength n = xrzsu8Copy(text.data(), text.size(), field.data(), tlen);
    check(n == xrref::blenb(text.data(), std::min(text.size(), tlen)));
    check(std::memcmp(field.data(), text.data(), n) == 0);
    for (std::size_t i = n; i < tlen; ++i)
        check(field[i] == ' ');
    for (std::size_t i = tlen; i < field.size(); ++i)
        check(field[i] == 0xA5);
    // In place, shifted: the same as through a separate buffer.
    std::vector<std::uint8_t> both(text.begin(), text.end());
    both.resize(text.size() + 3, 0xA5);
    const UTF8ByteLength m = xrzsu8Copy(both.data(), text.size(), both.data() + 3, text.size());
    check(m == xrref::blenb(text.data(), text.size()));
    check(std::memcmp(both.data() + 3, text.data(), m) == 0);
}

// Up to three ASCII letters, then some 1400 bytes of four-byte characters or (when x
// asks) of one- to three-byte ones, which the widest kernel takes by other paths (the
// latter in a step of 976 bytes after its first group); byte k of y goes to the place
// that follows the last one by a step taken from x.
Bytes longTextWith(const Bytes& x, const Bytes& y) {
    const std::uint8_t pick = x.empty() ? 0 : x[0];
    const Bytes piece = pick & 4 ? Bytes{0xE4, 0xB8, 0xAD, ' ', 0xC2, 0xB7, 'a', 0xED, 0x95, 0x9C}
                                 : Bytes{0xF0, 0x9F, 0x98, 0x80};
    Bytes run(pick % 4, 'a');
    while (run.size() < 1400)
        run += piece;
    std::size_t at = 0;
    for (std::size_t k = 0; k < y.size(); ++k) {
        at = (at + 1 + (x.empty() ? 97 : x[k % x.size()])) % run.size();
        run[at] = y[k];
    }
    return run;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static xrref::FoldingHost host;
    host.enter();
    if (size == 0) return 0;
    const std::size_t split = std::min<std::size_t>(data[0], size - 1);
    const Bytes x(data + 1, data + 1 + split), y(data + 1 + split, data + size);

    const int order = xrzsu8Compare(x.data(), x.size(), y.data(), y.size());
    check(order == (x < y ? -1 : x > y ? 1 : 0));
    check(xrzsu8CompareText(y.data(), y.size(), x.data(), x.size(), 20) == -order);
    check(xrzsu8NormCompare(x.data(), x.size(), y.data(), y.size()) ==
          xrref::normCompare(x, y, xrref::testFold));
    check(xrzsu8NormEqual(x.data(), x.size(), y.data(), y.size()) ==
          xrref::normEqual(x, y, xrref::testFold, xrref::testFold));
    for (unsigned opt : {0u, 1u, 2u, 7u})
        check(xrzsu8StripBlanks(y.data(), y.size(), opt) ==
              xrref::stripBlanks(y, opt == 7 ? 1 : opt));
    checkSizing(y);
    checkCopy(y, x.size());
    // Last: the vector forms against their references on every kernel set, from an
    // alignment that the input's size picks; and the counts of a longer well-formed text
    // with the bytes of y written into it, on the widest kernel set (only there does such
    // text reach paths that x and y do not).
    const Bytes run = longTextWith(x, y);
    for (auto isa : xrequiv::kernels()) {
        check(xrequiv::kitMismatch(isa, x, y, size).empty());
        check(xrequiv::kitMismatch(isa, y, x, size).empty());
    }
    check(xrequiv::countMismatch(xrequiv::kernels().back(), run, size).empty());
    return 0;
}
