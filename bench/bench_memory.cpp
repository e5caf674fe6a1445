// The scans and compares beside the C library's memchr/memcmp (and wmemchr/wmemcmp for
// XRChar units) on the same buffers, in cache (4 KiB, 64 KiB) and out of it (32 MiB).
// Each benchmark times both in the same iteration; "ratio" is our time over the C
// library's (below 1: ours is faster).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <vector>

#include "bench_support.h"
#include "xr/xrmem.h"

namespace {

constexpr std::size_t kSizes[] = {4 << 10, 64 << 10, 32 << 20};

// size bytes of 'a' with a 'b' last, so that every scan reads the whole buffer.
struct Buffers {
    std::vector<char> a, b;
    std::vector<XRChar> ua, ub;
    explicit Buffers(std::size_t size)
        : a(size, 'a'), b(size, 'a'), ua(size / 4, 'a'), ub(size / 4, 'a') {
        a.back() = b.back() = 'b';
        b.back() = 'c';
        ua.back() = ub.back() = 'b';
        ub.back() = 'c';
    }
};

const Buffers& buffers(std::size_t size) {
    static std::vector<std::pair<std::size_t, Buffers>> made;
    for (auto& [s, b] : made)
        if (s == size) return b;
    return made.emplace_back(size, Buffers(size)).second;
}

// Small buffers run several times per iteration, so that each timing spans ~256 KiB.
template <class Ours, class Peer>
void sideBySide(benchmark::State& state, std::size_t bytes, Ours ours, Peer peer) {
    const std::size_t reps = std::max<std::size_t>(1, (256u << 10) / bytes);
    xrbench::sideBySide(state, static_cast<double>(bytes), xrbench::kGBps, reps, ours,
                        xrbench::Peer{"libc", peer});
}

void Scan_vs_memchr(benchmark::State& state) {
    const Buffers& b = buffers(static_cast<std::size_t>(state.range(0)));
    const std::size_t n = b.a.size();
    sideBySide(
        state, n, [&] { return skMemScan(b.a.data(), n, 'b'); },
        [&] { return std::memchr(b.a.data(), 'b', n); });
}

void NScan_vs_memchr(benchmark::State& state) {
    const Buffers& b = buffers(static_cast<std::size_t>(state.range(0)));
    const std::size_t n = b.a.size();
    sideBySide(
        state, n, [&] { return skMemNScan(b.a.data(), n, 'a'); },
        [&] { return std::memchr(b.a.data(), 'b', n); });
}

void Not_vs_memchr(benchmark::State& state) {
    const Buffers& b = buffers(static_cast<std::size_t>(state.range(0)));
    const std::size_t n = b.a.size() - 1; // all 'a': both read every byte
    sideBySide(
        state, n, [&] { return skMemNot('a', b.a.data(), n); },
        [&] { return std::memchr(b.a.data(), 'b', n); });
}

void Cmp_vs_memcmp(benchmark::State& state) {
    const Buffers& b = buffers(static_cast<std::size_t>(state.range(0)));
    const std::size_t n = b.a.size();
    sideBySide(
        state, 2 * n, [&] { return skMemCmp(b.a.data(), b.b.data(), n); },
        [&] { return std::memcmp(b.a.data(), b.b.data(), n); });
}

void TNScan_vs_wmemchr(benchmark::State& state) {
    const Buffers& b = buffers(static_cast<std::size_t>(state.range(0)));
    const std::size_t n = b.ua.size();
    const auto* w = reinterpret_cast<const wchar_t*>(b.ua.data());
    sideBySide(
        state, 4 * n, [&] { return skMemTNScan(b.ua.data(), static_cast<XRStrSize>(n), 'a'); },
        [&] { return std::wmemchr(w, L'b', n); });
}

void WCmp_vs_wmemcmp(benchmark::State& state) {
    const Buffers& b = buffers(static_cast<std::size_t>(state.range(0)));
    const std::size_t n = b.ua.size();
    const auto* wa = reinterpret_cast<const wchar_t*>(b.ua.data());
    const auto* wb = reinterpret_cast<const wchar_t*>(b.ub.data());
    sideBySide(
        state, 8 * n, [&] { return skWMemCmp(b.ua.data(), b.ub.data(), n); },
        [&] { return std::wmemcmp(wa, wb, n); });
}

void sizes(benchmark::internal::Benchmark* b) {
    for (std::size_t s : kSizes)
        b->Arg(static_cast<std::int64_t>(s));
    b->UseManualTime()->MinTime(xrbench::kMinTime);
}

BENCHMARK(Scan_vs_memchr)->Apply(sizes);
BENCHMARK(NScan_vs_memchr)->Apply(sizes);
BENCHMARK(Not_vs_memchr)->Apply(sizes);
BENCHMARK(Cmp_vs_memcmp)->Apply(sizes);
BENCHMARK(TNScan_vs_wmemchr)->Apply(sizes);
BENCHMARK(WCmp_vs_wmemcmp)->Apply(sizes);

} // namespace
