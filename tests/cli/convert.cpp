// xrkit convert end to end: byte for byte against glibc iconv on every pair, round
// trips, characters cut by chunk edges, bad input (message, offset, exit code, no
// output file) and --replace.
#include <gtest/gtest.h>
#include <iconv.h>

#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "run.h"

namespace {

using xrtest::readFile;
using xrtest::run;
using xrtest::shellQuote;
using xrtest::writeFile;

const std::string kCli = XRKIT_CLI;
const char* const kEncodings[] = {"utf-8",    "utf-16le", "utf-16be", "utf-32le",
                                  "utf-32be", "ucs-2le",  "ucs-2be"};

std::string upper(std::string s) {
    for (char& c : s)
        c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
    return s;
}

bool isUcs2(const std::string& e) {
    return e.rfind("ucs-2", 0) == 0;
}

// glibc iconv in process; the conversion must succeed.
std::string iconvert(const std::string& from, const std::string& to, const std::string& in) {
    iconv_t cd = iconv_open(upper(to).c_str(), upper(from).c_str());
    EXPECT_NE(cd, reinterpret_cast<iconv_t>(-1));
    std::string out(in.size() * 4 + 16, '\0');
    char* ip = const_cast<char*>(in.data());
    char* op = out.data();
    std::size_t il = in.size(), ol = out.size();
    EXPECT_NE(iconv(cd, &ip, &il, &op, &ol), static_cast<std::size_t>(-1)) << from << "->" << to;
    iconv_close(cd);
    out.resize(out.size() - ol);
    return out;
}

bool hasSupplementary(const std::string& utf8) {
    for (unsigned char c : utf8)
        if (c >= 0xF0) return true;
    return false;
}

std::string corpusFile(const std::string& name) {
    return readFile(std::string(XRKIT_CORPUS_DIR) + "/" + name);
}

struct Converted {
    int exitCode;
    std::string out, err;
};

Converted convert(const std::string& from, const std::string& to, const std::string& input,
                  const std::string& extra = "") {
    const std::string dir = xrtest::tempDir();
    writeFile(dir + "/in", input);
    std::remove((dir + "/out").c_str());
    auto r =
        run(extra + kCli + " convert -f " + from + " -t " + to + " " + dir + "/in " + dir + "/out");
    return {r.exitCode, r.exitCode == 0 ? readFile(dir + "/out") : "", r.err};
}

TEST(CliConvert, EveryPairMatchesIconvOnTheCorpus) {
    const std::string dir = xrtest::tempDir();
    for (const char* name : {"Emoji-Lipsum.utf8.txt", "Korean-Lipsum.utf8.txt",
                             "Hindi-Lipsum.utf8.txt", "UTF-8-test.txt"}) {
        const std::string text = corpusFile(name);
        ASSERT_FALSE(text.empty()) << name;
        const bool supplementary = hasSupplementary(text);
        for (const std::string from : kEncodings) {
            if (supplementary && isUcs2(from)) continue;
            const std::string in = iconvert("utf-8", from, text);
            for (const std::string to : kEncodings) {
                if (supplementary && isUcs2(to)) continue;
                const auto got = convert(from, to, in);
                ASSERT_EQ(got.exitCode, 0) << name << ' ' << from << "->" << to << got.err;
                ASSERT_TRUE(got.out == iconvert(from, to, in)) << name << ' ' << from << "->" << to;
            }
        }
    }
}

TEST(CliConvert, RoundTripsThroughEveryEncodingOnTheWholeCorpus) {
    for (const auto& e : std::filesystem::directory_iterator(XRKIT_CORPUS_DIR)) {
        if (!e.is_regular_file() || e.path().extension() != ".txt") continue;
        const std::string text = readFile(e.path());
        for (const std::string via : kEncodings) {
            if (isUcs2(via) && hasSupplementary(text)) continue;
            const auto there = convert("utf-8", via, text);
            ASSERT_EQ(there.exitCode, 0) << e.path() << ' ' << via << there.err;
            ASSERT_TRUE(there.out == iconvert("utf-8", via, text)) << e.path() << ' ' << via;
            const auto back = convert(via, "utf-8", there.out);
            ASSERT_EQ(back.exitCode, 0) << back.err;
            ASSERT_TRUE(back.out == text) << e.path() << ' ' << via;
        }
    }
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

// Small chunks put an edge inside nearly every multi-byte character at some size.
TEST(CliConvert, CharactersCutByChunkEdgesAreCarriedOver) {
    std::mt19937 rng(99);
    for (bool bmp : {false, true}) {
        const std::string text = randomUtf8(rng, 300, bmp);
        for (int chunk : {16, 17, 18, 19, 21, 23, 29}) {
            const std::string env = "XRKIT_CONVERT_CHUNK=" + std::to_string(chunk) + " ";
            for (const std::string from : kEncodings) {
                if (isUcs2(from) && !bmp) continue;
                const std::string in = iconvert("utf-8", from, text);
                const std::string to = from == "utf-8" ? "utf-16be" : "utf-8";
                const auto got = convert(from, to, in, env);
                ASSERT_EQ(got.exitCode, 0) << from << " chunk " << chunk << got.err;
                ASSERT_TRUE(got.out == iconvert(from, to, in)) << from << " chunk " << chunk;
            }
        }
    }
}

// The real chunk size: a four-byte character across the first edge, at every cut.
TEST(CliConvert, DefaultChunkEdge) {
    const std::size_t chunk = 256 << 10;
    for (std::size_t before : {chunk - 3, chunk - 2, chunk - 1, chunk}) {
        std::string text(before, 'a');
        text += "\xF0\x9F\x98\x80\xC3\xA9z";
        for (const std::string to : {"utf-16le", "utf-32be"}) {
            const auto got = convert("utf-8", to, text);
            ASSERT_EQ(got.exitCode, 0) << got.err;
            ASSERT_TRUE(got.out == iconvert("utf-8", to, text)) << before << ' ' << to;
        }
    }
}

// Long good runs go through the drivers in bulk; the character where a run stops is
// judged on its own. Bad sequences far into the input, past the first chunk, and in
// dense clusters give the same offsets and replacements as with tiny chunks, where most
// characters are decoded one by one.
TEST(CliConvert, BulkRunsStopAtTheSameBadSequences) {
    std::mt19937 rng(7);
    const std::string good = randomUtf8(rng, 90000, false);
    const char* const kBad[] = {"\x80",         "\xC3\x41",         "\xE0\x80\x80",
                                "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xE2\x82"};
    for (const char* bad : kBad) {
        std::string text = good;
        const std::size_t at = text.size() - 1000;
        std::size_t cut = at;
        while ((static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
            ++cut;
        text.insert(cut, bad);
        const auto got = convert("utf-8", "utf-16le", text);
        EXPECT_EQ(got.exitCode, 1);
        EXPECT_NE(got.err.find("utf-8 sequence at byte offset " + std::to_string(cut)),
                  std::string::npos)
            << got.err;
    }
    std::string dense;
    for (int i = 0; i < 4000; ++i)
        dense += randomUtf8(rng, 1 + rng() % 40, false) + kBad[rng() % std::size(kBad)];
    for (const std::string to : {"utf-16le", "utf-32be", "ucs-2be"}) {
        const auto bulk = convert("utf-8", to, dense, "");
        const auto small = convert("utf-8", to, dense, "XRKIT_CONVERT_CHUNK=16 ");
        ASSERT_EQ(bulk.exitCode, 1) << to;
        EXPECT_EQ(bulk.err, small.err) << to;
        const auto bulkR = convert("utf-8", to + " --replace", dense, "");
        const auto smallR = convert("utf-8", to + " --replace", dense, "XRKIT_CONVERT_CHUNK=16 ");
        ASSERT_EQ(bulkR.exitCode, 0) << to << bulkR.err;
        EXPECT_TRUE(bulkR.out == smallR.out) << to;
    }
}

TEST(CliConvert, BadInputNamesTheOffsetAndLeavesNoOutputFile) {
    const struct {
        const char* from;
        const char* to;
        std::string in;
        const char* message;  // the expected message after "<file>: "
        std::string replaced; // the --replace output, in the target encoding
    } cases[] = {
        {"utf-8", "utf-8", "ab\x80z", "invalid utf-8 sequence at byte offset 2", "ab\xEF\xBF\xBDz"},
        {"utf-8", "utf-8", "a\xC0\xAFz", "invalid utf-8 sequence at byte offset 1",
         "a\xEF\xBF\xBDz"},
        {"utf-8", "utf-8", "a\xE0\x80\x80z", "invalid utf-8 sequence at byte offset 1",
         "a\xEF\xBF\xBDz"},
        {"utf-8", "utf-8", "a\xED\xA0\x80z", "invalid utf-8 sequence at byte offset 1",
         "a\xEF\xBF\xBDz"},
        {"utf-8", "utf-8", "a\xF4\x90\x80\x80z", "invalid utf-8 sequence at byte offset 1",
         "a\xEF\xBF\xBDz"},
        {"utf-8", "utf-8", "abc\xE2\x82zz", "invalid utf-8 sequence at byte offset 3",
         "abc\xEF\xBF\xBDzz"},
        {"utf-8", "utf-8", "abc\xE2\x82", "truncated utf-8 sequence at byte offset 3",
         "abc\xEF\xBF\xBD"},
        {"utf-8", "utf-8", "abc\xE2", "truncated utf-8 sequence at byte offset 3",
         "abc\xEF\xBF\xBD"},
        {"utf-16le", "utf-8", std::string("a\0\0\xDCz\0", 6),
         "invalid utf-16le sequence at byte offset 2", "a\xEF\xBF\xBDz"},
        {"utf-16be", "utf-8", std::string("\0a\xD8\x3D", 4),
         "truncated utf-16be sequence at byte offset 2", "a\xEF\xBF\xBD"},
        {"utf-16be", "utf-8", std::string("\0a\0", 3),
         "truncated utf-16be sequence at byte offset 2", "a\xEF\xBF\xBD"},
        {"utf-32be", "utf-8", std::string("\0\0\0a\0\x11\0\0\0\0\0z", 12),
         "invalid utf-32be sequence at byte offset 4", "a\xEF\xBF\xBDz"},
        {"utf-32le", "utf-8", std::string("a\0\0\0\0\xD8\0\0", 8),
         "invalid utf-32le sequence at byte offset 4", "a\xEF\xBF\xBD"},
        {"utf-32le", "utf-8", std::string("a\0\0\0z\0", 6),
         "truncated utf-32le sequence at byte offset 4", "a\xEF\xBF\xBD"},
        {"ucs-2le", "utf-8", std::string("a\0\x3D\xD8", 4),
         "invalid ucs-2le sequence at byte offset 2", "a\xEF\xBF\xBD"},
        {"utf-8", "ucs-2be", "a\xF0\x9F\x98\x80z", "U+1F600 at byte offset 1 has no ucs-2be form",
         std::string("\0a\xFF\xFD\0z", 6)},
    };
    const std::string dir = xrtest::tempDir();
    for (const auto& c : cases) {
        writeFile(dir + "/bad", c.in);
        writeFile(dir + "/kept", "previous contents");
        const std::string cmd = kCli + " convert -f " + c.from + " -t " + c.to + " ";
        auto r = run(cmd + dir + "/bad " + dir + "/kept");
        EXPECT_EQ(r.exitCode, 1) << c.message;
        EXPECT_NE(r.err.find(dir + "/bad: " + c.message), std::string::npos) << r.err;
        EXPECT_EQ(readFile(dir + "/kept"), "previous contents");
        std::remove((dir + "/fresh").c_str());
        r = run(cmd + dir + "/bad " + dir + "/fresh");
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_FALSE(std::filesystem::exists(dir + "/fresh")) << c.message;
        r = run(cmd + "--replace " + dir + "/bad");
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_TRUE(r.out == c.replaced) << c.message;
    }
    std::size_t leftovers = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir))
        leftovers += e.path().filename().string().find(".xrkit-") != std::string::npos;
    EXPECT_EQ(leftovers, 0u) << "temporary files left behind";
}

TEST(CliConvert, StandardStreamsUsageAndHelp) {
    const std::string text = "h\xC3\xA9llo \xF0\x9F\x98\x80";
    auto r = run(kCli + " convert -f utf-8 -t utf-16be", &text);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(r.out == iconvert("utf-8", "utf-16be", text));
    r = run(kCli + " convert --from=UTF-8 --to=utf-32le -", &text);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(r.out == iconvert("utf-8", "utf-32le", text));
    const std::string bad = "x\xFFy";
    r = run(kCli + " convert -f utf-8 -t utf-16le", &bad);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("<stdin>: invalid utf-8 sequence at byte offset 1"), std::string::npos);

    for (const char* args : {"-t utf-8", "-f utf-8", "-f latin1 -t utf-8", "-f utf-8 -t utf-8 --x",
                             "-f utf-8 -t utf-8 a b c"}) {
        r = run(kCli + " convert " + args, &text);
        EXPECT_EQ(r.exitCode, 2) << args;
        EXPECT_NE(r.err.find("usage:"), std::string::npos) << args;
    }
    EXPECT_EQ(run(kCli + " convert -f utf-8 -t utf-8 /nonexistent/file").exitCode, 1);
    r = run(kCli + " convert --help");
    EXPECT_EQ(r.exitCode, 0);
    for (const char* e : kEncodings)
        EXPECT_NE(r.out.find(e), std::string::npos) << e;
}

} // namespace
