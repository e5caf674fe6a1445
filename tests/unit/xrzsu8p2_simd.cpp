// The bulk steps over runs of four-byte characters and of surrogate pairs, against the
// character-by-character converters, on every kernel set: runs longer than two blocks with
// a breaking sequence before each unit, cut at every byte, and into every room. Then each
// set of pair kernels on its own against the surrogate arithmetic written out plainly: at
// every length, offset and room, and with every byte value at every place of four blocks.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "internal/utf8_surrogates.h"
#include "utf8_equivalence.h"

namespace {

using xrequiv::Bytes;
using xrequiv::Isa;

std::string mismatch(const Bytes& x, const std::vector<std::uint64_t>& rooms) {
    const xrequiv::Placed p(x, 0);
    std::string m;
    for (Isa isa : xrequiv::kernels())
        m += isa == Isa::Avx512 ? xrequiv::conversions<Isa::Avx512>(p, rooms)
             : isa == Isa::Avx2 ? xrequiv::conversions<Isa::Avx2>(p, rooms)
                                : xrequiv::conversions<Isa::Sse2>(p, rooms);
    return m;
}

// 37 characters over all planes, the first and last of the range among them.
Bytes fourByteRun() {
    Bytes run;
    std::uint32_t c = 0x10000;
    for (int i = 0; i < 37; ++i, c = 0x10000 + (c * 7919 + 104729) % 0x100000) {
        const std::uint32_t cp = i == 36 ? 0x10FFFF : c;
        for (int shift : {18, 12, 6, 0})
            run += static_cast<std::uint8_t>(shift == 18 ? 0xF0 | cp >> 18
                                                         : 0x80 | (cp >> shift & 0x3F));
    }
    return run;
}

// Not taken by a bulk step, or taken by it though the halves are odd (a high after a high).
const std::vector<std::string> kBreakers = {"\xF4\x90\x80\x80",
                                            "\xF0\x8F\xBF\xBF",
                                            "\xF5\x80\x80\x80",
                                            std::string(1, '\0'),
                                            "\xC0\x80",
                                            "\xED\xA0\xBD",
                                            "\xED\xB8\x80",
                                            "\xED\xA0\xBD\xED\xA0\xBD",
                                            "\xED\xB8\x80\xED\xA0\x80",
                                            "\xF0\x9F\x98\x41",
                                            "\xED\xA0\xBD\xED\xB8\x41",
                                            "\x80",
                                            "a"};

TEST(SurrogateRuns, BreakBeforeEveryUnitCutAndRoom) {
    Bytes run = fourByteRun();
    Bytes pairs(6 * run.size(), 0);
    std::uint64_t n = 0;
    ASSERT_EQ(xrequiv::ref::encode(run.data(), run.size(), pairs.data(), pairs.size(), &n, 0), 0);
    pairs.resize(n);
    for (const Bytes* body : {&run, &pairs}) {
        const std::size_t unit = body == &run ? 4 : 6;
        std::vector<std::uint64_t> every;
        for (std::uint64_t r = 0; r <= 3 * body->size() + 8; ++r)
            every.push_back(r);
        ASSERT_EQ(mismatch(*body, every), "");
        for (std::size_t cut = 0; cut < body->size(); ++cut)
            ASSERT_EQ(mismatch(body->substr(0, cut), xrequiv::roomsFor(body->substr(0, cut), cut)),
                      "")
                << "cut " << cut;
        for (const std::string& breaker : kBreakers)
            for (std::size_t at = 0; at <= body->size(); at += unit) {
                const Bytes x =
                    body->substr(0, at) + Bytes(breaker.begin(), breaker.end()) + body->substr(at);
                ASSERT_EQ(mismatch(x, xrequiv::roomsFor(x, at)), "")
                    << testing::PrintToString(breaker) << " at " << at;
            }
    }
}

// The pair kernels the CPU can run, by name.
std::vector<std::pair<const char*, const xr::utf8::PairKernels*>> pairKernelSets() {
    std::vector<std::pair<const char*, const xr::utf8::PairKernels*>> all{
        {"word", &xr::utf8::wordPairKernels()}};
    if (xr::utf8::cpuHas(Isa::Avx2)) all.push_back({"avx2", &xr::utf8::avx2PairKernels()});
    if (xr::utf8::cpuHas(Isa::Avx512)) all.push_back({"vbmi", &xr::utf8::vbmiPairKernels()});
    return all;
}

Bytes threeBytes(std::uint32_t v) {
    return {static_cast<std::uint8_t>(0xE0 | v >> 12),
            static_cast<std::uint8_t>(0x80 | (v >> 6 & 0x3F)),
            static_cast<std::uint8_t>(0x80 | (v & 0x3F))};
}

// The units a kernel must take from s[0..sL) into dL bytes, and what it writes for them.
Bytes expectEncode(const Bytes& s, std::size_t dL) {
    Bytes out;
    for (std::size_t i = 0; i + 4 <= s.size() && out.size() + 6 <= dL; i += 4) {
        const std::uint8_t* p = s.data() + i;
        if (p[0] < 0xF0 || p[0] > 0xF4 || (p[1] & 0xC0) != 0x80 || (p[2] & 0xC0) != 0x80 ||
            (p[3] & 0xC0) != 0x80)
            break;
        const std::uint32_t cp =
            (p[0] & 7u) << 18 | (p[1] & 0x3Fu) << 12 | (p[2] & 0x3Fu) << 6 | (p[3] & 0x3Fu);
        if (cp < 0x10000 || cp > 0x10FFFF) break;
        out += threeBytes(0xD800 + ((cp - 0x10000) >> 10));
        out += threeBytes(0xDC00 + ((cp - 0x10000) & 0x3FF));
    }
    return out;
}

// Either half's ten low bits count, whichever surrogate range it is in.
Bytes expectDecode(const Bytes& s, std::size_t dL) {
    Bytes out;
    auto half = [](const std::uint8_t* p, std::uint32_t& v) {
        v = (p[1] & 0x3Fu) << 6 | (p[2] & 0x3Fu);
        return p[0] == 0xED && p[1] >= 0xA0 && p[1] <= 0xBF && (p[2] & 0xC0) == 0x80;
    };
    for (std::size_t i = 0; i + 6 <= s.size() && out.size() + 4 <= dL; i += 6) {
        std::uint32_t h, l;
        if (!half(s.data() + i, h) || !half(s.data() + i + 3, l)) break;
        const std::uint32_t cp = 0x10000 + ((h & 0x3FF) << 10 | (l & 0x3FF));
        out += {static_cast<std::uint8_t>(0xF0 | cp >> 18),
                static_cast<std::uint8_t>(0x80 | (cp >> 12 & 0x3F)),
                static_cast<std::uint8_t>(0x80 | (cp >> 6 & 0x3F)),
                static_cast<std::uint8_t>(0x80 | (cp & 0x3F))};
    }
    return out;
}

// Runs a kernel on s placed `shift` bytes into a buffer of exactly its size, into dL bytes
// followed by guards; "" when it took the expected units and wrote their bytes and nothing
// else (the converters leave the rest of the room as it was).
std::string kernelMismatch(bool encode, const xr::utf8::PairKernels& k, const Bytes& s,
                           std::size_t dL, std::size_t shift = 0) {
    std::vector<std::uint8_t> in(shift + s.size());
    std::copy(s.begin(), s.end(), in.begin() + static_cast<std::ptrdiff_t>(shift));
    std::vector<std::uint8_t> out(dL + 16, xrequiv::kGuard);
    const Bytes want = encode ? expectEncode(s, dL) : expectDecode(s, dL);
    const std::size_t got =
        (encode ? k.encode : k.decode)(in.data() + shift, s.size(), out.data(), dL);
    Bytes expected = want + Bytes(dL + 16 - want.size(), xrequiv::kGuard);
    if (got != want.size() / (encode ? 6 : 4))
        return "took " + std::to_string(got) + " units, not " +
               std::to_string(want.size() / (encode ? 6 : 4));
    if (Bytes(out.begin(), out.end()) != expected) return "output bytes";
    return "";
}

// 80 units, five blocks of 16: characters of every plane, or their pairs.
Bytes longRun(bool pairs) {
    std::mt19937 rng(7);
    Bytes run;
    for (int i = 0; i < 80; ++i) {
        std::uint32_t cp = 0x10000 + rng() % 0x100000;
        if (i == 0) cp = 0x10000;
        if (i == 17) cp = 0x10FFFF;
        run += {static_cast<std::uint8_t>(0xF0 | cp >> 18),
                static_cast<std::uint8_t>(0x80 | (cp >> 12 & 0x3F)),
                static_cast<std::uint8_t>(0x80 | (cp >> 6 & 0x3F)),
                static_cast<std::uint8_t>(0x80 | (cp & 0x3F))};
    }
    return pairs ? expectEncode(run, ~std::size_t{0}) : run;
}

TEST(PairKernels, EveryLengthOffsetAndRoom) {
    for (const auto& [name, k] : pairKernelSets())
        for (bool encode : {true, false}) {
            const Bytes run = longRun(!encode);
            const std::size_t outUnit = encode ? 6 : 4, inUnit = encode ? 4 : 6;
            for (std::size_t len = 0; len <= run.size(); ++len) {
                const Bytes s = run.substr(0, len);
                const std::size_t full = len / inUnit * outUnit;
                for (std::size_t dL = 0; dL <= full + 8; ++dL)
                    ASSERT_EQ(kernelMismatch(encode, *k, s, dL), "")
                        << name << (encode ? " encode" : " decode") << " length " << len << " room "
                        << dL;
            }
            for (std::size_t shift = 1; shift < 64; ++shift)
                ASSERT_EQ(kernelMismatch(encode, *k, run, 2 * run.size(), shift), "")
                    << name << (encode ? " encode" : " decode") << " shift " << shift;
        }
}

// Each byte of each of the first 64 units takes every value, with the full run after it
// and with the run cut just after that unit.
TEST(PairKernels, EveryByteValueAtEveryPlace) {
    for (const auto& [name, k] : pairKernelSets())
        for (bool encode : {true, false}) {
            const Bytes run = longRun(!encode);
            const std::size_t inUnit = encode ? 4 : 6;
            for (std::size_t at = 0; at < 64 * inUnit; ++at)
                for (unsigned v = 0; v < 256; ++v) {
                    Bytes s = run;
                    s[at] = static_cast<std::uint8_t>(v);
                    const Bytes cut = s.substr(0, (at / inUnit + 1) * inUnit);
                    ASSERT_EQ(kernelMismatch(encode, *k, s, 2 * s.size()), "")
                        << name << (encode ? " encode" : " decode") << " byte " << at << " = " << v;
                    ASSERT_EQ(kernelMismatch(encode, *k, cut, 2 * cut.size()), "")
                        << name << (encode ? " encode" : " decode") << " cut, byte " << at << " = "
                        << v;
                }
        }
}

// The plane comes from the first two bytes together: every pair of values for them, in
// the first and the last unit of a block.
TEST(PairKernels, EveryLeadAndSecondByte) {
    for (const auto& [name, k] : pairKernelSets())
        for (std::size_t unit : {std::size_t{0}, std::size_t{15}, std::size_t{21}})
            for (unsigned b0 = 0xE8; b0 < 0x100; ++b0)
                for (unsigned b1 = 0; b1 < 0x100; ++b1) {
                    Bytes s = longRun(false);
                    s[4 * unit] = static_cast<std::uint8_t>(b0);
                    s[4 * unit + 1] = static_cast<std::uint8_t>(b1);
                    ASSERT_EQ(kernelMismatch(true, *k, s, 2 * s.size()), "")
                        << name << " unit " << unit << " " << b0 << " " << b1;
                }
}

} // namespace
