// Ours beside the fastest SIMD peer (simdutf, built only when its folder is there) and
// beside the floors memcpy and memcmp, on every corpus file and the large mixed text, in
// one run: strict validation, UTF-8 to UTF-32 and back through the drivers, counting,
// case-blind compare of identical texts, and the strict UTF-8 <-> UTF-16LE conversions
// of the command-line tool. The peer has no big-endian UTF-32: it gets the little-endian
// copy (no byte swap) where ours works on big-endian units.
// Counters: GB/s of input for each; x_<peer> = how many times faster ours is.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "bench_support.h"
#include "internal/utf_strict.h"
#include "simdutf.h"
#include "xr/xrconv.h"
#include "xr/xrentry.h"
#include "xr/xrutf8.h"
#include "xrhost/host.h"
#include "xrhost/nls.h"

namespace {

using xr::strict::Encoding;
using xrbench::input;
using xrbench::kGBps;
using xrbench::Peer;
using xrbench::repsFor;
using xrbench::sideBySide;
using xrbench::u8;

XRUtf8* mut(const std::string& s) {
    return const_cast<XRUtf8*>(u8(s));
}

// The text as UTF-32 (little- or big-endian) or UTF-16LE, by the peer's own conversion.
std::string utf32(const std::string& s, bool big) {
    std::vector<char32_t> units(s.size());
    units.resize(simdutf::convert_utf8_to_utf32(s.data(), s.size(), units.data()));
    std::string out(reinterpret_cast<const char*>(units.data()), units.size() * 4);
    if (big)
        for (std::size_t i = 0; i < out.size(); i += 4)
            std::swap(out[i], out[i + 3]), std::swap(out[i + 1], out[i + 2]);
    return out;
}
std::u16string utf16le(const std::string& s) {
    std::u16string units(s.size(), u'\0');
    units.resize(simdutf::convert_utf8_to_utf16le(s.data(), s.size(), units.data()));
    return units;
}

void Validate(benchmark::State& state) {
    const std::string& s = input(state);
    sideBySide(
        state, double(s.size()), kGBps, repsFor(s),
        [&] { return xr::strict::validateUtf8(u8(s), s.size()).in; },
        Peer{"validate_utf8", [&] { return simdutf::validate_utf8(s.data(), s.size()); }});
}

void ToUtf32(benchmark::State& state) {
    const std::string& s = input(state);
    std::string out(4 * s.size() + 64, '\0');
    sideBySide(
        state, double(s.size()), kGBps, repsFor(s),
        [&] {
            XRMemSize used = 0;
            ConvertToUTF32(mut(s), s.size(), mut(out), out.size(), &used, UTF8_UTF32, COPY_UTF32);
            return used;
        },
        Peer{"convert_utf8_to_utf32",
             [&] {
                 return simdutf::convert_utf8_to_utf32(s.data(), s.size(),
                                                       reinterpret_cast<char32_t*>(out.data()));
             }},
        Peer{"floor_memcpy", [&] { return std::memcpy(out.data(), s.data(), s.size()); }});
}

void FromUtf32(benchmark::State& state) {
    const std::string& s = input(state);
    const std::string big = utf32(s, true), little = utf32(s, false);
    std::string out(s.size() + 64, '\0');
    sideBySide(
        state, double(big.size()), kGBps, repsFor(s),
        [&] {
            XRMemSize used = 0;
            ConvertFromUTF32(mut(big), big.size(), mut(out), out.size(), &used, UTF32_UTF8,
                             COPY_UTF32b);
            return used;
        },
        Peer{"convert_utf32_to_utf8",
             [&] {
                 return simdutf::convert_utf32_to_utf8(
                     reinterpret_cast<const char32_t*>(little.data()), little.size() / 4,
                     out.data());
             }},
        Peer{"floor_memcpy", [&] { return std::memcpy(out.data(), little.data(), s.size()); }});
}

void Count(benchmark::State& state) {
    const std::string& s = input(state);
    sideBySide(
        state, double(s.size()), kGBps, repsFor(s), [&] { return xrzsu8NumChars(u8(s), s.size()); },
        Peer{"count_utf8", [&] { return simdutf::count_utf8(s.data(), s.size()); }},
        Peer{"UTF8_SLENB", [&] { return UTF8_SLENB(mut(s), s.size()); }});
}

void NormCompareIdentical(benchmark::State& state) {
    static xrhost::Host host;
    static xrhost::Nls nls(host);
    nls.attach();
    xrextent(host.handle());
    const std::string& s = input(state);
    const std::string copy = s;
    sideBySide(
        state, double(s.size()), kGBps, repsFor(s),
        [&] { return xrzsu8NormCompare(u8(s), s.size(), u8(copy), copy.size()); },
        Peer{"floor_memcmp", [&] { return std::memcmp(s.data(), copy.data(), s.size()); }});
    xrextent(nullptr);
}

void StrictUtf8ToUtf16le(benchmark::State& state) {
    const std::string& s = input(state);
    std::string out(2 * s.size() + 64, '\0');
    sideBySide(
        state, double(s.size()), kGBps, repsFor(s),
        [&] {
            return xr::strict::convert(Encoding::Utf8, Encoding::Utf16Le, u8(s), s.size(),
                                       reinterpret_cast<std::uint8_t*>(out.data()), out.size())
                .out;
        },
        Peer{"convert_utf8_to_utf16le",
             [&] {
                 return simdutf::convert_utf8_to_utf16le(s.data(), s.size(),
                                                         reinterpret_cast<char16_t*>(out.data()));
             }},
        Peer{"floor_memcpy", [&] { return std::memcpy(out.data(), s.data(), s.size()); }});
}

void StrictUtf16leToUtf8(benchmark::State& state) {
    const std::string& s = input(state);
    const std::u16string u = utf16le(s);
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(u.data());
    std::string out(std::max(s.size(), 2 * u.size()) + 64, '\0');
    sideBySide(
        state, double(2 * u.size()), kGBps, repsFor(s),
        [&] {
            return xr::strict::convert(Encoding::Utf16Le, Encoding::Utf8, bytes, 2 * u.size(),
                                       reinterpret_cast<std::uint8_t*>(out.data()), out.size())
                .out;
        },
        Peer{"convert_utf16le_to_utf8",
             [&] { return simdutf::convert_utf16le_to_utf8(u.data(), u.size(), out.data()); }},
        Peer{"floor_memcpy", [&] { return std::memcpy(out.data(), u.data(), 2 * u.size()); }});
}

void files(benchmark::internal::Benchmark* b) {
    for (std::size_t i = 0; i <= xrbench::corpus().size(); ++i)
        b->Arg(static_cast<std::int64_t>(i));
    b->UseManualTime()->MinTime(xrbench::kMinTime);
}

BENCHMARK(Validate)->Apply(files);
BENCHMARK(ToUtf32)->Apply(files);
BENCHMARK(FromUtf32)->Apply(files);
BENCHMARK(Count)->Apply(files);
BENCHMARK(NormCompareIdentical)->Apply(files);
BENCHMARK(StrictUtf8ToUtf16le)->Apply(files);
BENCHMARK(StrictUtf16leToUtf8)->Apply(files);

} // namespace
