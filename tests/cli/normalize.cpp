// xrkit normalize against ICU's uconv on the corpus, across chunk edges, and its errors.
#include <gtest/gtest.h>

#include <unicode/unorm2.h>
#include <unicode/ustring.h>

#include <algorithm>
#include <filesystem>

#include "run.h"

namespace {

using xrtest::run;
using xrtest::shellQuote;

const std::string kCli = XRKIT_CLI;

std::vector<std::string> corpus() {
    std::vector<std::string> files;
    for (const auto& e : std::filesystem::directory_iterator(XRKIT_CORPUS_DIR))
        if (e.path().extension() == ".txt") files.push_back(e.path().string());
    std::sort(files.begin(), files.end());
    return files;
}

TEST(CliNormalize, AgreesWithUconvOnTheCorpus) {
    if (run("command -v uconv").exitCode != 0) GTEST_SKIP() << "uconv is not installed";
    const auto files = corpus();
    ASSERT_FALSE(files.empty());
    for (const std::string& f : files) {
        for (const char* form : {"nfc", "nfd", "nfkc", "nfkd"}) {
            auto ours = run(kCli + " normalize " + form + " " + shellQuote(f));
            ASSERT_EQ(ours.exitCode, 0) << ours.err;
            auto ref = run(std::string("uconv -x any-") + form + " " + shellQuote(f));
            EXPECT_TRUE(ours.out == ref.out) << form << " " << f;
        }
    }
}

// ICU's own normalization of text, in this process.
std::string icuNormalize(const std::string& text, const UNormalizer2* n) {
    UErrorCode err = U_ZERO_ERROR;
    std::u16string u(text.size() + 1, u'\0'), out(text.size() * 3 + 8, u'\0');
    int32_t len = 0;
    u_strFromUTF8(u.data(), static_cast<int32_t>(u.size()), &len, text.data(),
                  static_cast<int32_t>(text.size()), &err);
    const int32_t got =
        unorm2_normalize(n, u.data(), len, out.data(), static_cast<int32_t>(out.size()), &err);
    std::string r(static_cast<std::size_t>(got) * 3 + 1, '\0');
    u_strToUTF8(r.data(), static_cast<int32_t>(r.size()), &len, out.data(), got, &err);
    EXPECT_TRUE(U_SUCCESS(err));
    r.resize(static_cast<std::size_t>(len));
    return r;
}

// More than one chunk (1 MiB) through standard input, with combining sequences and
// Hangul syllables at every possible distance from a chunk edge.
TEST(CliNormalize, LargeInputsStreamAcrossChunkEdges) {
    std::string text;
    while (text.size() < 3 * (1u << 20))
        text += "Cafe\xCC\x81 A\xCC\x8A\xCC\x81 \xE1\x84\x80\xE1\x85\xA1\xE1\x86\xA8 x\xCC\xA3\xCC\x87";
    UErrorCode err = U_ZERO_ERROR;
    const struct {
        const char* form;
        const UNormalizer2* n;
    } forms[] = {{"nfc", unorm2_getNFCInstance(&err)}, {"nfd", unorm2_getNFDInstance(&err)},
                 {"nfkc", unorm2_getNFKCInstance(&err)}};
    for (const auto& f : forms) {
        auto ours = run(kCli + " normalize " + f.form + " -", &text);
        ASSERT_EQ(ours.exitCode, 0) << ours.err;
        EXPECT_TRUE(ours.out == icuNormalize(text, f.n)) << f.form;
    }
}

TEST(CliNormalize, ErrorsAndUsage) {
    const std::string bad = "ok\xC3";
    auto r = run(kCli + " normalize nfc", &bad);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("ill-formed"), std::string::npos) << r.err;
    EXPECT_EQ(run(kCli + " normalize").exitCode, 2);
    EXPECT_EQ(run(kCli + " normalize nfx").exitCode, 2);
    EXPECT_EQ(run(kCli + " normalize nfc /nonexistent/file").exitCode, 1);
    const std::string empty;
    r = run(kCli + " normalize nfd -", &empty);
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, "");
}

} // namespace
