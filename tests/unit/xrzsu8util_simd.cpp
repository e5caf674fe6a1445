// The vector forms of the UTF-8 kit against their references, on every kernel set this
// CPU has: texts built so that malformed, special and multi-byte sequences fall at every
// offset of a 64-byte stretch, cut at every length, and long runs; for pairs, the same
// text, its case-swapped form, and copies with one byte changed; and random texts. (The
// fuzz targets utf8_compare and utf8_modified take one kernel set per input.)
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "utf8_equivalence.h"
#include "utf8_reference.h"

namespace {

using namespace std::string_literals;

// Sequences that some rule treats on its own: cut, stray, overlong, too large, NUL,
// surrogates single and paired, five- and six-byte forms.
const std::vector<std::string> kSpecial = {"\x80",
                                           "\xBF",
                                           "\xC0\x80",
                                           "\xC1\xBF",
                                           "\xC3",
                                           "\xE3\x81",
                                           "\xF0\x9F\x98",
                                           "\xF5\x80\x80\x80",
                                           "\xF7\xBF\xBF\xBF",
                                           "\xF8\x88\x80\x80\x80",
                                           "\xFC\x84\x80\x80\x80\x80",
                                           "\xFF",
                                           "\xED\xA0\x80",
                                           "\xED\xB0\x80",
                                           "\xED\xA0\xBD\xED\xB8\x80",
                                           "\0"s,
                                           "\xE0\x80\x80",
                                           "\xF0\x80\x80\x80",
                                           "\xF4\x90\x80\x80",
                                           "\xC3\xA9\xA9",
                                           "\xE3\x41\x42",
                                           "\xF0\x9F\x98\x80\x80",
                                           "\xE2\x80",
                                           "\xE0\x41\x80"};
// Well-formed characters of every length, blanks of every kind, letters to fold.
const std::vector<std::string> kWellFormed = {"a",
                                              "Z",
                                              " ",
                                              "\t",
                                              "q",
                                              "K",
                                              "\xC3\xA9",
                                              "\xC3\x89",
                                              "\xE2\x82\xAC",
                                              "\xE4\xB8\xAD",
                                              "\xED\x95\x9C",
                                              "\xF0\x9D\x84\x9E",
                                              "\xF0\x9F\x98\x80",
                                              "\xC2\xA0",
                                              "\xE3\x80\x80",
                                              "\xE2\x80\xA8",
                                              "\xC2\x85",
                                              "\xE2\x84\xAA",
                                              "\xF0\x90\x90\x80",
                                              "\xCE\x91",
                                              "\xF4\x8F\xBF\xBF",
                                              "\xEF\xBF\xBD",
                                              "\xE0\xA0\x80",
                                              "\xED\x9F\xBF"};

// Each well-formed character followed by two letters and, in a mixed text, by one of the
// special sequences.
std::string text(bool mixed) {
    std::string t;
    for (std::size_t i = 0; i < kWellFormed.size(); ++i)
        t += kWellFormed[i] + "Qz" + (mixed ? kSpecial[i] : "");
    return t;
}

std::string swapCase(std::string t) {
    for (auto& c : t)
        if ((c | 0x20) >= 'a' && (c | 0x20) <= 'z') c ^= 0x20;
    return t;
}

// The conversions of x too unless convert is false.
void expectAgree(const std::string& x, const std::string& y, std::uint64_t seed,
                 bool convert = true) {
    const xrequiv::Bytes a(x.begin(), x.end()), b(y.begin(), y.end());
    for (auto isa : xrequiv::kernels())
        ASSERT_EQ(xrequiv::kitMismatch(isa, a, b) +
                      (convert ? xrequiv::conversionMismatch(isa, a, seed) : ""),
                  "")
            << "x = " << testing::PrintToString(x) << "\ny = " << testing::PrintToString(y);
}

// Each special sequence inside well-formed text and among ASCII letters, and each
// well-formed character among ASCII letters, at every offset of the first block and
// around each later block edge up to 320 (the widest kernel takes the first 64 bytes
// alone and the next 256 together); against itself, its case-swapped form, and a copy
// whose byte at the offset differs in bit 0 or in bit 5.
TEST(Utf8Kernels, EverySequenceAtEveryOffset) {
    std::vector<std::size_t> offsets;
    for (std::size_t at = 0; at <= 330; ++at)
        if (at <= 70 || at % 64 <= 3 || at % 64 >= 56) offsets.push_back(at);
    const std::string multiByte = text(false) + text(false) + text(false) + text(false);
    const std::string ascii(400, 'x');
    for (const auto& [pieces, base] :
         {std::pair{&kSpecial, &multiByte}, std::pair{&kSpecial, &ascii},
          std::pair{&kWellFormed, &ascii}}) {
        for (const std::string& piece : *pieces) {
            for (std::size_t at : offsets) {
                const std::string x = base->substr(0, at) + piece + base->substr(at);
                std::string y = x;
                y[at] ^= at % 2 ? 0x01 : 0x20; // 0x20: a case pair only for letters
                ASSERT_NO_FATAL_FAILURE(expectAgree(x, x, at));
                ASSERT_NO_FATAL_FAILURE(expectAgree(x, swapCase(x), at, false));
                ASSERT_NO_FATAL_FAILURE(expectAgree(y, x, at));
            }
        }
    }
}

// The widest kernel takes groups from the first 64-byte boundary at least three bytes in,
// and the block or two before it only up to there: the pieces most likely to be misread at
// that seam, at each offset up to the first group, from every alignment of the text (the
// conversions, slower to check, from the alignments that put the seam furthest in).
TEST(Utf8Kernels, EveryAlignment) {
    const std::string multiByte = text(false) + text(false) + text(false) + text(false);
    for (std::size_t shift = 0; shift < 64; ++shift) {
        const bool convert = shift <= 2 || shift >= 60;
        for (const std::string& piece :
             {"\x80"s, "\xE3\x81"s, "\xE3\x41\x42"s, "\xF0\x9F\x98"s, "\xED\xA0\x80"s, "\0"s}) {
            for (std::size_t at = 0; at <= 70; ++at) {
                const std::string x = multiByte.substr(0, at) + piece + multiByte.substr(at);
                const xrequiv::Bytes a(x.begin(), x.end());
                for (auto isa : xrequiv::kernels())
                    ASSERT_EQ(xrequiv::kitMismatch(isa, a, a, shift) +
                                  (convert
                                       ? xrequiv::conversionMismatch(isa, a, {3 * a.size()}, shift)
                                       : ""),
                              "")
                        << "shift " << shift << " x = " << testing::PrintToString(x);
            }
        }
    }
}

// Counting alone, deeper into a text of one- to three-byte characters (which the widest
// kernel takes block by block once a group of it has been checked): each special
// sequence and each four-byte character at every offset up to 800, from two alignments.
TEST(Utf8Kernels, CountsWithEverySequenceDeepIn) {
    std::string base;
    while (base.size() < 900)
        base += "\xE4\xB8\xAD\xE6\x96\x87 \xC2\xB7"
                "ab\xED\x95\x9C";
    std::vector<std::string> pieces = kSpecial;
    pieces.push_back("\xF0\x9F\x98\x80");
    for (const std::string& piece : pieces) {
        for (std::size_t at = 0; at <= 800; ++at) {
            const std::string x = base.substr(0, at) + piece + base.substr(at);
            const xrequiv::Bytes a(x.begin(), x.end());
            for (std::size_t shift : {0, 61})
                for (auto isa : xrequiv::kernels())
                    ASSERT_EQ(xrequiv::countMismatch(isa, a, shift), "")
                        << "shift " << shift << " x = " << testing::PrintToString(x);
        }
    }
}

// Text of four-byte characters only, from each of the four phases against the 64-byte
// blocks and two alignments, with one byte replaced at every offset by a byte of every
// kind; the widest kernel checks such text against its repeating pattern once a group of
// it has been checked in full.
TEST(Utf8Kernels, FourByteTextWithOneByteChanged) {
    const std::uint8_t kinds[] = {0x41, 0x80, 0xC3, 0xE3, 0xF7, 0xF8, 0xFF};
    for (std::size_t phase = 0; phase < 4; ++phase) {
        std::string base = std::string(phase, 'a');
        while (base.size() < 1100)
            base += "\xF0\x9F\x98\x80";
        for (std::size_t shift : {0, 62}) {
            for (std::size_t at = 0; at < base.size(); ++at) {
                for (std::uint8_t kind : kinds) {
                    xrequiv::Bytes x(base.begin(), base.end());
                    x[at] = kind;
                    for (auto isa : xrequiv::kernels())
                        ASSERT_EQ(xrequiv::countMismatch(isa, x, shift), "")
                            << "phase " << phase << " shift " << shift << " byte " << int(kind)
                            << " at " << at;
                }
            }
        }
    }
}

TEST(Utf8Kernels, EveryCutOfAMixedText) {
    const std::string full = text(true);
    for (std::size_t n = 0; n <= full.size(); ++n) {
        ASSERT_NO_FATAL_FAILURE(expectAgree(full.substr(0, n), full, n));
        ASSERT_NO_FATAL_FAILURE(expectAgree(full, full.substr(0, n), n));
    }
}

// Long runs, enough for the per-lane counters of the counting kernel to be summed; and
// blanks in bulk after a few letters.
TEST(Utf8Kernels, LongRunsAndBlanksInBulk) {
    for (std::string piece : {"\xE4\xB8\xAD", "a", "\xF0\x9F\x98\x80", "\x80", " ",
                              "\xED\xA0\xBD\xED\xB8\x80", "\xC0\x80"}) {
        std::string x;
        while (x.size() < 20000)
            x += piece;
        ASSERT_NO_FATAL_FAILURE(expectAgree(x, x, 1));
        ASSERT_NO_FATAL_FAILURE(expectAgree(x + "ab  ", x + "AB", 2));
    }
    for (std::string tail : {std::string(100, ' '), std::string(77, '\t'),
                             "\xE3\x80\x80 \t \xC2\xA0\x0B"s, "\x80\x80\x80"s, " \x85"s})
        for (std::size_t lead = 0; lead < 40; ++lead)
            ASSERT_NO_FATAL_FAILURE(
                expectAgree(std::string(lead, 'k') + tail, std::string(lead, 'k') + tail, lead));
}

// Random texts of up to 200 bytes, mostly UTF-8 lead and continuation bytes, ASCII and
// blanks: each against another and against a copy with one byte changed, on every
// kernel set from an alignment the count picks, with the conversions into rooms it picks
// too (every room for short texts).
TEST(Utf8Kernels, RandomTextsOnEveryKernel) {
    std::mt19937_64 rng(0x7e57);
    auto randomText = [&] {
        xrequiv::Bytes t(rng() % 200, 0);
        for (auto& b : t) {
            const auto r = rng();
            b = static_cast<std::uint8_t>((r & 3) == 0   ? r >> 8
                                          : (r & 3) == 1 ? 0x80 | (r >> 8 & 0x3F)
                                          : (r & 3) == 2 ? 0x20 + (r >> 8) % 0x5F
                                                         : 0xC2 + (r >> 8) % 0x33);
        }
        return t;
    };
    for (std::size_t i = 0; i < 1000; ++i) {
        const xrequiv::Bytes x = randomText(), y = randomText();
        xrequiv::Bytes z = x;
        if (!z.empty()) z[rng() % z.size()] ^= static_cast<std::uint8_t>(1 << rng() % 8);
        for (auto isa : xrequiv::kernels())
            ASSERT_EQ(xrequiv::kitMismatch(isa, x, y, i) + xrequiv::kitMismatch(isa, y, x, i) +
                          xrequiv::kitMismatch(isa, z, x, i) +
                          xrequiv::conversionMismatch(isa, x, i, i),
                      "")
                << "x = " << testing::PrintToString(x) << "\ny = " << testing::PrintToString(y);
    }
}

// Counting by continuation bytes of x, placed `shift` bytes past a 64-byte boundary, on
// every kernel set against the independent reference: the characters, and the bytes of
// all of them, of half and of one.
std::string continuationCountMismatch(const std::string& x, std::size_t shift) {
    const xrequiv::Bytes bytes(x.begin(), x.end());
    const xrequiv::Placed placed(bytes, shift);
    const std::uint8_t* p = placed.data();
    const std::uint64_t chars = xrref::numChars(p, x.size());
    for (auto isa : xrequiv::kernels()) {
        const auto numChars = isa == xrequiv::Isa::Avx512 ? xr::utf8::numChars<xrequiv::Isa::Avx512>
                              : isa == xrequiv::Isa::Avx2 ? xr::utf8::numChars<xrequiv::Isa::Avx2>
                                                          : xr::utf8::numChars<xrequiv::Isa::Sse2>;
        const auto byteLength =
            isa == xrequiv::Isa::Avx512 ? xr::utf8::byteLength<xrequiv::Isa::Avx512>
            : isa == xrequiv::Isa::Avx2 ? xr::utf8::byteLength<xrequiv::Isa::Avx2>
                                        : xr::utf8::byteLength<xrequiv::Isa::Sse2>;
        if (numChars(p, x.size()) != chars) return "numChars";
        for (std::uint64_t k : {chars, chars / 2, std::min<std::uint64_t>(chars, 1)})
            if (byteLength(p, k) != xrref::byteLength(p, k))
                return "byteLength " + std::to_string(k);
    }
    return "";
}

// Well-formed text of `size` bytes or a few more, of characters drawn from `mix`.
std::string randomText(const std::vector<std::string>& mix, std::size_t size, std::mt19937& rng) {
    std::string t;
    while (t.size() < size)
        t += mix[rng() % mix.size()];
    return t;
}

// Mixes of well-formed characters: one script of two-byte letters, one of three-byte ones,
// four-byte characters among shorter ones, and every length among ASCII words.
const std::vector<std::vector<std::string>> kMixes = {
    {"\xD0\x9F", "\xD1\x80", "\xD0\xB8", "\xD0\xB2", " ", "\xD7\x90", "\xCE\xB1"},
    {"\xE4\xB8\xAD", "\xE6\x96\x87", "\xE3\x80\x82", "\xEF\xBC\x8C", "\xE0\xA4\xB9"},
    {"\xF0\x9F\x98\x80", "\xF0\x9D\x84\x9E", "\xE2\x9D\xA4", "\xF4\x8F\xBF\xBF", "a"},
    {"word ", "a", ". ", "\xC3\xA9", "\xE2\x82\xAC", "\xF0\x9F\x98\x80", "\xD7\x90"}};

// What breaks counting by continuation bytes: stray continuation bytes alone, in twos and
// in a run of four; leads cut short by the text that follows; leads from F8 up with three,
// four and five continuation bytes; one continuation byte too many; a lead whose sequence
// an ASCII byte ends, and a stray continuation byte after such an ASCII byte; a lead
// whose sequence the next lead ends, with a stray continuation byte after that one's.
const std::vector<std::string> kBreaks = {"\x80",
                                          "\xBF\xBF",
                                          "\x80\x80\x80\x80",
                                          "\xC3",
                                          "\xE3\x81",
                                          "\xF0\x9F\x98",
                                          "\xF8",
                                          "\xF8\x88\x80\x80",
                                          "\xFB\x88\x80\x80\x80",
                                          "\xFC\x84\x80\x80\x80\x80",
                                          "\xFF\x80\x80\x80",
                                          "\xC3\xA9\xA9",
                                          "\xE3\x41\x42",
                                          "\xE0\x41\x80",
                                          "\xF0\x80\x41\x80",
                                          "\xF0\xC3\xA9\xA9",
                                          "\xE3\xC3\xA9\xA9"};

// The widest kernel set counts in steps of 976 bytes (16 windows of 61, after its first
// 64-byte group): each break at every offset of the first two steps and of the blocks,
// groups and windows before them, in random well-formed text of each mix, from two
// alignments.
TEST(Utf8Kernels, ContinuationCountsWithEachBreakAtEveryOffset) {
    std::mt19937 rng(17);
    for (const auto& mix : kMixes) {
        const std::string base = randomText(mix, 2400, rng);
        for (const std::string& piece : kBreaks)
            for (std::size_t at = 0; at < 2340; ++at)
                for (std::size_t shift : {std::size_t{0}, 3 + at % 61})
                    ASSERT_EQ(continuationCountMismatch(
                                  base.substr(0, at) + piece + base.substr(at), shift),
                              "")
                        << "piece " << testing::PrintToString(piece) << " at " << at << " shift "
                        << shift;
    }
}

// Random well-formed text of random length with up to four breaks at random places, and
// the same text whole; any alignment.
TEST(Utf8Kernels, ContinuationCountsOfRandomTextWithBreaks) {
    std::mt19937 rng(29);
    for (int round = 0; round < 4000; ++round) {
        const auto& mix = kMixes[rng() % kMixes.size()];
        std::string x = randomText(mix, rng() % 4000, rng);
        const std::size_t shift = rng() % 64;
        ASSERT_EQ(continuationCountMismatch(x, shift), "") << "round " << round << " whole";
        for (unsigned k = rng() % 5; k > 0; --k)
            x.insert(rng() % (x.size() + 1), kBreaks[rng() % kBreaks.size()]);
        ASSERT_EQ(continuationCountMismatch(x, shift), "") << "round " << round;
    }
}

// Long texts of stretches of different mixes (four-byte characters only, ASCII only, each
// of the mixes above), so that the counting kernels change between their ways of checking
// groups along a run, with breaks and special sequences at random places: every count,
// the trim and the sizes by characters, from any alignment.
TEST(Utf8Kernels, CountsOfLongTextsThatChangeScript) {
    std::vector<std::vector<std::string>> mixes = kMixes;
    mixes.push_back({"\xF0\x9F\x98\x80", "\xF0\x9D\x84\x9E"});
    mixes.push_back({"a", "b", " ", "."});
    std::vector<std::string> breaks = kBreaks;
    breaks.insert(breaks.end(), kSpecial.begin(), kSpecial.end());
    std::mt19937 rng(41);
    for (int round = 0; round < 400; ++round) {
        std::string x;
        for (unsigned k = 1 + rng() % 6; k > 0; --k)
            x += randomText(mixes[rng() % mixes.size()], rng() % 3000, rng);
        for (unsigned k = rng() % 4; k > 0; --k)
            x.insert(rng() % (x.size() + 1), breaks[rng() % breaks.size()]);
        const xrequiv::Bytes a(x.begin(), x.end());
        const std::size_t shift = rng() % 64;
        for (auto isa : xrequiv::kernels())
            ASSERT_EQ(xrequiv::countMismatch(isa, a, shift), "") << "round " << round;
    }
}

} // namespace
