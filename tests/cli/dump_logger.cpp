// xrkit dump to a logger: the journal's lines behind the level tag when enabled, none
// when not, every line when forced.
#include <gtest/gtest.h>

#include "run.h"

namespace {

using xrtest::run;
using xrtest::splitLines;

const std::string kCli = XRKIT_CLI;

// A dump line without its address, which differs from run to run (where the buffer lies).
std::string unaddressed(const std::string& line) {
    const std::size_t at = line.find("  ");
    return at == std::string::npos ? line : line.substr(at);
}

TEST(CliDumpLogger, EnabledLinesAreTheJournalLinesWithTheLevel) {
    const std::string dir = xrtest::tempDir();
    std::string bytes;
    for (int i = 0; i < 300; ++i)
        bytes += static_cast<char>(i * 13);
    xrtest::writeFile(dir + "/in.bin", bytes);
    const std::string dump = kCli + " dump --prefix P " + xrtest::shellQuote(dir + "/in.bin");
    const auto want = splitLines(run(dump).out);
    ASSERT_EQ(want.size(), 19u);
    const std::pair<const char*, std::string> cases[] = {
        {"--logger warn --threshold info", "[WARN] "}, // the logger's own level
        {"--logger debug --threshold info", ""},       // empty: no line
        {"--logger INFO", "[INFO] "},                  // no level: IsEnabled, INFO and above
        {"--logger trace", ""},
        {"--logger fatal --threshold off", ""},
        {"--force --threshold off", "[FORCED] "},
        {"--force", "[FORCED] "},
    };
    for (const auto& [options, tag] : cases) {
        auto got = run(dump + " " + options);
        ASSERT_EQ(got.exitCode, 0) << options << ": " << got.err;
        const auto lines = splitLines(got.out);
        ASSERT_EQ(lines.size(), tag.empty() ? 0 : want.size()) << options;
        for (std::size_t i = 0; i < lines.size(); ++i) {
            ASSERT_EQ(lines[i].rfind(tag + "P ", 0), 0u) << lines[i];
            EXPECT_EQ(unaddressed(lines[i].substr(tag.size() + 2)), unaddressed(want[i].substr(2)));
        }
    }
}

TEST(CliDumpLogger, UsageErrors) {
    for (const char* bad :
         {"--logger", "--logger loud", "--logger info --force", "--logger info --reverse",
          "--threshold info", "--logger info --threshold 9x"})
        EXPECT_EQ(run(kCli + " dump " + bad + " /dev/null").exitCode, 2) << bad;
}

} // namespace
