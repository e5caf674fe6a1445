// The UTF-8 kit's sizing, comparisons, copy and strip on any bytes, held to the plain
// reference: no write past a field, results equal to the reference's, and the vector
// forms equal to their character-by-character forms on one kernel set. Input: a control
// byte, one byte that splits the rest into two texts, then the texts. Bits 0-1 of the
// control byte choose among the kernel sets the CPU has (the widest twice as often),
// bits 2-7 the alignment of the texts past a 64-byte boundary. Every kernel set on
// every alignment, over texts built to reach each path: tests/unit/xrzsu8util_simd.cpp.
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

// Each character's size, and the counts of the first l bytes (or characters) for every
// l of a short text; of a longer one, for the last four lengths and 4 more spread over
// the rest from an offset the control byte picks (every 1-3 byte sequence at every
// length: tests/unit/xrzsu8util.cpp).
void checkSizing(const Bytes& text, std::uint8_t control) {
    Bytes padded = text;
    padded.append(8, 0);
    for (std::size_t i = 0; i < text.size(); ++i) {
        const xrref::Size want = xrref::charSize(&padded[i]);
        XRBoolean valid = 7;
        check(_U8ValidCharSize(&padded[i], &valid) == want.size && valid == want.valid);
        check(xrzsu8NextChar(&padded[i], 0) == &padded[i] + want.size);
    }
    auto counts = [&](std::size_t l) {
        check(UTF8_BLENB(padded.data(), l) == xrref::blenb(padded.data(), l));
        check(UTF8_SLENB(padded.data(), l) == xrref::slenb(padded.data(), l));
        check(xrzsu8NumChars(padded.data(), l) == xrref::numChars(padded.data(), l));
    };
    const std::size_t n = text.size(), step = n <= 8 ? 1 : n / 4;
    for (std::size_t l = control % step; l + 3 < n; l += step)
        counts(l);
    for (std::size_t l = n < 3 ? 0 : n - 3; l <= n; ++l)
        counts(l);
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

// Up to three ASCII letters, then four-byte characters or (when x asks) one- to
// three-byte ones, which the widest kernel takes by other paths (the latter in steps of
// 976 bytes after its first group), to a length from 330 bytes (past the first group of
// blocks) to 1446 that x picks, the last character cut or not; byte k of y goes to the
// place that follows the last one by a step taken from x.
Bytes longTextWith(const Bytes& x, const Bytes& y) {
    static const std::vector<Bytes> bases = [] {
        std::vector<Bytes> all;
        for (unsigned pick = 0; pick < 8; ++pick) {
            const Bytes piece =
                pick & 4 ? Bytes{0xE4, 0xB8, 0xAD, ' ', 0xC2, 0xB7, 'a', 0xED, 0x95, 0x9C}
                         : Bytes{0xF0, 0x9F, 0x98, 0x80};
            Bytes run(pick % 4, 'a');
            while (run.size() < 1446)
                run += piece;
            all.push_back(run);
        }
        return all;
    }();
    const std::uint8_t pick = x.empty() ? 0 : x[0];
    Bytes run = bases[pick % 8];
    run.resize(330 + 36 * (pick >> 3));
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
    if (size < 2) return 0;
    const std::uint8_t control = data[0];
    const std::size_t split = std::min<std::size_t>(data[1], size - 2);
    const Bytes x(data + 2, data + 2 + split), y(data + 2 + split, data + size);

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
    checkSizing(y, control);
    checkCopy(y, x.size());
    // Last: the vector forms against their references on the chosen kernel set and
    // alignment, for one of the texts against the other (which one, by the input's
    // size); and the counts of a longer well-formed text with the bytes of y written
    // into it.
    const auto kernels = xrequiv::kernels();
    const auto isa = kernels[kernels.size() - 1 - (control & 3) % kernels.size()];
    const std::size_t shift = control >> 2;
    const bool yFirst = size & 1;
    check(xrequiv::kitMismatch(isa, yFirst ? y : x, yFirst ? x : y, shift).empty());
    check(xrequiv::countMismatch(isa, longTextWith(x, y), shift).empty());
    return 0;
}
