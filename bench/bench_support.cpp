#include "bench_support.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "internal/cpu.h"
#include "internal/cvtkernels.h"

namespace xrbench {
namespace {

std::string readFile(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::vector<std::filesystem::path> filesIn(const std::filesystem::path& dir) {
    std::vector<std::filesystem::path> files;
    if (!std::filesystem::is_directory(dir)) return files;
    for (const auto& e : std::filesystem::directory_iterator(dir))
        if (e.path().string().ends_with(".utf8.txt")) files.push_back(e.path());
    std::sort(files.begin(), files.end());
    return files;
}

// --corpus=DIR from the command line. Read from /proc, since the benchmarks are
// registered (and the corpus read) by static constructors, before main sees argv.
std::filesystem::path corpusOption() {
    std::ifstream in("/proc/self/cmdline", std::ios::binary);
    for (std::string arg; std::getline(in, arg, '\0');)
        if (arg.starts_with("--corpus=")) return arg.substr(9);
    return {};
}

} // namespace

const std::filesystem::path& corpusDir() {
    static const std::filesystem::path dir = [] {
        if (std::filesystem::path option = corpusOption(); !option.empty()) return option;
        if (const char* env = std::getenv("XRKIT_CORPUS"); env && *env)
            return std::filesystem::path(env);
        return std::filesystem::path(XRKIT_CORPUS_DIR);
    }();
    return dir;
}

bool takeCorpusOption(int& argc, char** argv) {
    int kept = 1;
    for (int i = 1; i < argc; ++i)
        if (std::strncmp(argv[i], "--corpus=", 9) != 0) argv[kept++] = argv[i];
    argc = kept;
    if (filesIn(corpusDir()).empty()) {
        std::fprintf(stderr,
                     "no corpus: %s holds no *.utf8.txt files; give a folder with "
                     "--corpus=DIR or XRKIT_CORPUS=DIR\n",
                     corpusDir().c_str());
        return false;
    }
    return true;
}

std::string cpuModel() {
    std::ifstream in("/proc/cpuinfo");
    for (std::string line; std::getline(in, line);)
        if (line.starts_with("model name")) return line.substr(line.find(':') + 2);
    return "unknown CPU";
}

const char* kernelName() {
    static constexpr const char* kNames[] = {"scalar", "sse2", "sse4.1", "avx2", "avx512-vbmi2"};
    return kNames[static_cast<int>(xr::cvt::currentKernel())];
}

void printMachine() {
    // In the context block of every report, console and JSON alike.
    benchmark::AddCustomContext("cpu_model", cpuModel());
    benchmark::AddCustomContext("kernels",
                                std::string(kernelName()) + " (conversion, validation, UTF-8 kit)");
    benchmark::AddCustomContext("corpus", corpusDir().string());
}

const std::vector<CorpusFile>& corpus() {
    static const std::vector<CorpusFile> files = [] {
        std::vector<CorpusFile> out;
        for (const auto& p : filesIn(corpusDir())) {
            std::string name = p.filename().string();
            name.resize(name.size() - std::string(".utf8.txt").size());
            out.push_back({name, readFile(p)});
        }
        return out;
    }();
    return files;
}

const std::string& largeText() {
    static const std::string text = [] {
        std::string all;
        for (const auto& p : filesIn(corpusDir() / "wikipedia_mars"))
            all += readFile(p);
        return all;
    }();
    return text;
}

const std::string& input(benchmark::State& state) {
    const auto i = static_cast<std::size_t>(state.range(0));
    const auto& files = corpus();
    if (i < files.size()) {
        state.SetLabel(files[i].name);
        return files[i].bytes;
    }
    state.SetLabel("wikipedia_mars");
    return largeText();
}

void reportSideBySide(benchmark::State& state, double amount, Rate rate, double ours,
                      const std::vector<std::pair<std::string, double>>& peers) {
    const double total = amount * static_cast<double>(state.iterations());
    const auto perSecond = [&](double t) { return t > 0 ? total / t / rate.scale : 0.0; };
    state.counters[std::string("ours_") + rate.suffix] = perSecond(ours);
    double best = 0;
    for (const auto& [name, t] : peers) {
        state.counters[name + "_" + rate.suffix] = perSecond(t);
        if (t > 0 && ours > 0) state.counters["x_" + name] = t / ours;
        // Floors (memcpy, memcmp) bound what is possible; they are no peer to beat.
        if (name.starts_with("floor_")) continue;
        if (best == 0 || t < best) best = t;
    }
    if (best > 0 && ours > 0) {
        state.counters["ratio"] = ours / best;
        state.counters["x_best"] = best / ours;
    }
}

} // namespace xrbench

// The main of every Google Benchmark program: the corpus option, the machine, the run.
int main(int argc, char** argv) {
    if (!xrbench::takeCorpusOption(argc, argv)) return 1;
    benchmark::Initialize(&argc, argv);
    xrbench::printMachine();
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
