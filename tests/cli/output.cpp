// Where the output goes: every kind of OUT after a good and after a bad input, write
// errors for every command, and a temporary file left by no failure or signal.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>

#include "run.h"

namespace {

namespace fs = std::filesystem;
using xrtest::readFile;
using xrtest::run;
using xrtest::shellQuote;
using xrtest::writeFile;

const std::string kCli = XRKIT_CLI;
const std::string kGood = "ok \xC3\xA9", kBad = "ok \xC3\xA9\xFF";
// kGood in UTF-16LE; what precedes the bad byte of kBad is the same.
const std::string kConverted("o\0k\0 \0\xE9\0", 8);
const std::string kPrevious = "previous contents\n";

struct stat statOf(const std::string& path, bool follow = true) {
    struct stat st {};
    (follow ? stat : lstat)(path.c_str(), &st);
    return st;
}

bool leftTemporaries(const std::string& dir) {
    for (const auto& e : fs::directory_iterator(dir))
        if (e.path().filename().string().find(".xrkit-") != std::string::npos) return true;
    return false;
}

// A fresh directory for one case.
std::string caseDir(const std::string& name) {
    static int serial = 0;
    const std::string dir = xrtest::tempDir() + "/out" + std::to_string(serial++) + "-" + name;
    fs::create_directories(dir);
    return dir;
}

// Runs the command unprivileged when we are root, so that permissions hold.
std::string asUser(const std::string& command) {
    return geteuid() == 0 ? "setpriv --reuid=65534 --regid=65534 --clear-groups " + command
                          : command;
}

struct Outcome {
    int exitCode;
    std::string err;
};

// One kind of OUT. `make` prepares it in dir and returns what the command is given as
// OUT (or the whole command line when it needs more); `check` looks at it afterwards.
struct Kind {
    const char* name;
    std::function<std::string(const std::string& dir)> make;
    std::function<void(const std::string& dir, bool good, const Outcome&)> check;
    bool rootOnly = false;
};

Outcome convertInto(const std::string& dir, const std::string& out, bool good,
                    bool unprivileged = false) {
    writeFile(dir + "/in", good ? kGood : kBad);
    chmod((dir + "/in").c_str(), 0644);
    std::string cmd = kCli + " convert -f utf-8 -t utf-16le " + shellQuote(dir + "/in") + " -o " +
                      shellQuote(out);
    const auto r = run(unprivileged ? asUser(cmd) : cmd);
    return {r.exitCode, r.err};
}

void expectExit(const Outcome& o, bool good) {
    EXPECT_EQ(o.exitCode, good ? 0 : 1) << o.err;
    if (!good) {
        EXPECT_NE(o.err.find("in: ill-formed UTF-8 sequence FF at byte offset 5"),
                  std::string::npos)
            << o.err;
    }
}

TEST(CliOutput, EveryKindOfOutAfterGoodAndBadInput) {
    const bool root = geteuid() == 0;
    chmod(xrtest::tempDir().c_str(), 0755); // for the unprivileged run
    const Kind kinds[] = {
        {"new file", [](const std::string& d) { return d + "/out"; },
         [](const std::string& d, bool good, const Outcome& o) {
             expectExit(o, good);
             EXPECT_EQ(fs::exists(d + "/out"), good);
             const mode_t mask = umask(0);
             umask(mask);
             if (good) {
                 EXPECT_EQ(statOf(d + "/out").st_mode & 0777, 0666u & ~mask);
                 EXPECT_TRUE(readFile(d + "/out") == kConverted);
             }
         }},
        {"regular file keeps its mode",
         [](const std::string& d) {
             writeFile(d + "/out", kPrevious);
             chmod((d + "/out").c_str(), 0640);
             return d + "/out";
         },
         [](const std::string& d, bool good, const Outcome& o) {
             expectExit(o, good);
             EXPECT_TRUE(readFile(d + "/out") == (good ? kConverted : kPrevious));
             EXPECT_EQ(statOf(d + "/out").st_mode & 07777, 0640u);
         }},
        {"symbolic link",
         [](const std::string& d) {
             fs::create_directory(d + "/elsewhere");
             writeFile(d + "/elsewhere/target", kPrevious);
             fs::create_symlink("elsewhere/target", d + "/link");
             return d + "/link";
         },
         [](const std::string& d, bool good, const Outcome& o) {
             expectExit(o, good);
             EXPECT_TRUE(fs::is_symlink(d + "/link"));
             EXPECT_EQ(fs::read_symlink(d + "/link"), "elsewhere/target");
             EXPECT_TRUE(readFile(d + "/elsewhere/target") == (good ? kConverted : kPrevious));
             EXPECT_FALSE(leftTemporaries(d + "/elsewhere"));
         }},
        {"dangling symbolic link",
         [](const std::string& d) {
             fs::create_symlink("target", d + "/link");
             return d + "/link";
         },
         [](const std::string& d, bool good, const Outcome& o) {
             expectExit(o, good);
             EXPECT_TRUE(fs::is_symlink(d + "/link"));
             EXPECT_EQ(fs::exists(d + "/target"), good);
         }},
        {"hard links",
         [](const std::string& d) {
             writeFile(d + "/out", kPrevious);
             fs::create_hard_link(d + "/out", d + "/other");
             return d + "/out";
         },
         [](const std::string& d, bool good, const Outcome& o) {
             expectExit(o, good);
             EXPECT_EQ(statOf(d + "/out").st_ino, statOf(d + "/other").st_ino);
             EXPECT_EQ(statOf(d + "/out").st_nlink, 2u);
             for (const char* name : {"/out", "/other"})
                 EXPECT_TRUE(readFile(d + name) == (good ? kConverted : kPrevious)) << name;
         }},
        {"owner and group",
         [](const std::string& d) {
             writeFile(d + "/out", kPrevious);
             EXPECT_EQ(chown((d + "/out").c_str(), 65534, 65534), 0);
             return d + "/out";
         },
         [](const std::string& d, bool good, const Outcome& o) {
             expectExit(o, good);
             EXPECT_EQ(statOf(d + "/out").st_uid, 65534u);
             EXPECT_EQ(statOf(d + "/out").st_gid, 65534u);
         },
         true},
        {"read-only directory",
         [](const std::string& d) {
             if (geteuid() == 0 && run("command -v setpriv").exitCode != 0) return std::string();
             fs::create_directory(d + "/ro");
             writeFile(d + "/ro/out", kPrevious);
             chmod((d + "/ro/out").c_str(), 0666);
             chmod((d + "/ro").c_str(), 0555);
             chmod(d.c_str(), 0755);
             return d + "/ro/out";
         },
         [](const std::string& d, bool, const Outcome& o) {
             // No temporary beside the file, so no safe way to replace it: refused.
             EXPECT_EQ(o.exitCode, 1);
             EXPECT_NE(o.err.find("xrkit: " + d + "/ro/out: cannot create a temporary file in " +
                                  d + "/ro: Permission denied"),
                       std::string::npos)
                 << o.err;
             EXPECT_TRUE(readFile(d + "/ro/out") == kPrevious);
             chmod((d + "/ro").c_str(), 0755);
         }},
        {"FIFO",
         [](const std::string& d) {
             mkfifo((d + "/fifo").c_str(), 0600);
             return d + "/fifo";
         },
         [](const std::string& d, bool good, const Outcome& o) {
             expectExit(o, good);
             // What came before the bad byte still reaches a stream.
             EXPECT_TRUE(readFile(d + "/received") == kConverted);
             EXPECT_TRUE(S_ISFIFO(statOf(d + "/fifo", false).st_mode));
         }},
        {"device node",
         [](const std::string& d) {
             if (mknod((d + "/null").c_str(), S_IFCHR | 0666, makedev(1, 3)) != 0)
                 return std::string();
             return d + "/null";
         },
         [](const std::string& d, bool good, const Outcome& o) {
             expectExit(o, good);
             const struct stat st = statOf(d + "/null", false);
             EXPECT_TRUE(S_ISCHR(st.st_mode));
             EXPECT_EQ(st.st_rdev, makedev(1, 3));
         },
         true},
        {"the input itself", [](const std::string& d) { return d + "/in"; },
         [](const std::string& d, bool good, const Outcome& o) {
             expectExit(o, good);
             EXPECT_TRUE(readFile(d + "/in") == (good ? kConverted : kBad));
         }},
        {"the input itself, hard-linked",
         [](const std::string& d) {
             writeFile(d + "/in", "");
             fs::create_hard_link(d + "/in", d + "/alias");
             return d + "/in";
         },
         [](const std::string& d, bool good, const Outcome& o) {
             expectExit(o, good);
             EXPECT_TRUE(readFile(d + "/alias") == (good ? kConverted : kBad));
         }},
    };
    for (const Kind& k : kinds) {
        for (bool good : {true, false}) {
            SCOPED_TRACE(std::string(k.name) + (good ? ", good input" : ", bad input"));
            if (k.rootOnly && !root) continue;
            const std::string dir = caseDir(good ? "good" : "bad");
            const std::string out = k.make(dir);
            if (out.empty()) continue; // no device node here
            const bool fifo = std::string(k.name) == "FIFO";
            std::unique_ptr<xrtest::Child> reader;
            if (fifo)
                reader = std::make_unique<xrtest::Child>("cat " + shellQuote(out) + " > " +
                                                         shellQuote(dir + "/received"));
            const Outcome o =
                convertInto(dir, out, good, std::string(k.name) == "read-only directory");
            if (reader) {
                // A command that never opened the FIFO must not leave its reader waiting.
                const int fd = open(out.c_str(), O_WRONLY | O_NONBLOCK);
                if (fd >= 0) close(fd);
                EXPECT_EQ(reader->wait(), 0);
            }
            k.check(dir, good, o);
            EXPECT_FALSE(leftTemporaries(dir));
        }
    }
}

// A descriptor's name is the descriptor: appended to, as the shell opened it, not
// reopened from the start or replaced. (Only names under /proc, where no file can be
// made, so that a fault cannot replace /dev/stdout on this machine.) Writing straight
// into the input is refused.
TEST(CliOutput, DescriptorNamesAndStandardOutput) {
    const std::string dir = caseDir("fd"), in = dir + "/in", log = dir + "/log";
    writeFile(in, kGood);
    writeFile(log, "before\n");
    for (const char* out : {"/dev/fd/1", "/proc/self/fd/1", "-"})
        EXPECT_EQ(run(kCli + " convert -f utf-8 -t utf-16le " + in + " -o " + out + " >> " + log)
                      .exitCode,
                  0)
            << out;
    EXPECT_TRUE(readFile(log) == "before\n" + kConverted + kConverted + kConverted);

    const auto r = run(kCli + " case upper " + in + " >> " + in);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("xrkit: " + in + ": input file is output file"), std::string::npos)
        << r.err;
    EXPECT_EQ(readFile(in), kGood);
}

// A full device fails every command that writes, naming standard output; a closed pipe
// ends it quietly.
TEST(CliOutput, WriteErrorsFailEveryCommand) {
    const std::string text = xrtest::dataFile("Latin-Lipsum.utf8.txt");
    const std::string commands[] = {
        "info",
        "--version",
        "--list",
        "--help",
        "convert --help",
        "dump " + text,
        "dump --offsets " + text,
        "dump --reverse " + text,
        "dump --logger info " + text,
        "case upper " + text,
        "normalize nfd " + text,
        "convert -f utf-8 -t utf-32be " + text,
        "validate " + text,
        "count " + text,
        "count --json " + text,
    };
    for (const std::string& c : commands) {
        auto r = run(kCli + " " + c + " > /dev/full");
        EXPECT_EQ(r.exitCode, 1) << c;
        EXPECT_EQ(r.err, "xrkit: standard output: No space left on device\n") << c;
        r = run("(" + kCli + " " + c + "; echo $? >&2) | head -c 1");
        EXPECT_EQ(r.out.size(), 1u) << c;
        EXPECT_TRUE(r.err == "0\n" || r.err == "141\n") << c << ": " << r.err;
    }
}

// An interrupted conversion leaves OUT as it was and no temporary file.
TEST(CliOutput, SignalsRemoveTheTemporaryFile) {
    for (int sig : {SIGTERM, SIGINT, SIGHUP}) {
        const std::string dir = caseDir("signal"), out = dir + "/out";
        writeFile(out, kPrevious);
        // The input never ends: the conversion waits for it with its temporary open.
        xrtest::Child child(kCli + " convert -f utf-8 -t utf-16le - " + out);
        child.write(std::string(100000, 'x'));
        for (int i = 0; i < 6000 && !leftTemporaries(dir); ++i)
            usleep(10000);
        ASSERT_TRUE(leftTemporaries(dir)) << "no temporary file beside OUT";
        kill(child.pid(), sig);
        EXPECT_EQ(child.wait(), 128 + sig);
        EXPECT_FALSE(leftTemporaries(dir));
        EXPECT_EQ(readFile(out), kPrevious);
    }
}

} // namespace
