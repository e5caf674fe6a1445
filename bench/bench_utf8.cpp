// The UTF-8 kit beside ICU on the same corpus text: counting (xrzsu8NumChars against
// a U8_FWD_1 loop), validation (_U8ValidCharSize steps against a U8_NEXT loop),
// case-blind order (xrzsu8NormCompare with the ICU-backed host against
// u_strCaseCompare over UTF-16) and CESU-8 (xrzsu8Encode/xrzsu8Decode against
// ucnv_convertEx with open converters). "ratio" is our time over ICU's.
#include <benchmark/benchmark.h>

#include <unicode/uchar.h>
#include <unicode/ucnv.h>
#include <unicode/ustring.h>
#include <unicode/utf8.h>

#include <chrono>
#include <string>
#include <vector>

#include "bench_support.h"
#include "xr/xrentry.h"
#include "xr/xrutf8.h"
#include "xrhost/host.h"
#include "xrhost/nls.h"

namespace {

using Clock = std::chrono::steady_clock;

template <class Ours, class Peer>
void sideBySide(benchmark::State& state, std::size_t bytes, Ours ours, Peer peer) {
    double tOurs = 0, tPeer = 0;
    for (auto _ : state) {
        const auto t0 = Clock::now();
        benchmark::DoNotOptimize(ours());
        const auto t1 = Clock::now();
        benchmark::DoNotOptimize(peer());
        const auto t2 = Clock::now();
        const double a = std::chrono::duration<double>(t1 - t0).count();
        tOurs += a;
        tPeer += std::chrono::duration<double>(t2 - t1).count();
        state.SetIterationTime(a);
    }
    const double total = static_cast<double>(bytes * state.iterations());
    state.counters["ours_MB_s"] = total / tOurs / 1e6;
    state.counters["icu_MB_s"] = total / tPeer / 1e6;
    state.counters["ratio"] = tOurs / tPeer;
}

const std::string& input(benchmark::State& state) {
    const auto i = static_cast<std::size_t>(state.range(0));
    const auto& files = xrbench::corpus();
    if (i < files.size()) {
        state.SetLabel(files[i].name);
        return files[i].bytes;
    }
    state.SetLabel("wikipedia_mars");
    return xrbench::largeText();
}

const std::uint8_t* u8(const std::string& s) { return reinterpret_cast<const std::uint8_t*>(s.data()); }

void Count_vs_U8_FWD_1(benchmark::State& state) {
    const std::string& s = input(state);
    sideBySide(
        state, s.size(), [&] { return xrzsu8NumChars(u8(s), s.size()); },
        [&] {
            std::int64_t n = 0;
            for (int32_t i = 0, len = int32_t(s.size()); i < len; ++n) U8_FWD_1(s.data(), i, len);
            return n;
        });
}

// std::string ends in a NUL, so the unbounded sizing never leaves the text.
void Validate_vs_U8_NEXT(benchmark::State& state) {
    const std::string& s = input(state);
    auto* p = const_cast<std::uint8_t*>(u8(s));
    sideBySide(
        state, s.size(),
        [&] {
            std::size_t bad = 0;
            XRBoolean valid;
            for (std::size_t i = 0; i < s.size(); bad += !valid) i += _U8ValidCharSize(p + i, &valid);
            return bad;
        },
        [&] {
            std::size_t bad = 0;
            for (int32_t i = 0, len = int32_t(s.size()); i < len;) {
                UChar32 c;
                U8_NEXT(s.data(), i, len, c);
                bad += c < 0;
            }
            return bad;
        });
}

struct Utf16 {
    std::vector<UChar> units;
    explicit Utf16(const std::string& s) : units(s.size() + 1) {
        UErrorCode err = U_ZERO_ERROR;
        int32_t n = 0;
        u_strFromUTF8(units.data(), int32_t(units.size()), &n, s.data(), int32_t(s.size()), &err);
        units.resize(n);
    }
};

// A text against its own upper-cased form: every cased letter differs.
void NormCompare_vs_u_strCaseCompare(benchmark::State& state) {
    static xrhost::Host host;
    static xrhost::Nls nls(host);
    nls.attach();
    xrextent(host.handle());
    const std::string& s = input(state);
    const Utf16 lower(s);
    std::vector<UChar> upper(lower.units.size() * 3 + 16);
    UErrorCode err = U_ZERO_ERROR;
    upper.resize(u_strToUpper(upper.data(), int32_t(upper.size()), lower.units.data(),
                              int32_t(lower.units.size()), "", &err));
    std::string upper8(upper.size() * 3 + 16, '\0');
    int32_t n8 = 0;
    err = U_ZERO_ERROR;
    u_strToUTF8(upper8.data(), int32_t(upper8.size()), &n8, upper.data(), int32_t(upper.size()), &err);
    upper8.resize(n8);
    sideBySide(
        state, s.size(),
        [&] { return xrzsu8NormCompare(u8(s), s.size(), u8(upper8), upper8.size()); },
        [&] {
            UErrorCode e = U_ZERO_ERROR;
            return u_strCaseCompare(lower.units.data(), int32_t(lower.units.size()), upper.data(),
                                    int32_t(upper.size()), U_FOLD_CASE_DEFAULT, &e);
        });
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

void Encode_vs_ucnv_CESU8(benchmark::State& state) {
    const std::string& s = input(state);
    Converters cnv;
    std::string out(s.size() * 2, '\0'), peer(s.size() * 2, '\0');
    sideBySide(
        state, s.size(),
        [&] {
            UTF8ByteLength n = 0;
            xrzsu8Encode(const_cast<std::uint8_t*>(u8(s)), s.size(),
                         reinterpret_cast<std::uint8_t*>(out.data()), out.size(), &n, 0);
            return n;
        },
        [&] { return cnv.run(cnv.utf8, cnv.cesu8, s, peer); });
}

void Decode_vs_ucnv_CESU8(benchmark::State& state) {
    const std::string& s = input(state);
    Converters cnv;
    std::string cesu(s.size() * 2, '\0');
    cesu.resize(cnv.run(cnv.utf8, cnv.cesu8, s, cesu));
    std::string out(cesu.size() + 16, '\0'), peer(cesu.size() + 16, '\0');
    sideBySide(
        state, cesu.size(),
        [&] {
            UTF8ByteLength n = 0;
            xrzsu8Decode(const_cast<std::uint8_t*>(u8(cesu)), cesu.size(),
                         reinterpret_cast<std::uint8_t*>(out.data()), out.size(), &n, 0);
            return n;
        },
        [&] { return cnv.run(cnv.cesu8, cnv.utf8, cesu, peer); });
}

void files(benchmark::internal::Benchmark* b) {
    for (std::size_t i = 0; i <= xrbench::corpus().size(); ++i) b->Arg(static_cast<std::int64_t>(i));
    b->UseManualTime();
}

BENCHMARK(Count_vs_U8_FWD_1)->Apply(files);
BENCHMARK(Validate_vs_U8_NEXT)->Apply(files);
BENCHMARK(NormCompare_vs_u_strCaseCompare)->Apply(files);
BENCHMARK(Encode_vs_ucnv_CESU8)->Apply(files);
BENCHMARK(Decode_vs_ucnv_CESU8)->Apply(files);

} // namespace
