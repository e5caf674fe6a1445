#include "bench_support.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

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

} // namespace

const std::vector<CorpusFile>& corpus() {
    static const std::vector<CorpusFile> files = [] {
        std::vector<CorpusFile> out;
        for (const auto& p : filesIn(XRKIT_CORPUS_DIR)) {
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
        for (const auto& p : filesIn(std::filesystem::path(XRKIT_CORPUS_DIR) / "wikipedia_mars"))
            all += readFile(p);
        return all;
    }();
    return text;
}

void reportSideBySide(benchmark::State& state, double amount, Rate rate, double ours,
                      const std::vector<std::pair<std::string, double>>& peers) {
    const double total = amount * static_cast<double>(state.iterations());
    const auto perSecond = [&](double t) { return t > 0 ? total / t / rate.scale : 0.0; };
    state.counters[std::string("ours_") + rate.suffix] = perSecond(ours);
    double best = 0;
    for (const auto& [name, t] : peers) {
        state.counters[name + "_" + rate.suffix] = perSecond(t);
        if (best == 0 || t < best) best = t;
    }
    if (best > 0 && ours > 0) {
        state.counters["ratio"] = ours / best;
        state.counters["x_best"] = best / ours;
    }
}

} // namespace xrbench
