// The vector forms of the UTF-8 kit against their references, on every kernel set this
// CPU has: texts built so that malformed and special sequences fall at every offset of a
// 64-byte stretch, cut at every length, and random mixtures; for pairs, the same text,
// its case-swapped form, and copies with one byte changed.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "utf8_equivalence.h"

namespace {

using xrequiv::Bytes;

Bytes b(const char* s) { return Bytes(reinterpret_cast<const std::uint8_t*>(s)); }
Bytes b(std::initializer_list<std::uint8_t> v) { return Bytes(v.begin(), v.end()); }

// Well-formed characters of every length, blanks of every kind, letters to fold.
const std::vector<Bytes>& wellFormed() {
    static const std::vector<Bytes> pieces = {
        b("a"), b("Z"), b(" "), b("\t"), b("q"), b("K"), b("\xC3\xA9"), b("\xC3\x89"),
        b("\xE2\x82\xAC"), b("\xE4\xB8\xAD"), b("\xED\x95\x9C"), b("\xF0\x9D\x84\x9E"),
        b("\xF0\x9F\x98\x80"), b("\xC2\xA0"), b("\xE3\x80\x80"), b("\xE2\x80\xA8"),
        b("\xC2\x85"), b("\xE2\x84\xAA"), b("\xF0\x90\x90\x80"), b("\xCE\x91"),
        b("\xF4\x8F\xBF\xBF"), b("\xEF\xBF\xBD"), b("\xE0\xA0\x80"), b("\xED\x9F\xBF")};
    return pieces;
}

// Sequences that some rule treats on its own: cut, stray, overlong, too large, NUL,
// surrogates single and paired, five- and six-byte forms.
const std::vector<Bytes>& special() {
    static const std::vector<Bytes> pieces = {
        b({0x80}), b({0xBF}), b({0xC0, 0x80}), b({0xC1, 0xBF}), b({0xC3}), b({0xE3, 0x81}),
        b({0xF0, 0x9F, 0x98}), b({0xF5, 0x80, 0x80, 0x80}), b({0xF7, 0xBF, 0xBF, 0xBF}),
        b({0xF8, 0x88, 0x80, 0x80, 0x80}), b({0xFC, 0x84, 0x80, 0x80, 0x80, 0x80}), b({0xFF}),
        b({0xED, 0xA0, 0x80}), b({0xED, 0xB0, 0x80}), b({0xED, 0xA0, 0xBD, 0xED, 0xB8, 0x80}),
        b({0x00}), b({0xE0, 0x80, 0x80}), b({0xF0, 0x80, 0x80, 0x80}), b({0xF4, 0x90, 0x80, 0x80}),
        b({0xC3, 0xA9, 0xA9}), b({0xE3, 0x41, 0x42}), b({0xF0, 0x9F, 0x98, 0x80, 0x80}),
        b({0xE2, 0x80}), b({0xE0, 0x41, 0x80})};
    return pieces;
}

Bytes randomText(std::mt19937& rng, std::size_t bytes, int specialPercent) {
    Bytes t;
    std::uniform_int_distribution<int> percent(0, 99);
    while (t.size() < bytes) {
        const int roll = percent(rng);
        if (roll < specialPercent)
            t += special()[rng() % special().size()];
        else if (roll < 55)
            t += static_cast<std::uint8_t>('a' + rng() % 26);
        else
            t += wellFormed()[rng() % wellFormed().size()];
    }
    return t;
}

Bytes swapCase(Bytes t) {
    for (auto& c : t)
        if ((c | 0x20) >= 'a' && (c | 0x20) <= 'z') c ^= 0x20;
    return t;
}

void expectAgree(const Bytes& x, const Bytes& y, std::uint64_t seed) {
    for (auto isa : xrequiv::kernels()) {
        const std::string m = xrequiv::mismatch(isa, x, y, seed);
        ASSERT_EQ(m, "") << "x = " << ::testing::PrintToString(x) << "\ny = " << ::testing::PrintToString(y);
    }
}

TEST(Utf8Kernels, SpecialSequenceAtEveryOffset) {
    std::mt19937 rng(7);
    for (const Bytes& piece : special()) {
        const Bytes base = randomText(rng, 160, 0);
        for (std::size_t at = 0; at <= 70; ++at) {
            Bytes x = base;
            x.insert(std::min(at, x.size()), piece);
            expectAgree(x, x, at);
            expectAgree(x, swapCase(x), at);
        }
    }
}

TEST(Utf8Kernels, MultiByteCharacterAcrossEveryBlockEdge) {
    for (const Bytes& piece : wellFormed()) {
        for (std::size_t at = 0; at <= 66; ++at) {
            Bytes x(at, 'x');
            x += piece;
            x += Bytes(40, 'y');
            expectAgree(x, swapCase(x), at);
            Bytes y = x;
            y[at] ^= 0x01; // the first byte of the character differs
            expectAgree(x, y, at);
        }
    }
}

TEST(Utf8Kernels, EveryCutOfAMixedText) {
    std::mt19937 rng(11);
    const Bytes full = randomText(rng, 200, 6);
    for (std::size_t n = 0; n <= full.size(); ++n) {
        const Bytes x = full.substr(0, n);
        expectAgree(x, full, n);
        expectAgree(full, x, n);
    }
}

TEST(Utf8Kernels, RandomTextsAndPairs) {
    std::mt19937 rng(3);
    for (int round = 0; round < 400; ++round) {
        const Bytes x = randomText(rng, rng() % 300, round % 4 == 0 ? 0 : 1 + round % 9);
        Bytes y = round % 3 == 0 ? swapCase(x) : x;
        if (!y.empty() && round % 2) y[rng() % y.size()] = static_cast<std::uint8_t>(rng());
        if (round % 5 == 0) y += Bytes(rng() % 40, ' ');
        expectAgree(x, y, static_cast<std::uint64_t>(round));
    }
}

TEST(Utf8Kernels, LongRunsOfOneKind) {
    // Long enough for the per-lane counters of the counting kernel to be summed.
    for (const Bytes& piece : {b("\xE4\xB8\xAD"), b("a"), b("\xF0\x9F\x98\x80"), b({0x80}), b(" "),
                               b("\xED\xA0\xBD\xED\xB8\x80"), b({0xC0, 0x80})}) {
        Bytes x;
        while (x.size() < 20000) x += piece;
        expectAgree(x, x, 1);
        expectAgree(x + b("ab  "), x + b("AB"), 2);
    }
}

TEST(Utf8Kernels, BlanksInBulk) {
    for (const Bytes& tail : {Bytes(100, ' '), Bytes(77, '\t'), b("\xE3\x80\x80 \t \xC2\xA0\x0B"),
                              b({0x80, 0x80, 0x80}), b(" \x85")}) {
        for (std::size_t lead = 0; lead < 40; ++lead) {
            const Bytes x = Bytes(lead, 'k') + tail;
            expectAgree(x, x, lead);
        }
    }
}

} // namespace
