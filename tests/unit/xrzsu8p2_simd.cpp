// The bulk steps over runs of four-byte characters and of surrogate pairs, against the
// character-by-character converters, on every kernel set: runs longer than two blocks with
// a breaking sequence before each unit, cut at every byte, and into every room.
#include <gtest/gtest.h>

#include <string>
#include <vector>

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

} // namespace
