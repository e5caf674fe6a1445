// The UTF-8 kit beside its peers on every corpus file and on the large text, in one run:
// counting (xrzsu8NumChars against an ICU U8_FWD_1 loop and libunistring's u8_mbsnlen),
// byte order of identical texts (xrzsu8Compare against memcmp), case-blind order of a
// text against its ASCII-case-swapped copy (xrzsu8NormCompare with the ICU-backed host
// against strncasecmp and u_strCaseCompare) and CESU-8 both ways (xrzsu8Encode and
// xrzsu8Decode against ICU's converter). Counters: input GB/s of each, and x_best, how
// many times faster ours is than the best peer.
#include <benchmark/benchmark.h>

#include <unicode/uchar.h>
#include <unicode/ucnv.h>
#include <unicode/ustring.h>
#include <unicode/utf8.h>

#include <cstring>
#include <string>
#include <strings.h>
#include <vector>

#if XRKIT_HAVE_UNISTRING
#include <unistr.h>
#endif

#include "bench_support.h"
#include "xr/xrentry.h"
#include "xr/xrutf8.h"
#include "xrhost/host.h"
#include "xrhost/nls.h"

namespace {

using xrbench::input;
using xrbench::kGBps;
using xrbench::Peer;
using xrbench::repsFor;
using xrbench::sideBySide;
using xrbench::u8;

std::uint8_t* u8(std::string& s) {
    return reinterpret_cast<std::uint8_t*>(s.data());
}

std::int64_t icuCount(const std::string& s) {
    std::int64_t n = 0;
    for (int32_t i = 0, len = int32_t(s.size()); i < len; ++n)
        U8_FWD_1(s.data(), i, len);
    return n;
}

void Count(benchmark::State& state) {
    const std::string& s = input(state);
    sideBySide(
        state, double(s.size()), kGBps, repsFor(s), [&] { return xrzsu8NumChars(u8(s), s.size()); },
#if XRKIT_HAVE_UNISTRING
        Peer{"u8_mbsnlen", [&] { return u8_mbsnlen(u8(s), s.size()); }},
#endif
        Peer{"icu_U8_FWD_1", [&] { return icuCount(s); }});
}

void CompareIdentical(benchmark::State& state) {
    const std::string& s = input(state);
    const std::string copy = s;
    sideBySide(
        state, double(s.size()), kGBps, repsFor(s),
        [&] { return xrzsu8Compare(u8(s), s.size(), u8(copy), copy.size()); },
        Peer{"memcmp", [&] { return std::memcmp(s.data(), copy.data(), s.size()); }});
}

std::vector<UChar> utf16(const std::string& s) {
    std::vector<UChar> units(s.size() + 1);
    UErrorCode err = U_ZERO_ERROR;
    int32_t n = 0;
    u_strFromUTF8(units.data(), int32_t(units.size()), &n, s.data(), int32_t(s.size()), &err);
    units.resize(n);
    return units;
}

// Every ASCII letter in the other case; the rest of the text unchanged.
std::string swapAsciiCase(std::string t) {
    for (char& c : t)
        if ((c | 0x20) >= 'a' && (c | 0x20) <= 'z') c ^= 0x20;
    return t;
}

void NormCompareCaseSwapped(benchmark::State& state) {
    static xrhost::Host host;
    static xrhost::Nls nls(host);
    nls.attach();
    xrextent(host.handle());
    const std::string& s = input(state);
    const std::string other = swapAsciiCase(s);
    const std::vector<UChar> s16 = utf16(s), other16 = utf16(other);
    sideBySide(
        state, double(s.size()), kGBps, repsFor(s),
        [&] { return xrzsu8NormCompare(u8(s), s.size(), u8(other), other.size()); },
        Peer{"strncasecmp", [&] { return strncasecmp(s.data(), other.data(), s.size()); }},
        Peer{"u_strCaseCompare", [&] {
                 UErrorCode e = U_ZERO_ERROR;
                 return u_strCaseCompare(s16.data(), int32_t(s16.size()), other16.data(),
                                         int32_t(other16.size()), U_FOLD_CASE_DEFAULT, &e);
             }});
    xrextent(nullptr);
}

struct Converters {
    UConverter* utf8;
    UConverter* cesu8;
    Converters() {
        UErrorCode err = U_ZERO_ERROR;
        utf8 = ucnv_open("UTF-8", &err);
        cesu8 = ucnv_open("CESU-8", &err);
    }
    ~Converters() { ucnv_close(utf8), ucnv_close(cesu8); }
    std::size_t run(UConverter* from, UConverter* to, const std::string& in, std::string& out) {
        UErrorCode err = U_ZERO_ERROR;
        char* target = out.data();
        const char* source = in.data();
        ucnv_convertEx(to, from, &target, out.data() + out.size(), &source, in.data() + in.size(),
                       nullptr, nullptr, nullptr, nullptr, true, true, &err);
        return static_cast<std::size_t>(target - out.data());
    }
};

UTF8ByteLength ours(decltype(&xrzsu8Encode) f, const std::string& in, std::string& out) {
    UTF8ByteLength n = 0;
    f(const_cast<std::uint8_t*>(u8(in)), in.size(), u8(out), out.size(), &n, 0);
    return n;
}

void EncodeCesu8(benchmark::State& state) {
    const std::string& s = input(state);
    Converters cnv;
    std::string out(s.size() * 2, '\0'), peer(s.size() * 2, '\0');
    sideBySide(
        state, double(s.size()), kGBps, repsFor(s), [&] { return ours(xrzsu8Encode, s, out); },
        Peer{"icu_cesu8", [&] { return cnv.run(cnv.utf8, cnv.cesu8, s, peer); }});
}

void DecodeCesu8(benchmark::State& state) {
    const std::string& s = input(state);
    Converters cnv;
    std::string cesu(s.size() * 2, '\0');
    cesu.resize(cnv.run(cnv.utf8, cnv.cesu8, s, cesu));
    std::string out(cesu.size() + 16, '\0'), peer(cesu.size() + 16, '\0');
    sideBySide(
        state, double(cesu.size()), kGBps, repsFor(s),
        [&] { return ours(xrzsu8Decode, cesu, out); },
        Peer{"icu_cesu8", [&] { return cnv.run(cnv.cesu8, cnv.utf8, cesu, peer); }});
}

void files(benchmark::internal::Benchmark* b) {
    for (std::size_t i = 0; i <= xrbench::corpus().size(); ++i)
        b->Arg(static_cast<std::int64_t>(i));
    b->UseManualTime()->MinTime(xrbench::kMinTime);
}

BENCHMARK(Count)->Apply(files);
BENCHMARK(CompareIdentical)->Apply(files);
BENCHMARK(NormCompareCaseSwapped)->Apply(files);
BENCHMARK(EncodeCesu8)->Apply(files);
BENCHMARK(DecodeCesu8)->Apply(files);

} // namespace
