// Runs a fuzz target without libFuzzer: every file of the given folders or paths,
// then a fixed series of pseudo-random inputs (XRKIT_REPLAY_RANDOM, default 20000).
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

void runFile(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                    std::istreambuf_iterator<char>());
    LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
}

} // namespace

int main(int argc, char** argv) {
    std::size_t files = 0;
    for (int i = 1; i < argc; ++i) {
        std::filesystem::path p = argv[i];
        if (std::filesystem::is_directory(p)) {
            for (const auto& e : std::filesystem::recursive_directory_iterator(p))
                if (e.is_regular_file()) runFile(e.path()), ++files;
        } else if (std::filesystem::exists(p)) {
            runFile(p), ++files;
        }
    }
    const char* env = std::getenv("XRKIT_REPLAY_RANDOM");
    const long count = env ? std::atol(env) : 20000;
    std::mt19937_64 rng(0x5eed);
    std::vector<std::uint8_t> buf;
    for (long n = 0; n < count; ++n) {
        buf.resize(rng() % 256);
        // Mostly ASCII and UTF-8 lead/continuation bytes, some anything.
        for (auto& b : buf) {
            const auto r = rng();
            b = static_cast<std::uint8_t>((r & 3) == 0   ? r >> 8
                                          : (r & 3) == 1 ? 0x80 | (r >> 8 & 0x3F)
                                          : (r & 3) == 2 ? 0x20 + (r >> 8) % 0x5F
                                                         : 0xC2 + (r >> 8) % 0x33);
        }
        LLVMFuzzerTestOneInput(buf.data(), buf.size());
    }
    std::printf("replayed %zu files and %ld random inputs\n", files, count);
    return 0;
}
