// xrkit validate and xrkit count end to end: the corpus, iconv's verdict on random
// bytes, and the offsets and counts of small malformed inputs.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "run.h"
#include "utf8_reference.h"

namespace {

using xrtest::run;
using xrtest::shellQuote;

const std::string kCli = XRKIT_CLI;

TEST(CliValidate, CorpusIsWellFormed) {
    for (const auto& e : std::filesystem::recursive_directory_iterator(XRKIT_CORPUS_DIR)) {
        if (!e.is_regular_file() || e.path().extension() != ".txt") continue;
        auto r = run(kCli + " validate " + shellQuote(e.path().string()));
        EXPECT_EQ(r.exitCode, 0) << e.path() << r.err;
        EXPECT_NE(r.out.find("well-formed UTF-8, " + std::to_string(e.file_size()) + " bytes"),
                  std::string::npos)
            << r.out;
    }
}

TEST(CliValidate, NamesTheFirstBadSequence) {
    struct Case {
        std::string input, message;
    } cases[] = {
        {"ab\xE0\x80\x80z", "byte offset 2: malformed UTF-8 sequence E0 80 80"},
        {"abc\xED\xA0\x80", "byte offset 3: malformed UTF-8 sequence ED A0 80"},
        {"\xC3\xA9\xC3", "byte offset 2: malformed UTF-8 sequence C3"},
        {"\x80", "byte offset 0: malformed UTF-8 sequence 80"},
        {"ok\xF4\x90\x80\x80", "byte offset 2: malformed UTF-8 sequence F4 90 80 80"},
        {"\xE3\x41\x42", "byte offset 0: malformed UTF-8 sequence E3"},
        {"x\xF0", "byte offset 1: malformed UTF-8 sequence F0"},
    };
    for (const auto& c : cases) {
        auto r = run(kCli + " validate -", &c.input);
        EXPECT_EQ(r.exitCode, 1) << testing::PrintToString(c.input);
        EXPECT_NE(r.err.find("<stdin>: " + c.message), std::string::npos) << r.err;
    }
    auto missing = run(kCli + " validate /nonexistent/file");
    EXPECT_EQ(missing.exitCode, 1);
    auto extra = run(kCli + " validate a b");
    EXPECT_EQ(extra.exitCode, 2);
}

// Agrees with iconv about random inputs near the end of a page-sized file.
TEST(CliValidate, AgreesWithIconv) {
    const std::string dir = xrtest::tempDir();
    std::mt19937_64 rng(5);
    for (int i = 0; i < 60; ++i) {
        std::string bytes(4090 + rng() % 12, 'a');
        for (int k = 0; k < 3; ++k) {
            const std::size_t at = bytes.size() - 1 - rng() % 8;
            bytes[at] = static_cast<char>(0x80 + rng() % 0x80);
        }
        const std::string file = dir + "/in" + std::to_string(i);
        xrtest::writeFile(file, bytes);
        auto ours = run(kCli + " validate " + shellQuote(file));
        auto ref = run("iconv -f UTF-8 -t UTF-8 " + shellQuote(file) + " >/dev/null 2>&1");
        EXPECT_EQ(ours.exitCode == 0, ref.exitCode == 0) << ours.err;
    }
}

TEST(CliCount, BothRulesAndInvalidSequences) {
    const std::string input = "a\xC3\xA9\xE3\x41\x42\x80\xF0\x9F\x98\x80";
    const auto* p = reinterpret_cast<const std::uint8_t*>(input.data());
    auto r = run(kCli + " count", &input);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const std::string want = "bytes: 11\ncharacters: " + std::to_string(xrref::numChars(p, 11)) +
                             "\nannounced: " + std::to_string(xrref::slenb(p, 11)) +
                             "\ninvalid: 2\n";
    EXPECT_EQ(r.out, want);
    EXPECT_EQ(xrref::numChars(p, 11), 7u);
    EXPECT_EQ(xrref::slenb(p, 11), 5u);

    const std::string empty;
    auto none = run(kCli + " count -", &empty);
    EXPECT_EQ(none.out, "bytes: 0\ncharacters: 0\nannounced: 0\ninvalid: 0\n");
}

} // namespace

namespace {

// convert's cesu-8 agrees with ICU's uconv, and both modified forms round-trip, also
// with chunk edges inside surrogate pairs.
TEST(CliConvertModified, Cesu8LikeUconvAndRoundTrips) {
    const std::string dir = xrtest::tempDir();
    for (const char* name : {"Emoji-Lipsum.utf8.txt", "Hindi-Lipsum.utf8.txt", "UTF-8-test.txt"}) {
        const std::string file = std::string(XRKIT_CORPUS_DIR) + "/" + name;
        const std::string cesu = dir + "/cesu", mutf = dir + "/mutf";
        ASSERT_EQ(run(kCli + " convert -f utf-8 -t cesu-8 " + shellQuote(file) + " " + cesu).exitCode, 0);
        EXPECT_EQ(run("(uconv -f UTF-8 -t CESU-8 " + shellQuote(file) + " | cmp -s - " + cesu + ")").exitCode, 0)
            << name;
        for (const char* chunk : {"", "XRKIT_CONVERT_CHUNK=17 "}) {
            auto back = run(std::string(chunk) + kCli + " convert -f cesu-8 -t utf-8 " + cesu);
            EXPECT_EQ(back.out, xrtest::readFile(file)) << name << chunk;
        }
        ASSERT_EQ(run(kCli + " convert -f utf-8 -t mutf-8 " + shellQuote(file) + " " + mutf).exitCode, 0);
        auto back = run(kCli + " convert -f mutf-8 -t utf-8 " + mutf);
        EXPECT_EQ(back.out, xrtest::readFile(file)) << name;
    }
    const std::string nul("a\0b\xF0\x9F\x98\x80", 7);
    auto m = run(kCli + " convert -f utf-8 -t mutf-8", &nul);
    EXPECT_EQ(m.out, std::string("a\xC0\x80" "b\xED\xA0\xBD\xED\xB8\x80"));
    const std::string fourByte = "x\xF0\x9F\x98\x80";
    auto bad = run(kCli + " convert -f cesu-8 -t utf-8", &fourByte);
    EXPECT_EQ(bad.exitCode, 1);
    EXPECT_NE(bad.err.find("byte offset 1"), std::string::npos) << bad.err;
}

} // namespace
