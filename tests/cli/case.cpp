// xrkit case end to end: ICU-backed and table-only mappings of real text, ill-formed
// UTF-8 with its byte offset, and usage errors.
#include <gtest/gtest.h>

#include <unicode/uchar.h>

#include <string>
#include <tuple>
#include <vector>

#include "run.h"
#include "xr/xrcase.h"
#include "xrhost/host.h"
#include "xrhost/loader.h"
#include "xrhost/text.h"

namespace {

using xrtest::run;
using xrtest::shellQuote;

const std::string kCli = XRKIT_CLI;
// Characters where ICU and the tables disagree, or that map through the pair lists.
const char kMixed[] =
    "Straße İstanbul ǅ kelvin K ſ ΣΑΣ ᾳ ΐ µ Ꭰꭰ ⅷ ⓐ Ａｚ 𐐨𐐀 ǰ ﬀ\n";

// The mixed text and four corpus files in every mode: "upper" and "lower" must follow ICU's simple
// mappings (the extension is loaded); the table modes and min/max must equal the library in process
// with no extension.
TEST(CliCase, EveryModeOverRealTextMatchesIcuOrTheLibraryInProcess) {
    xrhost::Host host;
    xrhost::Library lib(XRKIT_LIBRARY_FILE);
    lib.attach(host.handle());
    const std::string mixed = xrtest::tempDir() + "/mixed";
    xrtest::writeFile(mixed, kMixed);
    std::vector<std::string> files = {mixed};
    for (const char* t : {"Latin", "Russian", "Emoji", "Hebrew"})
        files.push_back(xrtest::dataFile(std::string(t) + "-Lipsum.utf8.txt"));
    // The library function that gives each mode's output, or null for ICU's.
    const char* const modes[][2] = {{"upper", nullptr},
                                    {"lower", nullptr},
                                    {"upper --tables", "xrzstup"},
                                    {"lower --tables", "xrzstlo"},
                                    {"min", "xrzstmin"},
                                    {"max", "xrzstmax"},
                                    {"--tables max", "xrzstmax"}};
    for (const auto& f : files) {
        for (const auto& m : modes) {
            auto text = xrhost::fromUtf8(xrtest::readFile(f));
            if (m[1])
                lib.fn<decltype(xrzstup)>(m[1])(text.data(), XRStrSize(text.size()));
            else
                for (auto& c : text)
                    c = m[0][0] == 'u' ? u_toupper(c) : u_tolower(c);
            auto r = run((f == mixed ? "XRKIT_CHUNK=3 " : "") + kCli + " case " + m[0] + " " +
                         shellQuote(f));
            ASSERT_EQ(r.exitCode, 0) << r.err;
            EXPECT_EQ(r.out, xrhost::toUtf8(text)) << f << " " << m[0];
        }
    }
}

// Standard input gives the stated output; bad usage exits 2, a missing file 1.
TEST(CliCase, StatedResultsAndUsage) {
    const std::tuple<const char*, const char*, int, const char*> rows[] = {
        {"lower --tables -", "İ Ⅰ Ａ Ⴀ", 0, "İ ⅰ ａ ა"}, // Ⴀ to U+10D0, not U+2D00
        {"lower -", "İ", 0, "i"},
        {"max -", "KELVIN ß ẞ", 0, "\u212Aelv\u0131n ß ẞ"},
        {"upper -", "", 0, ""},
        {"upper /nonexistent/file", "", 1, ""},
    };
    for (const auto& [args, in, exitCode, out] : rows) {
        const std::string text = in;
        const auto r = run(kCli + " case " + args, &text);
        EXPECT_EQ(std::pair(r.exitCode, r.out), std::pair(exitCode, std::string(out))) << args;
        EXPECT_EQ(r.err.find("/nonexistent/file") != std::string::npos, exitCode == 1) << r.err;
    }
    for (const char* args : {"", "title", "upper --bogus", "upper a b", "--tables"}) {
        auto r = run(kCli + " case " + args + " < /dev/null");
        EXPECT_EQ(r.exitCode, 2) << args;
        EXPECT_NE(r.err.find("usage: xrkit case"), std::string::npos) << r.err;
    }
}

// The text before an ill-formed sequence is written, the sequence named, and no more.
TEST(CliCase, IllFormedUtf8StopsAfterTheTextBeforeIt) {
    const struct {
        std::string bytes;
        int offset;
    } rows[] = {
        {"ab\x80", 2},           {"a\xC0\x80", 1},        {"\xC1\xBF", 0},
        {"xy\xE0\x9F\xBF", 2},   {"\xED\xA0\x80", 0},     {"ok \xF0\x8F\xBF\xBF", 3},
        {"\xF4\x90\x80\x80", 0}, {"\xF5\x80\x80\x80", 0}, {"\xFF", 0},
        {"abc\xE2\x82", 3},      {"\xE2\x28\xA1", 0},     {"\xC3\xA9\xC3", 2},
    };
    const std::string bad = xrtest::tempDir() + "/bad";
    for (const auto& r : rows) {
        xrtest::writeFile(bad, r.bytes);
        for (const char* chunk : {"", "XRKIT_CHUNK=1 "}) {
            auto res = run(chunk + kCli + " case lower " + shellQuote(bad));
            EXPECT_EQ(std::pair(res.exitCode, res.out), std::pair(1, r.bytes.substr(0, r.offset)))
                << r.bytes;
            EXPECT_TRUE(res.err.starts_with("xrkit: " + bad + ": ")) << res.err;
            EXPECT_TRUE(res.err.ends_with("byte offset " + std::to_string(r.offset) + "\n") ||
                        res.err.ends_with("(byte offset " + std::to_string(r.offset) + ")\n"))
                << res.err;
        }
    }
}

} // namespace
