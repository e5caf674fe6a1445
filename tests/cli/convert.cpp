// xrkit convert end to end: byte for byte against glibc iconv on every pair, characters
// cut by chunk edges, and bad input: the message, its offset, the exit code, OUT left as
// it was, and what --replace writes instead.
#include <gtest/gtest.h>
#include <iconv.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <string>

#include "run.h"

namespace {

using xrtest::readFile;
using xrtest::run;
using xrtest::writeFile;
using namespace std::string_literals;

const std::string kCli = XRKIT_CLI;
const char* const kEncodings[] = {"utf-8",    "utf-16le", "utf-16be", "utf-32le",
                                  "utf-32be", "ucs-2le",  "ucs-2be"};

// glibc iconv in process; the conversion must succeed.
std::string iconvert(const std::string& from, const std::string& to, const std::string& in) {
    iconv_t cd = iconv_open(to.c_str(), from.c_str());
    EXPECT_NE(cd, reinterpret_cast<iconv_t>(-1));
    std::string out(in.size() * 4 + 16, '\0');
    char *ip = const_cast<char*>(in.data()), *op = out.data();
    std::size_t il = in.size(), ol = out.size();
    EXPECT_NE(iconv(cd, &ip, &il, &op, &ol), static_cast<std::size_t>(-1)) << from << "->" << to;
    iconv_close(cd);
    out.resize(out.size() - ol);
    return out;
}

// Whether `from` or `to` is UCS-2 while the UTF-8 text has characters beyond U+FFFF.
bool ucs2Misfit(const std::string& from, const std::string& to, const std::string& utf8) {
    return (from.starts_with("ucs-2") || to.starts_with("ucs-2")) &&
           utf8.find_first_of("\xF0\xF1\xF2\xF3\xF4") != std::string::npos;
}

struct Converted {
    int exitCode;
    std::string out, err;
};

Converted convert(const std::string& from, const std::string& to, const std::string& input,
                  const std::string& env = "") {
    const std::string dir = xrtest::tempDir();
    writeFile(dir + "/in", input);
    std::remove((dir + "/out").c_str());
    auto r =
        run(env + kCli + " convert -f " + from + " -t " + to + " " + dir + "/in " + dir + "/out");
    return {r.exitCode, r.exitCode == 0 ? readFile(dir + "/out") : "", r.err};
}

// Converts and expects exactly what iconv gives.
void expectLikeIconv(const std::string& from, const std::string& to, const std::string& in,
                     const std::string& what, const std::string& env = "") {
    const auto got = convert(from, to, in, env);
    ASSERT_EQ(got.exitCode, 0) << what << ' ' << from << "->" << to << got.err;
    ASSERT_TRUE(got.out == iconvert(from, to, in)) << what << ' ' << from << "->" << to;
}

// Every pair on three scripts; on every text file, to and from UTF-8 (iconv round-trips
// these, so ours does too).
TEST(CliConvert, EveryPairMatchesIconvOnTheCorpus) {
    const std::string kEveryPair = "Emoji-Lipsum.utf8.txt Korean-Lipsum.utf8.txt "
                                   "Hindi-Lipsum.utf8.txt";
    std::size_t everyPair = 0;
    for (const std::filesystem::path path : xrtest::textFiles()) {
        const std::string name = path.filename(), text = readFile(path);
        const bool all = kEveryPair.find(name) != std::string::npos;
        everyPair += all;
        for (const std::string from : kEncodings)
            for (const std::string to : kEncodings) {
                if ((!all && from != "utf-8" && to != "utf-8") || ucs2Misfit(from, to, text))
                    continue;
                expectLikeIconv(from, to, iconvert("utf-8", from, text), name);
            }
    }
    EXPECT_EQ(everyPair, 3u);
}

std::string randomUtf8(std::mt19937& rng, std::size_t chars, bool bmpOnly) {
    std::u32string s;
    while (s.size() < chars) {
        const unsigned r = rng();
        char32_t cp = r % 5 == 0   ? 0x41 + r / 8 % 26
                      : r % 5 == 1 ? 0x80 + r / 8 % 0x780
                      : r % 5 == 2 ? 0x800 + r / 8 % 0xF800
                                   : 0x10000 + r / 8 % 0x100000;
        if (bmpOnly && cp > 0xFFFF) cp &= 0xFFFF;
        if ((cp >= 0xD800 && cp <= 0xDFFF) || cp < 0x20) continue;
        s.push_back(cp);
    }
    return iconvert("utf-32le", "utf-8",
                    std::string(reinterpret_cast<const char*>(s.data()), s.size() * 4));
}

// Small chunks put an edge inside nearly every multi-byte character at some size; at the
// real chunk size (256 KiB) a four-byte character lies across the first edge at every cut.
TEST(CliConvert, CharactersCutByChunkEdgesAreCarriedOver) {
    std::mt19937 rng(99);
    for (bool bmp : {false, true}) {
        const std::string text = randomUtf8(rng, 300, bmp);
        for (int chunk : {16, 17, 18, 19, 21, 23, 29})
            for (const std::string from : kEncodings)
                if (!ucs2Misfit(from, from, text))
                    expectLikeIconv(from, from == "utf-8" ? "utf-16be" : "utf-8",
                                    iconvert("utf-8", from, text), "chunk " + std::to_string(chunk),
                                    "XRKIT_CHUNK=" + std::to_string(chunk) + " ");
    }
    for (std::size_t before = (256 << 10) - 3; before <= 256 << 10; ++before)
        for (const char* to : {"utf-16le", "utf-32be"})
            expectLikeIconv("utf-8", to, std::string(before, 'a') + "\xF0\x9F\x98\x80\xC3\xA9z",
                            std::to_string(before));
}

// Long good runs go through the drivers in bulk; the character where a run stops is
// judged on its own. After a long good run, bad sequences in dense clusters give the
// right first offset, and the same replacements as with tiny chunks, where most
// characters are decoded one by one.
TEST(CliConvert, BulkRunsStopAtTheSameBadSequences) {
    std::mt19937 rng(7);
    const char* const kBad[] = {"\x80",         "\xC3\x41",         "\xE0\x80\x80",
                                "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xE2\x82"};
    std::string dense = randomUtf8(rng, 90000, true); // BMP: UCS-2 stops at the first bad one
    const std::string firstBad = " at byte offset " + std::to_string(dense.size());
    for (int i = 0; i < 4000; ++i)
        dense += kBad[rng() % std::size(kBad)] + randomUtf8(rng, 1 + rng() % 40, false);
    for (const std::string to : {"utf-16le", "utf-32be", "ucs-2be"}) {
        const auto bulk = convert("utf-8", to, dense);
        ASSERT_EQ(bulk.exitCode, 1) << to;
        EXPECT_NE(bulk.err.find(firstBad), std::string::npos) << bulk.err;
        EXPECT_EQ(bulk.err, convert("utf-8", to, dense, "XRKIT_CHUNK=16 ").err) << to;
        const auto bulkR = convert("utf-8", to + " --replace", dense);
        ASSERT_EQ(bulkR.exitCode, 0) << to << bulkR.err;
        EXPECT_TRUE(bulkR.out == convert("utf-8", to + " --replace", dense, "XRKIT_CHUNK=16 ").out)
            << to;
    }
}

#define FFFD "\xEF\xBF\xBD"
TEST(CliConvert, BadInputNamesTheOffsetAndLeavesOutAsItWas) {
    // Into UTF-8 unless `to` is given; `replaced` is what --replace writes: one U+FFFD for
    // each maximal subpart.
    const struct {
        const char* from;
        std::string in, message, replaced;
        const char* to = "utf-8";
    } cases[] = {
        {"utf-8", "ab\x80z", "ill-formed UTF-8 sequence 80 at byte offset 2", "ab" FFFD "z"},
        {"utf-8", "a\xC0\xAFz", "ill-formed UTF-8 sequence C0 at byte offset 1", "a" FFFD FFFD "z"},
        {"utf-8", "a\xE0\x80\x80z", "ill-formed UTF-8 sequence E0 at byte offset 1",
         "a" FFFD FFFD FFFD "z"},
        {"utf-8", "a\xED\xA0\x80z", "ill-formed UTF-8 sequence ED at byte offset 1",
         "a" FFFD FFFD FFFD "z"},
        {"utf-8", "a\xF4\x90\x80\x80z", "ill-formed UTF-8 sequence F4 at byte offset 1",
         "a" FFFD FFFD FFFD FFFD "z"},
        {"utf-8", "abc\xE2\x82zz", "ill-formed UTF-8 sequence E2 82 at byte offset 3",
         "abc" FFFD "zz"},
        {"utf-8", "abc\xE2\x82",
         "incomplete UTF-8 sequence E2 82 at the end of the input (byte offset 3)", "abc" FFFD},
        {"utf-8", "abc\xF0", "incomplete UTF-8 sequence F0 at the end of the input (byte offset 3)",
         "abc" FFFD},
        {"utf-16le", "a\0\0\xDCz\0"s, "ill-formed UTF-16LE sequence 00 DC at byte offset 2",
         "a" FFFD "z"},
        {"utf-16le",
         "\x3D\xD8"
         "A\0"s,
         "ill-formed UTF-16LE sequence 3D D8 at byte offset 0", FFFD "A"},
        {"utf-16be", "\0a\xD8\x3D"s,
         "incomplete UTF-16BE sequence D8 3D at the end of the input (byte offset 2)", "a" FFFD},
        {"utf-16be", "\0a\0"s,
         "incomplete UTF-16BE sequence 00 at the end of the input (byte offset 2)", "a" FFFD},
        {"utf-32be", "\0\0\0a\0\x11\0\0\0\0\0z"s,
         "ill-formed UTF-32BE sequence 00 11 00 00 at byte offset 4", "a" FFFD "z"},
        {"utf-32le", "a\0\0\0\0\xD8\0\0"s,
         "ill-formed UTF-32LE sequence 00 D8 00 00 at byte offset 4", "a" FFFD},
        {"utf-32le", "a\0\0\0z\0"s,
         "incomplete UTF-32LE sequence 7A 00 at the end of the input (byte offset 4)", "a" FFFD},
        {"ucs-2le", "a\0\x3D\xD8"s, "ill-formed UCS-2LE sequence 3D D8 at byte offset 2", "a" FFFD},
        {"utf-8", "a\xF0\x9F\x98\x80z", "U+1F600 at byte offset 1 has no UCS-2BE form",
         "\0a\xFF\xFD\0z"s, "ucs-2be"},
    };
    const std::string dir = xrtest::tempDir();
    for (const auto& c : cases) {
        writeFile(dir + "/bad", c.in);
        writeFile(dir + "/kept", "previous contents");
        const std::string cmd = kCli + " convert -f " + c.from + " -t " + c.to + " ";
        auto r = run(cmd + dir + "/bad " + dir + "/kept");
        EXPECT_EQ(r.exitCode, 1) << c.message;
        EXPECT_EQ(r.err, "xrkit: " + dir + "/bad: " + c.message + "\n");
        EXPECT_EQ(readFile(dir + "/kept"), "previous contents");
        std::remove((dir + "/fresh").c_str());
        EXPECT_EQ(run(cmd + dir + "/bad " + dir + "/fresh").exitCode, 1);
        EXPECT_FALSE(std::filesystem::exists(dir + "/fresh")) << c.message;
        r = run(cmd + "--replace " + dir + "/bad");
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_TRUE(r.out == c.replaced) << c.message;
    }
    for (const auto& e : std::filesystem::directory_iterator(dir))
        EXPECT_EQ(e.path().filename().string().find(".xrkit-"), std::string::npos)
            << "temporary left behind";
}

TEST(CliConvert, StandardStreamsUsageAndHelp) {
    const std::string text = "h\xC3\xA9llo \xF0\x9F\x98\x80", bad = "x\xFFy";
    const char* const kGood[][2] = {{"-f utf-8 -t utf-16be", "utf-16be"},
                                    {"--from=UTF-8 --to=utf-32le -", "utf-32le"}};
    for (const auto& [args, to] : kGood) {
        const auto r = run(kCli + " convert " + args, &text);
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_TRUE(r.out == iconvert("utf-8", to, text)) << args;
    }
    auto r = run(kCli + " convert -f utf-8 -t utf-16le", &bad);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "xrkit: standard input: ill-formed UTF-8 sequence FF at byte offset 1\n");
    EXPECT_TRUE(r.out == "x\0"s); // what came before it
    for (const char* args : {"-t utf-8", "-f utf-8", "-f latin1 -t utf-8", "-f utf-8 -t utf-8 --x",
                             "-f utf-8 -t utf-8 a b c"}) {
        r = run(kCli + " convert " + args, &text);
        EXPECT_EQ(r.exitCode, 2) << args;
        EXPECT_NE(r.err.find("usage:"), std::string::npos) << args;
    }
    EXPECT_EQ(run(kCli + " convert -f utf-8 -t utf-8 /nonexistent/file").exitCode, 1);
    r = run(kCli + " --list");
    EXPECT_EQ(r.exitCode, 0);
    for (std::string e : kEncodings) {
        std::transform(e.begin(), e.end(), e.begin(), ::toupper);
        EXPECT_NE(r.out.find(e), std::string::npos) << e;
    }
}

} // namespace
