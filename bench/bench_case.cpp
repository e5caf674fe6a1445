// Case mapping and case-blind comparison beside ICU on the same text: xrzstup/xrzstlo
// (over XRChar) against u_strToUpper/u_strToLower (over UTF-16), xrzsncmp against
// u_strCaseCompare. Each benchmark times both in the same iteration; "ratio" is our
// time over ICU's (below 1: ours is faster). Both sides write a fresh output buffer.
#include <benchmark/benchmark.h>

#include <unicode/uchar.h>
#include <unicode/ustring.h>

#include <cstring>
#include <vector>

#include "bench_support.h"
#include "xr/xrcase.h"
#include "xr/xrentry.h"
#include "xrhost/host.h"
#include "xrhost/nls.h"
#include "xrhost/text.h"

namespace {

struct Text {
    std::vector<XRChar> units, out;
    std::vector<UChar> u16, u16out;
    explicit Text(const std::string& utf8) : units(xrhost::fromUtf8(utf8)), out(units.size()) {
        int32_t len = 0;
        UErrorCode err = U_ZERO_ERROR;
        u_strFromUTF8(nullptr, 0, &len, utf8.data(), int32_t(utf8.size()), &err);
        u16.resize(len);
        err = U_ZERO_ERROR;
        u_strFromUTF8(u16.data(), len, &len, utf8.data(), int32_t(utf8.size()), &err);
        u16out.resize(u16.size() * 3 + 16);
    }
};

const Text& text(std::size_t i) {
    static std::vector<Text> texts = [] {
        std::vector<Text> t;
        for (const auto& f : xrbench::corpus())
            t.emplace_back(f.bytes);
        return t;
    }();
    return texts[i];
}

// With a host whose NLS extension is ICU-backed, or with no host (the tables alone).
void useHost(bool withNls) {
    static xrhost::Host host;
    static xrhost::Nls nls(host);
    nls.attach();
    xrextent(withNls ? host.handle() : nullptr);
}

template <class Ours, class Peer>
void sideBySide(benchmark::State& state, std::size_t chars, Ours ours, Peer peer) {
    xrbench::sideBySide(state, static_cast<double>(chars), xrbench::kMcharPerSec, 1, ours,
                        xrbench::Peer{"icu", peer});
}

template <bool Upper> void mapping(benchmark::State& state, bool withNls) {
    useHost(withNls);
    auto& t = const_cast<Text&>(text(static_cast<std::size_t>(state.range(0))));
    const auto n = t.units.size();
    state.SetLabel(xrbench::corpus()[state.range(0)].name + (withNls ? " nls" : " tables"));
    sideBySide(
        state, n,
        [&] {
            std::memcpy(t.out.data(), t.units.data(), n * sizeof(XRChar));
            (Upper ? xrzstup : xrzstlo)(t.out.data(), XRStrSize(n));
            return t.out[n / 2];
        },
        [&] {
            UErrorCode err = U_ZERO_ERROR;
            return (Upper ? u_strToUpper : u_strToLower)(t.u16out.data(), int32_t(t.u16out.size()),
                                                         t.u16.data(), int32_t(t.u16.size()), "",
                                                         &err);
        });
    xrextent(nullptr);
}

void Upper_vs_u_strToUpper(benchmark::State& s) {
    mapping<true>(s, false);
}
void Lower_vs_u_strToLower(benchmark::State& s) {
    mapping<false>(s, false);
}
void UpperNls_vs_u_strToUpper(benchmark::State& s) {
    mapping<true>(s, true);
}

// A text against its own upper-cased form: every unit that has case differs raw.
void Sncmp_vs_u_strCaseCompare(benchmark::State& state) {
    auto& t = const_cast<Text&>(text(static_cast<std::size_t>(state.range(0))));
    const auto n = t.units.size();
    std::vector<XRChar> upper = t.units;
    xrzstup(upper.data(), XRStrSize(n));
    std::vector<UChar> upper16(t.u16.size() * 3 + 16);
    UErrorCode err = U_ZERO_ERROR;
    const int32_t n16 = u_strToUpper(upper16.data(), int32_t(upper16.size()), t.u16.data(),
                                     int32_t(t.u16.size()), "", &err);
    state.SetLabel(xrbench::corpus()[state.range(0)].name);
    sideBySide(
        state, n,
        [&] { return xrzsncmp(t.units.data(), XRStrSize(n), upper.data(), XRStrSize(n)); },
        [&] {
            UErrorCode e = U_ZERO_ERROR;
            return u_strCaseCompare(t.u16.data(), int32_t(t.u16.size()), upper16.data(), n16,
                                    U_FOLD_CASE_DEFAULT, &e);
        });
}

void files(benchmark::internal::Benchmark* b) {
    for (std::size_t i = 0; i < xrbench::corpus().size(); ++i)
        b->Arg(static_cast<std::int64_t>(i));
    b->UseManualTime()->MinTime(xrbench::kMinTime);
}

BENCHMARK(Upper_vs_u_strToUpper)->Apply(files);
BENCHMARK(Lower_vs_u_strToLower)->Apply(files);
BENCHMARK(UpperNls_vs_u_strToUpper)->Apply(files);
BENCHMARK(Sncmp_vs_u_strCaseCompare)->Apply(files);

} // namespace
