// xrkit normalize against ICU on the corpus and across chunk edges, and its errors.
#include <gtest/gtest.h>

#include <unicode/normalizer2.h>

#include <algorithm>

#include "run.h"

namespace {

using xrtest::run;

const std::string kCli = XRKIT_CLI;

// Every corpus file, then more than one chunk through standard input with combining
// sequences and Hangul syllables at every possible distance from a chunk edge (also with
// chunks of a few bytes), then every code point on a line of its own.
TEST(CliNormalize, AgreesWithIcuOnTheCorpusAndAcrossChunkEdges) {
    std::vector<std::pair<std::string, std::string>> inputs; // argument, text
    for (const std::string& path : xrtest::textFiles())
        inputs.emplace_back(xrtest::shellQuote(path), xrtest::readFile(path));
    ASSERT_GT(inputs.size(), 5u);
    std::string large;
    while (large.size() < 3 * (1u << 20))
        large +=
            "Cafe\xCC\x81 A\xCC\x8A\xCC\x81 \xE1\x84\x80\xE1\x85\xA1\xE1\x86\xA8 x\xCC\xA3\xCC\x87";
    inputs.emplace_back("-", large);
    inputs.emplace_back("XRKIT_CHUNK=5 -", large.substr(0, 5000));
    // Every scalar value, each followed by two marks that reorder and may compose.
    std::string every;
    for (UChar32 c = 1; c <= 0x10FFFF; c += c == 0xD7FF ? 0x801 : 1)
        icu::UnicodeString(c).append(0x301).append(0x323).append(u'\n').toUTF8String(every);
    inputs.emplace_back("-", every);
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
            const bool piped = arg.ends_with("-");
            const std::string env = piped ? arg.substr(0, arg.size() - 1) : "";
            auto ours = run(env + kCli + " normalize " + form + (piped ? " -" : " " + arg),
                            piped ? &text : nullptr);
            ASSERT_EQ(ours.exitCode, 0) << ours.err;
            EXPECT_TRUE(ours.out == want)
                << form << " " << arg << " from byte "
                << std::ranges::mismatch(ours.out, want).in1 - ours.out.begin();
        }
    }
}

TEST(CliNormalize, ErrorsAndUsage) {
    const std::string bad = "oke\xCC\x81\xC3z", empty;
    auto r = run(kCli + " normalize nfc", &bad);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "xrkit: standard input: ill-formed UTF-8 sequence C3 at byte offset 5\n");
    EXPECT_EQ(r.out, "ok\xC3\xA9"); // the text before it, normalized
    EXPECT_EQ(run(kCli + " normalize").exitCode, 2);
    EXPECT_EQ(run(kCli + " normalize nfx").exitCode, 2);
    EXPECT_EQ(run(kCli + " normalize nfc /nonexistent/file").exitCode, 1);
    r = run(kCli + " normalize nfd -", &empty);
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, "");
}

} // namespace
