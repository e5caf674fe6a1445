// Every command streams: what has arrived is processed and written before the input
// ends (only an incomplete character waits), and endless or large input runs in a
// fixed amount of memory.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "run.h"

namespace {

using xrtest::run;

const std::string kCli = XRKIT_CLI;

// Feeds the pieces one at a time to a running command, and after each expects the
// output it must already have written; then ends the input and expects the rest.
TEST(CliStreaming, OutputFollowsInputPieceByPiece) {
    const std::string line0 = "00000000  30 31 32 33 34 35 36 37  38 39 61 62 63 64 65 66  "
                              "|0123456789abcdef|\n";
    const struct {
        const char* command;
        std::vector<std::pair<std::string, std::string>> steps; // piece, output after it
        std::string atEnd;
    } cases[] = {
        {"convert -f utf-8 -t utf-16le",
         {{"ab\xC3", std::string("a\0b\0", 4)}, {"\xA9\n", std::string("\xE9\0\n\0", 4)}},
         ""},
        {"convert -f utf-16le -t utf-8",
         {{std::string("a\0\x3D", 3), "a"},
          {std::string("\xD8\0", 2), ""},
          {"\xDE", "\xF0\x9F\x98\x80"}},
         ""},
        {"convert -f utf-16 -t utf-8",
         {{"\xFE", ""}, {"\xFF", ""}, {std::string("\0z", 2), "z"}},
         ""},
        {"convert -f utf-8 -t utf-8 --strip-bom", {{"\xEF\xBB", ""}, {"\xBFok", "ok"}}, ""},
        {"convert -f utf-8 -t utf-16be", {{"ok\xFF", std::string("\0o\0k", 4)}}, ""},
        {"case upper", {{"abc\xC3", "ABC"}, {"\xA9\n", "\xC3\x89\n"}}, ""},
        // A character may join the one before it: each waits for the next boundary.
        {"normalize nfc", {{"e\xCC\x81x", "\xC3\xA9"}, {"\n", "x"}}, "\n"},
        {"dump --offsets",
         {{"0123456789abcdef01", line0}, {"23456789abcdef", "*\n"}},
         "00000020\n"},
        {"validate", {{"abc", ""}}, "standard input: well-formed UTF-8, 3 bytes, 3 characters\n"},
        {"count", {{"abc", ""}}, "standard input: 3 bytes, 3 characters, 3 announced, 0 invalid\n"},
    };
    for (const auto& c : cases) {
        xrtest::Child child(kCli + " " + c.command);
        for (const auto& [piece, out] : c.steps) {
            child.write(piece);
            EXPECT_EQ(child.read(out.size()), out) << c.command;
        }
        child.closeInput();
        EXPECT_EQ(child.read(1 << 20), c.atEnd) << c.command;
        const int rc = child.wait();
        EXPECT_EQ(rc, std::string(c.command).ends_with("utf-16be") ? 1 : 0) << c.command;
    }
    // Absolute addresses go on from chunk to chunk.
    xrtest::Child dump(kCli + " dump");
    dump.write("0123456789abcdef");
    const std::string first = dump.read(line0.size() + 8);
    dump.write("0123456789abcdef");
    const std::string second = dump.read(first.size());
    dump.closeInput();
    ASSERT_EQ(first.size(), second.size());
    EXPECT_EQ(std::stoull(second.substr(0, 16), nullptr, 16),
              std::stoull(first.substr(0, 16), nullptr, 16) + 16);
    EXPECT_EQ(second.substr(16), first.substr(16));
}

// Endless input through every command that can end it early, and large input through
// those that must read it all, with a cap on the address space far below the input's
// size: nothing is kept whole or mapped whole. (AddressSanitizer reserves more address
// space than any cap, so there the inputs only run.)
TEST(CliStreaming, EndlessAndLargeInputInBoundedMemory) {
#if defined(__SANITIZE_ADDRESS__)
    const std::string cap = "", size = "20M";
#else
    const std::string cap = "ulimit -v 120000; ", size = "150M";
#endif
    const std::string endless[] = {
        "convert -f utf-8 -t utf-16le",
        "convert -f utf-8 -t cesu-8 --replace",
        "case upper",
        "normalize nfkd",
        "dump --offsets",
        "dump",
    };
    for (const std::string& c : endless) {
        const auto r = run("seq inf | (" + cap + kCli + " " + c + ") | head -c 3000000 | wc -c");
        EXPECT_EQ(r.out, "3000000\n") << c << r.err;
        EXPECT_EQ(r.err, "") << c;
    }
    for (const std::string c : {"count", "validate", "convert -f utf-8 -t utf-32le"}) {
        const auto r =
            run("yes | head -c " + size + " | (" + cap + kCli + " " + c + ") | tail -c 100");
        EXPECT_EQ(r.exitCode, 0) << c << r.err;
        if (c != "validate" && c != "count") continue;
        const std::string bytes = size == "150M" ? "157286400" : "20971520";
        EXPECT_NE(r.out.find(bytes + " bytes"), std::string::npos) << r.out;
    }
}

} // namespace
