// xrkit dump against hexdump -C, line by line.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "run.h"

namespace {

using xrtest::run;
using xrtest::shellQuote;
using xrtest::splitLines;

const std::string kCli = XRKIT_CLI;

// Our lines carry a 16-digit absolute address where hexdump has an 8-digit offset;
// the rest of each line must be the same text. The input streams through a buffer in
// chunks (small ones too), and the addresses go on from chunk to chunk.
void expectLikeHexdump(const std::string& file, bool reverse, const std::string& chunk) {
    auto ours = run(chunk + kCli + " dump " + (reverse ? "--reverse " : "") + shellQuote(file));
    ASSERT_EQ(ours.exitCode, 0) << ours.err;
    auto ref = run("hexdump -v -C " + shellQuote(file));
    ASSERT_EQ(ref.exitCode, 0);
    auto want = splitLines(ref.out);
    if (!want.empty()) want.pop_back(); // the closing offset line
    auto got = splitLines(ours.out);
    if (reverse) std::reverse(got.begin(), got.end());
    ASSERT_EQ(got.size(), want.size()) << file;
    unsigned long long first = 0;
    for (std::size_t i = 0; i < got.size(); ++i) {
        ASSERT_GE(got[i].size(), 18u);
        EXPECT_EQ(got[i].substr(16), want[i].substr(8)) << file << " line " << i;
        const unsigned long long addr = std::stoull(got[i].substr(0, 16), nullptr, 16);
        if (i == 0) first = addr;
        EXPECT_EQ(addr, first + 16 * i) << "absolute, consecutive addresses";
    }
}

TEST(CliDump, MatchesHexdumpForwardAndReversed) {
    const std::string dir = xrtest::tempDir();
    std::mt19937 rng(7);
    std::vector<std::string> files = {xrtest::stressFile(),
                                      xrtest::dataFile("Korean-Lipsum.utf8.txt")};
    for (std::size_t size : {0u, 1u, 15u, 16u, 17u, 40u, 256u, 1000u}) {
        std::string bytes(size, '\0');
        for (std::size_t i = 0; i < size; ++i)
            bytes[i] = static_cast<char>(size == 256 ? i : rng());
        files.push_back(dir + "/bin" + std::to_string(size));
        xrtest::writeFile(files.back(), bytes);
    }
    for (const auto& f : files)
        for (bool reverse : {false, true})
            for (const char* chunk : {"", "XRKIT_CHUNK=40 "})
                expectLikeHexdump(f, reverse, chunk);
}

TEST(CliDump, StandardInputPrefixAndOwner) {
    const std::string input = "standard input, seventeen+";
    auto plain = run(kCli + " dump -", &input);
    ASSERT_EQ(plain.exitCode, 0) << plain.err;
    auto lines = splitLines(plain.out);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NE(lines[0].find("|standard input, |"), std::string::npos);

    auto labelled = run(kCli + " dump --prefix 'zoné:' --owner", &input);
    ASSERT_EQ(labelled.exitCode, 0) << labelled.err;
    for (const auto& l : splitLines(labelled.out)) {
        EXPECT_EQ(l.rfind("zoné: (owner 0x", 0), 0u) << l;
    }
}

// Errors and usage go to standard error, help and info to standard output.
TEST(CliDump, ErrorsUsageHelpAndInfo) {
    struct {
        std::string args;
        int code;
        std::string says;
    } cases[] = {
        {"dump /nonexistent/file", 1, "/nonexistent/file"},
        {"dump /", 1, "directory"},
        {"dump --bogus", 2, "usage: xrkit dump"},
        {"dump a b", 2, "usage: xrkit dump"},
        {"dump --prefix", 2, "needs a value"},
        {"frobnicate", 2, "unknown command"},
        {"", 2, "a command is missing"},
        {"dump --help", 0, "--reverse"},
        {"info", 0, "interface            9.1"},
        {"info", 0, "\"V.04.00M0P10072020\""},
        {"info", 0, "\"Thu Jan  7 17:02:27 EST 2021\""},
    };
    for (const auto& c : cases) {
        auto r = run(kCli + " " + c.args);
        EXPECT_EQ(r.exitCode, c.code) << c.args;
        EXPECT_NE((c.code ? r.err : r.out).find(c.says), std::string::npos)
            << c.args << ": " << r.err;
    }
}

} // namespace
