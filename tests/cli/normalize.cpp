// xrkit normalize against ICU on the corpus and across chunk edges, and its errors.
#include <gtest/gtest.h>

#include <unicode/normalizer2.h>

#include <filesystem>
#include <sstream>

#include "run.h"

namespace {

using xrtest::run;

const std::string kCli = XRKIT_CLI;

// Every corpus file, then more than one chunk (1 MiB) through standard input with
// combining sequences and Hangul syllables at every possible distance from a chunk edge.
TEST(CliNormalize, AgreesWithIcuOnTheCorpusAndAcrossChunkEdges) {
    std::vector<std::pair<std::string, std::string>> inputs; // argument, text
    for (const std::string& path : xrtest::corpusFiles(false))
        inputs.emplace_back(xrtest::shellQuote(path), xrtest::readFile(path));
    ASSERT_GT(inputs.size(), 5u);
    std::string large;
    while (large.size() < 3 * (1u << 20))
        large +=
            "Cafe\xCC\x81 A\xCC\x8A\xCC\x81 \xE1\x84\x80\xE1\x85\xA1\xE1\x86\xA8 x\xCC\xA3\xCC\x87";
    inputs.emplace_back("-", large);
    UErrorCode err = U_ZERO_ERROR;
    const std::pair<const char*, const icu::Normalizer2*> forms[] = {
        {"nfc", icu::Normalizer2::getNFCInstance(err)},
        {"nfd", icu::Normalizer2::getNFDInstance(err)},
        {"nfkc", icu::Normalizer2::getNFKCInstance(err)},
        {"nfkd", icu::Normalizer2::getNFKDInstance(err)}};
    for (const auto& [arg, text] : inputs) {
        for (const auto& [form, n] : forms) {
            std::string want;
            n->normalize(icu::UnicodeString::fromUTF8(text), err).toUTF8String(want);
            ASSERT_TRUE(U_SUCCESS(err));
            auto ours = run(kCli + " normalize " + form + " " + arg, arg == "-" ? &text : nullptr);
            ASSERT_EQ(ours.exitCode, 0) << ours.err;
            EXPECT_TRUE(ours.out == want) << form << " " << arg;
        }
    }
}

// Unicode's conformance file, when the machine has it (Debian's unicode-data):
// c2 == NFC(c1..c3), c3 == NFD(c1..c3), c4 == NFKC(c1..c5), c5 == NFKD(c1..c5).
// Each form gets every source column on a line of its own (a line feed is a boundary).
TEST(CliNormalize, ConformanceFile) {
    const std::string path = "/usr/share/unicode/NormalizationTest.txt.bz2";
    if (!std::filesystem::exists(path)) GTEST_SKIP() << path << " is not installed";
    const auto data = run("bzcat " + path);
    ASSERT_EQ(data.exitCode, 0);
    const struct {
        const char* form;
        int target, sources;
    } forms[] = {{"nfc", 1, 3}, {"nfd", 2, 3}, {"nfkc", 3, 5}, {"nfkd", 4, 5}};
    std::string in[4], want[4];
    std::istringstream lines(data.out);
    int checked = 0;
    for (std::string line; std::getline(lines, line);) {
        if (line.empty() || line[0] == '#' || line[0] == '@') continue;
        std::istringstream fields(line);
        std::string cols[5], field;
        for (auto& c : cols) {
            std::getline(fields, field, ';');
            std::istringstream hex(field);
            for (unsigned cp; hex >> std::hex >> cp;)
                icu::UnicodeString(static_cast<UChar32>(cp)).toUTF8String(c);
        }
        for (int f = 0; f < 4; ++f) {
            for (int i = 0; i < forms[f].sources; ++i) {
                in[f] += cols[i] + "\n";
                want[f] += cols[forms[f].target] + "\n";
            }
        }
        ++checked;
    }
    EXPECT_GT(checked, 15000);
    for (int f = 0; f < 4; ++f) {
        auto ours = run(kCli + " normalize " + forms[f].form + " -", &in[f]);
        ASSERT_EQ(ours.exitCode, 0) << ours.err;
        const auto got = xrtest::splitLines(ours.out), expected = xrtest::splitLines(want[f]);
        const auto source = xrtest::splitLines(in[f]);
        ASSERT_EQ(got.size(), expected.size()) << forms[f].form;
        for (std::size_t i = 0; i < got.size(); ++i)
            ASSERT_EQ(got[i], expected[i]) << forms[f].form << " of " << source[i];
    }
}

TEST(CliNormalize, ErrorsAndUsage) {
    const std::string bad = "ok\xC3", empty;
    auto r = run(kCli + " normalize nfc", &bad);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("ill-formed"), std::string::npos) << r.err;
    EXPECT_EQ(run(kCli + " normalize").exitCode, 2);
    EXPECT_EQ(run(kCli + " normalize nfx").exitCode, 2);
    EXPECT_EQ(run(kCli + " normalize nfc /nonexistent/file").exitCode, 1);
    r = run(kCli + " normalize nfd -", &empty);
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, "");
}

} // namespace
