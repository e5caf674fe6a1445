// xrkit case end to end: ICU-backed and table-only mappings of real text, invalid
// UTF-8 with its byte offset, and usage errors.
#include <gtest/gtest.h>

#include <unicode/uchar.h>
#include <unicode/ustring.h>

#include <string>

#include "run.h"
#include "xr/xrcase.h"
#include "xrhost/host.h"
#include "xrhost/loader.h"
#include "xrhost/text.h"

namespace {

using xrtest::run;
using xrtest::shellQuote;

const std::string kCli = XRKIT_CLI;

std::string corpus(const char* name) {
    return std::string(XRKIT_CORPUS_DIR) + "/" + name;
}

const char* const kTexts[] = {"Latin-Lipsum.utf8.txt", "Russian-Lipsum.utf8.txt",
                              "Emoji-Lipsum.utf8.txt", "Hebrew-Lipsum.utf8.txt"};

std::string mixedText() {
    return "Straße İstanbul ǅ kelvin K ſ ΣΑΣ ᾳ ΐ µ Ꭰꭰ ⅷ ⓐ Ａｚ 𐐨𐐀 ǰ "
           "ﬀ\n";
}

// The ICU-backed expectation: ASCII by the tables (the same as ICU there), the rest
// by ICU's simple mappings.
std::string icuMapped(const std::string& utf8, bool upper) {
    auto text = xrhost::fromUtf8(utf8);
    for (auto& c : text)
        c = upper ? u_toupper(c) : u_tolower(c);
    return xrhost::toUtf8(text);
}

TEST(CliCase, UpperAndLowerFollowIcuWithTheExtension) {
    const std::string dir = xrtest::tempDir();
    xrtest::writeFile(dir + "/mixed", mixedText());
    std::vector<std::string> files = {dir + "/mixed"};
    for (const char* t : kTexts)
        files.push_back(corpus(t));
    for (const auto& f : files)
        for (bool upper : {true, false}) {
            auto r = run(kCli + " case " + (upper ? "upper " : "lower ") + shellQuote(f));
            ASSERT_EQ(r.exitCode, 0) << r.err;
            EXPECT_EQ(r.out, icuMapped(xrtest::readFile(f), upper)) << f;
        }
}

TEST(CliCase, TablesAndMinMaxMatchTheLibraryInProcess) {
    xrhost::Host host; // no NLS extension: the tables decide
    xrhost::Library lib(XRKIT_LIBRARY_FILE);
    lib.attach(host.handle());
    const std::string dir = xrtest::tempDir();
    xrtest::writeFile(dir + "/mixed", mixedText());
    std::vector<std::string> files = {dir + "/mixed"};
    for (const char* t : kTexts)
        files.push_back(corpus(t));
    const struct {
        const char* args;
        const char* fn;
    } modes[] = {{"upper --tables", "xrzstup"},
                 {"lower --tables", "xrzstlo"},
                 {"min", "xrzstmin"},
                 {"max", "xrzstmax"},
                 {"--tables max", "xrzstmax"}};
    for (const auto& f : files)
        for (const auto& m : modes) {
            auto text = xrhost::fromUtf8(xrtest::readFile(f));
            lib.fn<decltype(xrzstup)>(m.fn)(text.data(), XRStrSize(text.size()));
            auto r = run(kCli + " case " + m.args + " " + shellQuote(f));
            ASSERT_EQ(r.exitCode, 0) << r.err;
            EXPECT_EQ(r.out, xrhost::toUtf8(text)) << f << " " << m.args;
        }
}

TEST(CliCase, StatedResultsThroughStandardInput) {
    const struct {
        const char *args, *in, *out;
    } rows[] = {
        {"upper --tables", "straße ÿ ſ ı", "STRAßE Ÿ S ı"},
        {"lower --tables", "İ Ⅰ Ａ Ⴀ", "İ ⅰ ａ ა"}, // Ⴀ to U+10D0, not U+2D00
        {"lower", "İ", "i"},
        {"min", "kelvin", "KELVIN"},
        {"max", "KELVIN ß ẞ", "\u212Aelv\u0131n ß ẞ"},
        {"min", "ẞ", "ß"},
        {"upper", "", ""},
    };
    for (const auto& r : rows) {
        const std::string in = r.in;
        auto res = run(kCli + " case " + r.args + " -", &in);
        EXPECT_EQ(res.exitCode, 0) << res.err;
        EXPECT_EQ(res.out, r.out) << r.args << " " << r.in;
    }
}

TEST(CliCase, InvalidUtf8IsReportedWithItsOffsetAndNothingIsWritten) {
    const struct {
        std::string bytes;
        int offset;
    } rows[] = {
        {"ab\x80", 2},           {"a\xC0\x80", 1},        {"\xC1\xBF", 0},
        {"xy\xE0\x9F\xBF", 2},   {"\xED\xA0\x80", 0},     {"ok \xF0\x8F\xBF\xBF", 3},
        {"\xF4\x90\x80\x80", 0}, {"\xF5\x80\x80\x80", 0}, {"\xFF", 0},
        {"abc\xE2\x82", 3},      {"\xE2\x28\xA1", 0},     {"é\xC3", 2},
    };
    const std::string dir = xrtest::tempDir();
    for (const auto& r : rows) {
        xrtest::writeFile(dir + "/bad", r.bytes);
        auto res = run(kCli + " case lower " + shellQuote(dir + "/bad"));
        EXPECT_EQ(res.exitCode, 1);
        EXPECT_TRUE(res.out.empty());
        EXPECT_NE(
            res.err.find(dir + "/bad: invalid UTF-8 at byte offset " + std::to_string(r.offset)),
            std::string::npos)
            << res.err;
    }
}

TEST(CliCase, UsageErrors) {
    for (const char* args : {"", "title", "upper --bogus", "upper a b", "--tables"}) {
        auto r = run(kCli + " case " + args + " < /dev/null");
        EXPECT_EQ(r.exitCode, 2) << args;
        EXPECT_NE(r.err.find("usage: xrkit case"), std::string::npos) << r.err;
    }
    auto missing = run(kCli + " case upper /nonexistent/file");
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_NE(missing.err.find("/nonexistent/file"), std::string::npos);
}

} // namespace
