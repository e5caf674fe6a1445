// Inputs for the benchmarks (the corpus files, read once) and the side-by-side timing
// that every benchmark uses: ours and each peer on the same input in every iteration.
#pragma once

#include <benchmark/benchmark.h>

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace xrbench {

struct CorpusFile {
    std::string name; // file name without directory and ".utf8.txt"
    std::string bytes;
};

// The corpus folder: --corpus=DIR (taken out of argv), else $XRKIT_CORPUS, else the
// folder beside the project. False, with a message, when it holds no corpus.
bool takeCorpusOption(int& argc, char** argv);
const std::filesystem::path& corpusDir();
// The CPU model and the kernel set the library chose, in the report's context.
std::string cpuModel();
const char* kernelName();
void printMachine();

// The lipsum files of the corpus folder (not the deliberately malformed stress file).
const std::vector<CorpusFile>& corpus();
// The wikipedia_mars texts concatenated: a large, out-of-cache input.
const std::string& largeText();
// The input of a benchmark whose argument is an index into corpus() (one past the last:
// largeText()), labelled with its name.
const std::string& input(benchmark::State& state);
// Enough repetitions per timing that a small file takes well over a timer tick.
inline std::size_t repsFor(const std::string& s) {
    return s.size() < (1u << 20) ? 8 : 1;
}
inline const std::uint8_t* u8(const std::string& s) {
    return reinterpret_cast<const std::uint8_t*>(s.data());
}

// The timed work of ours per benchmark. Each iteration also runs the peers, many times
// slower, so the benchmark library's default would make a run of every file take an hour.
inline constexpr double kMinTime = 0.05;

// How throughput is shown: counter suffix and the amount per displayed unit.
struct Rate {
    const char* suffix;
    double scale;
};
inline constexpr Rate kGBps{"GBps", 1e9};
inline constexpr Rate kMcharPerSec{"Mchar_s", 1e6};

// A peer: its counter name and a callable that does the same work as ours (and returns
// something, so that the work is not optimised away).
template <class F> struct Peer {
    const char* name;
    F run;
};
template <class F> Peer(const char*, F) -> Peer<F>;

// Counters: ours_<suffix> and <peer>_<suffix> (amount per second), x_<peer> = the peer's
// time over ours (above 1: ours is faster), "ratio" = our time over the best peer's and
// "x_best" = its inverse. Peers named floor_* are bounds, shown but not counted as best.
void reportSideBySide(benchmark::State& state, double amount, Rate rate, double ours,
                      const std::vector<std::pair<std::string, double>>& peers);

// Two untimed runs first, so that each contender starts with its data in cache and its
// vector units awake. One is not enough on the large text after a peer that streamed
// tens of megabytes: part of the text then still comes from memory in the timed run.
template <class F> double timed(std::size_t reps, F& f) {
    benchmark::DoNotOptimize(f());
    benchmark::DoNotOptimize(f());
    const auto t0 = std::chrono::steady_clock::now();
    for (std::size_t r = 0; r < reps; ++r)
        benchmark::DoNotOptimize(f());
    benchmark::ClobberMemory();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

// Each iteration runs ours `reps` times, then each peer as often; the manual iteration
// time is ours. `amount` is the work of one run (bytes or characters).
template <class Ours, class... F>
void sideBySide(benchmark::State& state, double amount, Rate rate, std::size_t reps, Ours ours,
                Peer<F>... peers) {
    double tOurs = 0;
    std::array<double, sizeof...(F)> tPeers{};
    for (auto _ : state) {
        const double t = timed(reps, ours);
        tOurs += t;
        std::size_t i = 0;
        ((tPeers[i++] += timed(reps, peers.run)), ...);
        state.SetIterationTime(t);
    }
    std::vector<std::pair<std::string, double>> named;
    std::size_t i = 0;
    ((named.emplace_back(peers.name, tPeers[i++])), ...);
    reportSideBySide(state, amount * static_cast<double>(reps), rate, tOurs, named);
}

} // namespace xrbench
