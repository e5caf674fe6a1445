// xrkit validate and xrkit count end to end: the test texts and the stress file, iconv's verdict on
// random bytes, and the offsets and counts of small malformed inputs; and xrkit convert's cesu-8
// and mutf-8 against ICU's uconv and back.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "run.h"

namespace {

using xrtest::run;
using xrtest::shellQuote;

const std::string kCli = XRKIT_CLI;

TEST(CliValidate, NamesTheFirstBadSequence) {
    const std::pair<std::string, std::string> cases[] = {
        {"ab\xE0\x80\x80z", "ill-formed UTF-8 sequence E0 at byte offset 2"},
        {"abc\xED\xA0\x80", "ill-formed UTF-8 sequence ED at byte offset 3"},
        {"\xC3\xA9\xC3", "incomplete UTF-8 sequence C3 at the end of the input (byte offset 2)"},
        {"\x80", "ill-formed UTF-8 sequence 80 at byte offset 0"},
        {"ok\xF4\x90\x80\x80", "ill-formed UTF-8 sequence F4 at byte offset 2"},
        {"\xE3\x41\x42", "ill-formed UTF-8 sequence E3 at byte offset 0"},
        {"\xE2\x82\x41", "ill-formed UTF-8 sequence E2 82 at byte offset 0"},
        {"x\xF0\x9F\x98",
         "incomplete UTF-8 sequence F0 9F 98 at the end of the input (byte offset 1)"}};
    for (const auto& [input, message] : cases) {
        auto r = run(kCli + " validate -", &input);
        EXPECT_EQ(r.exitCode, 1) << testing::PrintToString(input);
        EXPECT_EQ(r.out, "standard input: " + message + "\n");
    }
    EXPECT_EQ(run(kCli + " validate /nonexistent/file").exitCode, 1);
}

// Every text file is well-formed; random inputs with bad bytes near the end of a
// page-sized file get iconv's verdict. A well-formed file gets its size reported.
TEST(CliValidate, CorpusAndIconvVerdicts) {
    std::vector<std::string> files = xrtest::textFiles();
    const std::size_t corpus = files.size();
    const std::string dir = xrtest::tempDir();
    std::mt19937_64 rng(5);
    for (int i = 0; i < 60; ++i) {
        std::string bytes(4090 + rng() % 12, 'a');
        for (int k = 0; k < 3; ++k)
            bytes[bytes.size() - 1 - rng() % 8] = static_cast<char>(0x80 + rng() % 0x80);
        files.push_back(dir + "/in" + std::to_string(i));
        xrtest::writeFile(files.back(), bytes);
    }
    for (std::size_t i = 0; i < files.size(); ++i) {
        const std::string file = shellQuote(files[i]),
                          size = std::to_string(std::filesystem::file_size(files[i]));
        auto ours = run(kCli + " validate " + file),
             ref = run("iconv -f UTF-8 -t UTF-8 " + file + " >/dev/null 2>&1");
        EXPECT_EQ(ours.exitCode, i < corpus || ref.exitCode == 0 ? 0 : 1) << files[i] << ours.err;
        EXPECT_TRUE(ours.exitCode ||
                    ours.out.find("well-formed UTF-8, " + size + " bytes") != std::string::npos);
    }
}

// The decoder stress file is malformed from byte 4461 on (where Python's strict decoder
// stops too): validate names that offset, and convert stops there and leaves OUT as it was.
TEST(CliValidate, StressFileStopsAtItsFirstMalformedByte) {
    const std::string file = shellQuote(xrtest::stressFile()),
                      at = std::to_string(xrtest::kStressBad);
    auto v = run(kCli + " validate " + file);
    EXPECT_EQ(v.exitCode, 1);
    EXPECT_NE(v.out.find("byte offset " + at), std::string::npos) << v.out;
    const std::string out = xrtest::tempDir() + "/stress.out";
    xrtest::writeFile(out, "kept");
    auto c = run(kCli + " convert -f utf-8 -t utf-16le " + file + " " + out);
    EXPECT_EQ(c.exitCode, 1);
    EXPECT_NE(c.err.find("byte offset " + at), std::string::npos) << c.err;
    EXPECT_EQ(xrtest::readFile(out), "kept");
}

// By continuation bytes: a | C3 A9 | E3 | 41 | 42 | 80 | F0 9F 98 80, 7 characters; by
// announced length: a | C3 A9 | E3 41 42 | 80 | F0 9F 98 80, 5; ill-formed: E3 and 80.
TEST(CliCount, BothRulesAndInvalidSequences) {
    const std::string input = "a\xC3\xA9\xE3\x41\x42\x80\xF0\x9F\x98\x80", empty;
    auto r = run(kCli + " count", &input), none = run(kCli + " count -", &empty);
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_EQ(r.out, "standard input: 11 bytes, 7 characters, 5 announced, 2 invalid\n");
    EXPECT_EQ(none.exitCode, 0);
    EXPECT_EQ(none.out, "standard input: 0 bytes, 0 characters, 0 announced, 0 invalid\n");
}

// convert's cesu-8 agrees with ICU's uconv, and both modified forms round-trip, also
// with chunk edges inside surrogate pairs.
TEST(CliConvertModified, Cesu8LikeUconvAndRoundTrips) {
    for (const std::string name : {"Emoji-Lipsum.utf8.txt", "Hindi-Lipsum.utf8.txt"}) {
        const std::string path = xrtest::dataFile(name), file = shellQuote(path),
                          text = xrtest::readFile(path),
                          cesu = run(kCli + " convert -f utf-8 -t cesu-8 " + file).out,
                          mutf = run(kCli + " convert -f utf-8 -t mutf-8 " + file).out;
        EXPECT_TRUE(cesu == run("uconv -f UTF-8 -t CESU-8 " + file).out) << name;
        for (const char* chunk : {"", "XRKIT_CHUNK=17 "})
            EXPECT_EQ(run(chunk + kCli + " convert -f cesu-8 -t utf-8", &cesu).out, text)
                << name << chunk;
        EXPECT_EQ(run(kCli + " convert -f mutf-8 -t utf-8", &mutf).out, text) << name;
    }
    const std::string nul("a\0b\xF0\x9F\x98\x80", 7), fourByte = "x\xF0\x9F\x98\x80";
    EXPECT_EQ(run(kCli + " convert -f utf-8 -t mutf-8", &nul).out,
              "a\xC0\x80\x62\xED\xA0\xBD\xED\xB8\x80");
    auto bad = run(kCli + " convert -f cesu-8 -t utf-8", &fourByte);
    EXPECT_EQ(bad.exitCode, 1);
    EXPECT_NE(bad.err.find("byte offset 1"), std::string::npos) << bad.err;
}

} // namespace
