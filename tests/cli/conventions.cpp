// What people bring from iconv, hexdump and coreutils: --version and --list, the usual
// spellings of encoding names, byte-order marks as iconv writes and reads them,
// dump --offsets line for line as hexdump -C, several files with --json, and one form
// for every message.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <random>
#include <string>

#include "run.h"

namespace {

using xrtest::readFile;
using xrtest::run;
using xrtest::shellQuote;
using xrtest::writeFile;
using namespace std::string_literals;

const std::string kCli = XRKIT_CLI;

std::string realPath(const std::string& path) {
    char buf[PATH_MAX];
    return realpath(path.c_str(), buf) ? buf : path;
}

TEST(CliConventions, VersionAndLibrary) {
    for (const char* flag : {"--version", "-V"}) {
        const auto r = run(kCli + " " + flag);
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_TRUE(r.out.starts_with("xrkit 9.1.0\n" + realPath(XRKIT_LIBRARY_FILE) +
                                      ": interface 9.1, xr V.04.00M0P10072020, built "))
            << r.out;
    }
    // A library named by XRKIT_LIBRARY is that one or none: no other is tried.
    const std::string notALibrary = xrtest::dataFile("SOURCE.md");
    const struct {
        std::string path, says;
    } bad[] = {
        {"/nonexistent/libxrkit.so.9",
         "xrkit: /nonexistent/libxrkit.so.9: cannot open shared object file: No such file or "
         "directory\n"},
        {notALibrary, "xrkit: " + notALibrary + ": "},
    };
    for (const auto& b : bad)
        for (const char* command :
             {"--version", "info", "count /dev/null", "convert -f utf-8 -t utf-16"}) {
            const auto r = run("XRKIT_LIBRARY=" + shellQuote(b.path) + " " + kCli + " " + command);
            EXPECT_EQ(r.exitCode, 2) << command;
            EXPECT_TRUE(r.err.starts_with(b.says)) << r.err;
        }
    const auto chosen = run("XRKIT_LIBRARY=" + realPath(XRKIT_LIBRARY_FILE) + " " + kCli + " info");
    EXPECT_TRUE(chosen.out.starts_with("library              " + realPath(XRKIT_LIBRARY_FILE)));
}

// --list names every encoding with its other spellings; any of them, in any case and
// with or without '-' and '_', converts alike.
TEST(CliConventions, EncodingNamesAndAliases) {
    const auto list = run(kCli + " --list");
    EXPECT_EQ(list.out, run(kCli + " -l").out);
    EXPECT_EQ(list.out, run(kCli + " convert --list").out);
    const std::vector<std::vector<std::string>> spellings = {
        {"UTF-8", "utf8", "Utf_8"},    {"UTF-16LE", "utf16le", "utf-16-le"},
        {"UTF-16BE", "UTF16BE"},       {"UTF-16", "utf16"},
        {"UTF-32", "UTF32"},           {"UTF-32LE", "utf32le"},
        {"UTF-32BE", "utf_32_be"},     {"UCS-2", "ucs2"},
        {"UCS-2LE", "UCS2LE"},         {"UCS-2BE", "ucs-2be"},
        {"CESU-8", "CESU8", "cesu_8"}, {"MUTF-8", "mutf8", "Modified-UTF-8"},
    };
    const std::string text = "A\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80";
    for (const auto& names : spellings) {
        EXPECT_NE(list.out.find(names[0]), std::string::npos) << names[0];
        const std::string want =
            run(kCli + " convert -f utf-8 -t " + names[0] + " --replace", &text).out;
        ASSERT_FALSE(want.empty()) << names[0];
        for (const std::string& n : names) {
            EXPECT_EQ(run(kCli + " convert -f utf-8 -t " + n + " --replace", &text).out, want) << n;
            EXPECT_EQ(run(kCli + " convert -f " + n + " -t " + names[0], &want).out, want) << n;
        }
    }
    const auto unknown = run(kCli + " convert -f latin1 -t utf-8", &text);
    EXPECT_EQ(unknown.exitCode, 2);
    EXPECT_TRUE(unknown.err.starts_with("xrkit: latin1: unknown encoding")) << unknown.err;
}

// The glibc iconv on this machine: UTF-16 and UTF-32 are written with a mark and then
// little-endian, read by their mark; without one we read big-endian (iconv would read
// the machine's order), as the Unicode standard says.
TEST(CliConventions, ByteOrderMarksAsIconvHasThem) {
    const std::string dir = xrtest::tempDir();
    std::vector<std::string> texts = {"", "a", "\xEF\xBB\xBFz",
                                      xrtest::readFile(xrtest::dataFile("Emoji-Lipsum.utf8.txt"))};
    for (const std::string& text : texts) {
        writeFile(dir + "/bom-in", text);
        const std::string in = dir + "/bom-in";
        for (const char* form : {"UTF-16", "UTF-32"}) {
            const auto ours = run(kCli + " convert -f utf-8 -t " + form + " " + in);
            const auto theirs = run("iconv -f UTF-8 -t " + std::string(form) + " " + in);
            EXPECT_TRUE(ours.out == theirs.out) << form << " of " << text.size() << " bytes";
            writeFile(dir + "/bom-marked", theirs.out);
            EXPECT_TRUE(
                run(kCli + " convert -f " + form + " -t utf-8 " + dir + "/bom-marked").out == text);
            for (const char* order : {"LE", "BE"}) {
                const std::string unmarked =
                    run("iconv -f UTF-8 -t " + std::string(form) + order + " " + in).out;
                writeFile(dir + "/bom-unmarked", unmarked);
                // With a mark of either order, iconv and we agree.
                const std::string mark =
                    run("printf '\\357\\273\\277' | iconv -f UTF-8 -t " + std::string(form) + order)
                        .out;
                writeFile(dir + "/bom-either", mark + unmarked);
                EXPECT_TRUE(
                    run(kCli + " convert -f " + form + " -t utf-8 " + dir + "/bom-either").out ==
                    run("iconv -f " + std::string(form) + " -t UTF-8 " + dir + "/bom-either").out)
                    << form << order;
                // (A text that starts with U+FEFF starts with a mark once encoded.)
                if (std::string(order) == "BE" && !text.starts_with("\xEF\xBB\xBF")) {
                    EXPECT_TRUE(
                        run(kCli + " convert -f " + form + " -t utf-8 " + dir + "/bom-unmarked")
                            .out == text)
                        << form << " of " << text.size() << " bytes";
                }
            }
        }
    }
    EXPECT_TRUE(run(kCli + " convert -f utf-8 -t ucs-2", &texts[1]).out == "\xFF\xFE"
                                                                           "a\0"s);
}

// --strip-bom drops one leading mark in any form; --add-bom writes exactly one, also for
// empty input.
TEST(CliConventions, StripAndAddByteOrderMarks) {
    const struct {
        const char* form;
        std::string mark, text; // "h\u00e9" in the form
    } forms[] = {
        {"utf-8", "\xEF\xBB\xBF", "h\xC3\xA9"},
        {"cesu-8", "\xEF\xBB\xBF", "h\xC3\xA9"},
        {"utf-16le", "\xFF\xFE", "h\0\xE9\0"s},
        {"utf-16be", "\xFE\xFF", "\0h\0\xE9"s},
        {"ucs-2le", "\xFF\xFE", "h\0\xE9\0"s},
        {"utf-32le", "\xFF\xFE\0\0"s, "h\0\0\0\xE9\0\0\0"s},
        {"utf-32be", "\0\0\xFE\xFF"s, "\0\0\0h\0\0\0\xE9"s},
    };
    for (const auto& from : forms)
        for (const auto& to : forms) {
            const std::string cmd = kCli + " convert -f " + from.form + " -t " + to.form;
            const std::string marked = from.mark + from.text, none;
            EXPECT_TRUE(run(cmd + " --strip-bom", &marked).out == to.text) << from.form << to.form;
            EXPECT_TRUE(run(cmd + " --strip-bom", &from.text).out == to.text)
                << from.form << to.form;
            EXPECT_TRUE(run(cmd, &marked).out == to.mark + to.text) << from.form << to.form;
            for (const std::string* in : {&marked, &from.text})
                EXPECT_TRUE(run(cmd + " --add-bom", in).out == to.mark + to.text)
                    << from.form << to.form;
            EXPECT_TRUE(run(cmd + " --add-bom", &none).out == to.mark) << from.form << to.form;
        }
}

// Random files of lines drawn from a few, so that equal lines come in runs of every
// length; read whole and in small chunks, from a file and from a pipe.
TEST(CliConventions, DumpOffsetsIsHexdumpLineForLine) {
    std::mt19937 rng(11);
    const std::string dir = xrtest::tempDir();
    std::vector<std::string> files = {xrtest::stressFile(), "/dev/null"};
    for (int i = 0; i < 24; ++i) {
        std::string pool[3];
        for (auto& line : pool)
            for (int k = 0; k < 16; ++k)
                line += static_cast<char>(rng() % 4 ? 'a' + rng() % 3 : rng());
        std::string bytes;
        for (int n = static_cast<int>(rng() % 60); n > 0; --n)
            bytes += pool[rng() % 100 < 70 ? 0 : 1 + rng() % 2];
        bytes += pool[rng() % 3].substr(0, rng() % 17);
        files.push_back(dir + "/hex" + std::to_string(i));
        writeFile(files.back(), bytes);
    }
    for (std::size_t i = 0; i < files.size(); ++i) {
        const std::string f = shellQuote(files[i]), ref = dir + "/hexdump";
        const std::string chunk =
            i % 2 ? "XRKIT_CHUNK=" + std::to_string(1 + rng() % 40) + " " : "";
        ASSERT_EQ(run("hexdump -C " + f + " > " + ref).exitCode, 0);
        const auto file = run(chunk + kCli + " dump --offsets " + f + " | diff - " + ref);
        const auto pipe =
            run("cat " + f + " | " + chunk + kCli + " dump --offsets | diff - " + ref);
        EXPECT_EQ(file.out + file.err, "") << files[i];
        EXPECT_EQ(pipe.out + pipe.err, "") << files[i];
    }
}

TEST(CliConventions, SeveralFilesOneLineEachAndJson) {
    const std::string dir = xrtest::tempDir(), good = dir + "/good.txt", bad = dir + "/bad.txt";
    writeFile(good, "h\xC3\xA9llo\n");
    writeFile(bad, "ab\xE0\x80\x80z");
    const std::string files = good + " " + bad + " /nonexistent " + good;
    auto r = run(kCli + " validate " + files);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, good + ": well-formed UTF-8, 7 bytes, 6 characters\n" + bad +
                         ": ill-formed UTF-8 sequence E0 at byte offset 2\n" + good +
                         ": well-formed UTF-8, 7 bytes, 6 characters\n");
    EXPECT_EQ(r.err, "xrkit: /nonexistent: No such file or directory\n");
    r = run(kCli + " validate --json " + files);
    EXPECT_EQ(
        r.out,
        "{\"file\":\"" + good +
            "\",\"valid\":true,\"bytes\":7,\"characters\":6}\n"
            "{\"file\":\"" +
            bad +
            "\",\"valid\":false,\"problem\":\"ill-formed\",\"offset\":2,\"sequence\":\"E0\"}\n"
            "{\"file\":\"/nonexistent\",\"error\":\"/nonexistent: No such file or directory\"}\n"
            "{\"file\":\"" +
            good + "\",\"valid\":true,\"bytes\":7,\"characters\":6}\n");
    r = run(kCli + " count " + good + " " + bad);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, good + ": 7 bytes, 6 characters, 6 announced, 0 invalid\n" + bad +
                         ": 6 bytes, 4 characters, 4 announced, 3 invalid\n");
    const std::string quoted = "a\"\x01";
    r = run(kCli + " count --json - " + good, &quoted);
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, "{\"file\":\"-\",\"bytes\":3,\"characters\":3,\"announced\":3,\"invalid\":0}\n"
                     "{\"file\":\"" +
                         good + "\",\"bytes\":7,\"characters\":6,\"announced\":6,\"invalid\":0}\n");
    writeFile(dir + "/odd\"name\n", "");
    EXPECT_EQ(
        run(kCli + " count --json " + shellQuote(dir + "/odd\"name\n")).out,
        "{\"file\":\"" + dir +
            "/odd\\\"name\\u000a\",\"bytes\":0,\"characters\":0,\"announced\":0,\"invalid\":0}\n");
}

// --progress draws on a terminal (here a pseudo-terminal of script(1)) once the
// conversion has run a while, and writes nothing when standard error is a file.
TEST(CliConventions, ProgressOnlyOnATerminal) {
    if (run("command -v script").exitCode != 0) GTEST_SKIP() << "script(1) is not installed";
    const std::string dir = xrtest::tempDir(), fifo = dir + "/progress-in";
    for (bool terminal : {true, false}) {
        ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
        const std::string convert = kCli + " convert -f utf-8 -t utf-16le --progress " + fifo +
                                    " -o " + dir + "/progress-out";
        xrtest::Child child(terminal ? "script -qec " + shellQuote(convert) + " /dev/null"
                                     : convert + " 2>&1");
        // Once the command reads the FIFO (a command that fails first must not leave us
        // waiting to open it).
        int in = -1;
        for (int i = 0; i < 6000 && in < 0; ++i)
            if ((in = open(fifo.c_str(), O_WRONLY | O_NONBLOCK)) < 0) usleep(10000);
        ASSERT_GE(in, 0);
        EXPECT_EQ(write(in, "first", 5), 5);
        sleep(1); // the next read comes later than a redraw may
        EXPECT_EQ(write(in, "second", 6), 6);
        close(in);
        const std::string shown = child.read(1 << 20);
        EXPECT_EQ(child.wait(), 0);
        if (terminal) {
            EXPECT_NE(shown.find("\r11 B, "), std::string::npos) << shown;
            EXPECT_NE(shown.find(" B/s"), std::string::npos) << shown;
        } else {
            EXPECT_EQ(shown, "");
        }
        EXPECT_TRUE(readFile(dir + "/progress-out") == "f\0i\0r\0s\0t\0s\0e\0c\0o\0n\0d\0"s);
        std::remove(fifo.c_str());
    }
}

// "xrkit: NAME: reason", NAME being what the message is about, system errors in the
// system's words; usage errors add the synopsis and exit with 2.
TEST(CliConventions, OneMessageForm) {
    const std::string dir = xrtest::tempDir();
    const struct {
        std::string args;
        int code;
        std::string err; // the first line
    } cases[] = {
        {"count /nonexistent", 1, "xrkit: /nonexistent: No such file or directory"},
        {"convert -f utf-8 -t utf-16 " + dir, 1, "xrkit: " + dir + ": Is a directory"},
        {"case upper /", 1, "xrkit: /: Is a directory"},
        {"dump --reverse -", 1, "xrkit: standard input: --reverse needs a regular file"},
        {"convert -f utf-8 -t utf-16 --bogus", 2, "xrkit: --bogus: unknown option"},
        {"convert -f", 2, "xrkit: -f: the option needs a value"},
        {"convert -t utf-8", 2, "xrkit: convert: the source encoding (--from) is required"},
        {"convert -f utf-8 -t utf-16 a b c", 2, "xrkit: c: unexpected operand"},
        {"convert -f utf-8 -t utf-16 -o x a b", 2, "xrkit: b: unexpected operand"},
        {"case title", 2, "xrkit: title: unknown mapping (upper, lower, min or max)"},
        {"normalize nfx", 2, "xrkit: nfx: unknown form (nfc, nfd, nfkc or nfkd)"},
        {"dump --logger loud", 2, "xrkit: loud: unknown level (--logger)"},
        {"info extra", 2, "xrkit: extra: unexpected operand"},
        {"frobnicate", 2, "xrkit: frobnicate: unknown command (xrkit --help lists them)"},
        {"", 2, "xrkit: a command is missing (xrkit --help lists them)"},
    };
    for (const auto& c : cases) {
        const auto r = run(kCli + " " + c.args);
        EXPECT_EQ(r.exitCode, c.code) << c.args;
        EXPECT_EQ(r.err.substr(0, r.err.find('\n')), c.err) << c.args;
        if (c.code == 2 && c.args.find(' ') != std::string::npos) {
            EXPECT_NE(r.err.find("\nusage: xrkit " + c.args.substr(0, c.args.find(' '))),
                      std::string::npos)
                << r.err;
        }
    }
    for (const char* command :
         {"info", "dump", "case", "convert", "validate", "count", "normalize"}) {
        const auto r = run(kCli + " " + command + " --help");
        EXPECT_EQ(r.exitCode, 0);
        EXPECT_TRUE(r.out.starts_with("usage: xrkit "s + command)) << r.out;
    }
}

} // namespace
