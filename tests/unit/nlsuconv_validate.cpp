// The strict validators against a reference that walks the buffer with the exported
// isLegalUTF8, one sequence at a time at the length its lead announces. Inputs put every
// kind of ill-formed sequence at every offset of a 256-byte stretch (every lane of every
// vector block and the block and group edges) and cut well-formed text at every byte.
// Every kernel set of this CPU runs each case on an exact-size heap copy.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "internal/cvtkernels.h"
#include "internal/utf_strict.h"
#include "xr/xrconv.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using xr::cvt::Kernel;
using xr::strict::Encoding;
using xr::strict::Stop;
using xr::strict::Validation;

constexpr Kernel kKernels[] = {Kernel::Scalar, Kernel::Sse2, Kernel::Avx2, Kernel::Avx512};

unsigned announced(std::uint8_t lead) {
    return lead < 0xC0 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : lead < 0xF8 ? 4 : 5;
}

bool legal(const std::uint8_t* p, unsigned len) {
    XRMemSize move = 0;
    return isLegalUTF8(const_cast<std::uint8_t*>(p), len, &move) == XR_TRUE;
}

// A cut sequence is open when some continuation bytes complete it into a legal one; the
// second byte is the only one with narrower ranges, and one of 80, 90, A0 fits each.
bool completable(const std::uint8_t* p, std::size_t have, unsigned len) {
    for (const std::uint8_t second : {0x80, 0x90, 0xA0}) {
        std::uint8_t seq[8] = {0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80};
        std::copy(p, p + have, seq);
        if (have < 2) seq[1] = second;
        if (legal(seq, len)) return true;
    }
    return false;
}

Validation reference(const Bytes& b) {
    for (std::size_t i = 0; i < b.size();) {
        const unsigned len = announced(b[i]);
        if (b.size() - i < len)
            return {i, completable(&b[i], b.size() - i, len) ? Stop::Incomplete : Stop::Invalid};
        if (!legal(&b[i], len)) return {i, Stop::Invalid};
        i += len;
    }
    return {b.size(), Stop::Done};
}

void expectAllKernelsAgree(const Bytes& input) {
    const Validation want = reference(input);
    for (const Kernel k : kKernels) {
        if (k != Kernel::Scalar && !xr::cvt::kernelAvailable(k)) continue;
        const std::unique_ptr<std::uint8_t[]> exact(new std::uint8_t[input.size() + 1]);
        std::copy(input.begin(), input.end(), exact.get());
        const Validation got = xr::strict::validateUtf8(k, exact.get(), input.size());
        ASSERT_EQ(got.in, want.in) << "kernel " << int(k) << ", size " << input.size();
        ASSERT_EQ(got.stop, want.stop) << "kernel " << int(k) << ", offset " << want.in;
    }
}

// Well-formed text whose characters have the lengths drawn from `lengths`.
Bytes wellFormed(std::mt19937& rng, std::size_t bytes, std::vector<unsigned> lengths) {
    static constexpr std::uint32_t kFirst[] = {0, 0, 0x80, 0x800, 0x10000};
    static constexpr std::uint32_t kLast[] = {0, 0x7F, 0x7FF, 0xFFFF, 0x10FFFF};
    Bytes out;
    while (out.size() < bytes) {
        const unsigned n = lengths[rng() % lengths.size()];
        std::uint32_t cp = kFirst[n] + rng() % (kLast[n] - kFirst[n] + 1);
        if (cp >= 0xD800 && cp <= 0xDFFF) cp -= 0x1000;
        XRUtf8 buf[4];
        XRMemSize used = 0;
        UTF32_UTF8(cp, buf, 4, &used);
        out.insert(out.end(), buf, buf + used);
    }
    return out;
}

// Ill-formed sequences of every kind the rules name, each followed by what makes it so.
const std::vector<Bytes> kIllFormed = {
    {0x80},                   // a continuation byte no lead announced
    {0xBF, 0x80},             // two of them
    {0xC0, 0x80},             // overlong two-byte forms
    {0xC1, 0xBF},             //
    {0xE0, 0x9F, 0xBF},       // overlong three-byte form
    {0xED, 0xA0, 0x80},       // a surrogate
    {0xED, 0xBF, 0xBF},       //
    {0xF0, 0x8F, 0xBF, 0xBF}, // overlong four-byte form
    {0xF4, 0x90, 0x80, 0x80}, // above U+10FFFF
    {0xF5, 0x80, 0x80, 0x80}, //
    {0xF8, 0x88, 0x80, 0x80, 0x80},
    {0xFF},
    {0xC2, 0x41},             // a lead cut short by ASCII
    {0xE1, 0x80, 0x41},       //
    {0xF1, 0x80, 0x80, 0xC2}, // by another lead
    {0xE1, 0xC2, 0x80},       //
    {0xC2},                   // cut short, then (in ASCII text) whole ASCII blocks
    {0xE1, 0x80},             //
    {0xF1, 0x80, 0x80},       //
    {0xC2, 0x80, 0x80},       // one continuation byte too many
    {0xF1, 0x80, 0x80, 0x80, 0x80},
};

TEST(ValidateUtf8, EachIllFormedKindAtEveryOffsetOfAGroup) {
    std::mt19937 rng(7);
    for (const std::vector<unsigned>& mix : {std::vector<unsigned>{1}, {1, 2}, {2, 3, 4}, {1, 4}}) {
        const Bytes text = wellFormed(rng, 600, mix);
        for (const Bytes& bad : kIllFormed) {
            for (std::size_t at = 0; at < 300; ++at) {
                Bytes input(text.begin(), text.begin() + at);
                input.insert(input.end(), bad.begin(), bad.end());
                input.insert(input.end(), text.begin() + at, text.end());
                expectAllKernelsAgree(input);
            }
        }
    }
}

TEST(ValidateUtf8, WellFormedTextCutAtEveryByte) {
    std::mt19937 rng(11);
    for (const std::vector<unsigned>& mix : {std::vector<unsigned>{1, 2}, {3}, {1, 4}, {2, 3, 4}}) {
        const Bytes text = wellFormed(rng, 700, mix);
        for (std::size_t n = 0; n <= text.size(); ++n)
            expectAllKernelsAgree(Bytes(text.begin(), text.begin() + n));
    }
}

TEST(ValidateUtf8, RandomBytesSprinkledIntoText) {
    std::mt19937 rng(13);
    for (int round = 0; round < 3000; ++round) {
        Bytes input = wellFormed(rng, 1 + rng() % 900, {1, 1, 2, 3, 4});
        for (unsigned hits = rng() % 3; hits > 0; --hits)
            input[rng() % input.size()] = static_cast<std::uint8_t>(rng());
        expectAllKernelsAgree(input);
    }
}

// Every sequence of up to three bytes, the first one not ASCII, just before a vector
// block edge; the four-byte leads with every second byte and edge values after it.
TEST(ValidateUtf8, ShortSequencesExhaustively) {
    Bytes input(70, 'a');
    for (unsigned v = 0x800000; v < 0x1000000; ++v) {
        input[61] = static_cast<std::uint8_t>(v >> 16);
        input[62] = static_cast<std::uint8_t>(v >> 8);
        input[63] = static_cast<std::uint8_t>(v);
        const Validation want = reference(input);
        for (const Kernel k : {Kernel::Avx2, Kernel::Avx512}) {
            if (!xr::cvt::kernelAvailable(k)) continue;
            const Validation got = xr::strict::validateUtf8(k, input.data(), input.size());
            ASSERT_TRUE(got.in == want.in && got.stop == want.stop) << std::hex << v;
        }
    }
    for (unsigned lead = 0xF0; lead <= 0xFF; ++lead)
        for (unsigned second = 0; second < 256; ++second)
            for (const std::uint8_t edge : {0x00, 0x7F, 0x80, 0xBF, 0xC0})
                expectAllKernelsAgree({'x', std::uint8_t(lead), std::uint8_t(second), 0x80, edge});
}

TEST(ValidateUtf8, TheDefaultKernelGivesTheSameAnswer) {
    const Bytes input = {'a', 0xE2, 0x82, 0xAC, 0xED, 0xA0, 0x80};
    const Validation v = xr::strict::validateUtf8(input.data(), input.size());
    EXPECT_EQ(v.in, 4u);
    EXPECT_EQ(v.stop, Stop::Invalid);
    EXPECT_EQ(xr::strict::validate(Encoding::Utf8, input.data(), 4).stop, Stop::Done);
}

// UTF-16 and UTF-32: a unit-by-unit reference over code units read in either order.
Validation utf16Reference(const Bytes& b, bool big) {
    const auto unit = [&](std::size_t i) {
        return big ? b[i] << 8 | b[i + 1] : b[i + 1] << 8 | b[i];
    };
    std::size_t i = 0;
    for (; i + 2 <= b.size(); i += 2) {
        const unsigned u = unit(i);
        if (u >= 0xDC00 && u <= 0xDFFF) return {i, Stop::Invalid};
        if (u < 0xD800 || u > 0xDBFF) continue;
        if (i + 4 > b.size()) {
            const bool lowMayFollow = i + 3 > b.size() || !big || (b[i + 2] & 0xFC) == 0xDC;
            return {i, lowMayFollow ? Stop::Incomplete : Stop::Invalid};
        }
        const unsigned next = unit(i + 2);
        if (next < 0xDC00 || next > 0xDFFF) return {i, Stop::Invalid};
        i += 2;
    }
    return i == b.size() ? Validation{i, Stop::Done} : Validation{i, Stop::Incomplete};
}

// Text with surrogate pairs among other units (or, half the time, only units below 0x800,
// which vector kernels may skip whole), something odd at every offset of
// two blocks of the widest steps, cut around it; every kernel set in both byte orders.
TEST(ValidateUtf16, SurrogatesAtEveryOffsetInBothOrders) {
    std::mt19937 rng(17);
    const std::vector<std::vector<unsigned>> kUnits = {
        {0xDC00},         {0xDFFF},         {0xD800}, {0xDBFF, 0x0041},
        {0xD800, 0xD800}, {0xD800, 0xDC00}, {0xFFFF}};
    for (const bool big : {false, true}) {
        const Encoding e = big ? Encoding::Utf16Be : Encoding::Utf16Le;
        for (const auto& inserted : kUnits) {
            for (std::size_t at = 0; at < 140; ++at) {
                std::vector<unsigned> units;
                const bool stretch = rng() % 2;
                while (units.size() < 160) {
                    const unsigned kind = stretch ? 2 : rng() % 4;
                    if (kind == 0)
                        units.insert(units.end(), {0xD800 + unsigned(rng() % 0x400),
                                                   0xDC00 + unsigned(rng() % 0x400)});
                    else
                        units.push_back(kind == 1 ? 0xE000 + rng() % 0x2000 : rng() % 0x800);
                }
                const std::size_t where = std::min(at, units.size());
                units.insert(units.begin() + where, inserted.begin(), inserted.end());
                Bytes b;
                for (const unsigned u : units) {
                    b.push_back(std::uint8_t(big ? u >> 8 : u));
                    b.push_back(std::uint8_t(big ? u : u >> 8));
                }
                for (std::size_t n :
                     {b.size(), b.size() - 1, 2 * where + 1, 2 * where + 2, 2 * where + 3}) {
                    const Bytes cut(b.begin(), b.begin() + std::min(n, b.size()));
                    const Validation want = utf16Reference(cut, big);
                    for (const Kernel k : {Kernel::Sse2, Kernel::Avx2, Kernel::Avx512}) {
                        if (!xr::cvt::kernelAvailable(k)) continue;
                        const Validation got = xr::strict::validate(k, e, cut.data(), cut.size());
                        ASSERT_TRUE(got.in == want.in && got.stop == want.stop)
                            << "big " << big << " at " << at << " n " << n << " kernel " << int(k)
                            << ": " << got.in << " vs " << want.in;
                    }
                }
            }
        }
    }
}

TEST(ValidateUtf32, ValuesAndCutUnitsInBothOrders) {
    struct Case {
        Bytes le;
        std::size_t in;
        Stop stop;
    };
    const Case kCases[] = {
        {{0x41, 0, 0, 0, 0xFF, 0xFF, 0x10, 0}, 8, Stop::Done},
        {{0x41, 0, 0, 0, 0, 0, 0x11, 0}, 4, Stop::Invalid},
        {{0x41, 0, 0, 0, 0, 0xD8, 0, 0}, 4, Stop::Invalid},
        {{0xFF, 0xDF, 0, 0}, 0, Stop::Invalid},
        {{0, 0xE0, 0, 0}, 4, Stop::Done},
        {{0, 0, 0, 1}, 0, Stop::Invalid},
        {{0x41, 0, 0, 0, 0x41}, 4, Stop::Incomplete},
        {{0x41, 0, 0, 0, 0x41, 0xD8}, 4, Stop::Incomplete},
        {{0x41, 0xD8, 0}, 0, Stop::Invalid},
        {{0x41, 0xD8, 0x01}, 0, Stop::Incomplete},
        {{0x41, 0, 0x11}, 0, Stop::Invalid},
    };
    for (const Case& c : kCases) {
        const Validation le = xr::strict::validate(Encoding::Utf32Le, c.le.data(), c.le.size());
        EXPECT_TRUE(le.in == c.in && le.stop == c.stop) << "LE case of size " << c.le.size();
    }
    // Big-endian: the same values with each unit reversed; a cut unit keeps its high bytes.
    const Case kBig[] = {
        {{0, 0x10, 0xFF, 0xFF}, 4, Stop::Done},
        {{0, 0, 0xDC, 0x00}, 0, Stop::Invalid},
        {{0, 0x11, 0, 0}, 0, Stop::Invalid},
        {{0, 0, 0, 0x41, 0}, 4, Stop::Incomplete},
        {{0, 0, 0, 0x41, 1}, 4, Stop::Invalid},
        {{0, 0, 0, 0x41, 0, 0x11}, 4, Stop::Invalid},
        {{0, 0, 0, 0x41, 0, 0, 0xD8}, 4, Stop::Invalid},
        {{0, 0, 0, 0x41, 0, 1, 0xD8}, 4, Stop::Incomplete},
    };
    for (const Case& c : kBig) {
        const Validation be = xr::strict::validate(Encoding::Utf32Be, c.le.data(), c.le.size());
        EXPECT_TRUE(be.in == c.in && be.stop == c.stop) << "BE case of size " << c.le.size();
    }
}

} // namespace
