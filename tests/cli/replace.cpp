// convert --replace against Python's errors="replace" (tests/cli/replace_reference.py)
// on random malformed input for every pair of encodings Python knows, and on the
// decoder stress file; count's figures against counts made in Python; and the forms
// Python lacks (CESU-8, modified UTF-8, UCS-2) against stated results.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "run.h"

namespace {

using xrtest::readFile;
using xrtest::run;
using xrtest::shellQuote;
using xrtest::writeFile;

const std::string kCli = XRKIT_CLI;
const std::string kReference =
    std::string("python3 ") + XRKIT_SOURCE_DIR + "/tests/cli/replace_reference.py";

bool havePython() {
    return run("python3 -c 'import sys; sys.exit(sys.version_info < (3, 6))'").exitCode == 0;
}

struct Codec {
    const char* python;
    const char* ours;
};
const Codec kCodecs[] = {{"utf-8", "UTF-8"},        {"utf-16", "UTF-16"}, {"utf-16-le", "utf16le"},
                         {"utf-16-be", "UTF-16BE"}, {"utf-32", "utf-32"}, {"utf-32-le", "UTF-32LE"},
                         {"utf-32-be", "UTF_32BE"}};

void put16(std::string& s, unsigned u, bool little) {
    s += static_cast<char>(little ? u & 0xFF : u >> 8);
    s += static_cast<char>(little ? u >> 8 : u & 0xFF);
}

void put32(std::string& s, unsigned v, bool little) {
    for (int i = 0; i < 4; ++i)
        s += static_cast<char>(v >> 8 * (little ? i : 3 - i));
}

std::string utf8Of(unsigned cp) {
    std::string s;
    if (cp < 0x80) return std::string(1, static_cast<char>(cp));
    const int n = cp < 0x800 ? 2 : cp < 0x10000 ? 3 : 4;
    s += static_cast<char>((0xF00u >> n) | cp >> 6 * (n - 1));
    for (int i = n - 2; i >= 0; --i)
        s += static_cast<char>(0x80 | (cp >> 6 * i & 0x3F));
    return s;
}

unsigned randomScalar(std::mt19937& rng) {
    const unsigned limits[] = {0x80, 0x800, 0x10000, 0x110000};
    for (;;) {
        const auto cp = static_cast<unsigned>(rng() % limits[rng() % 4]);
        if (cp < 0xD800 || cp > 0xDFFF) return cp;
    }
}

// Text in the Python codec's encoding, broken in the ways that encoding can be broken.
std::string randomMalformed(std::mt19937& rng, const std::string& codec) {
    std::string s;
    const bool marked = codec == "utf-16" || codec == "utf-32";
    const bool little = codec.ends_with("-le") || (marked && rng() % 2);
    if (marked && rng() % 3) // a byte-order mark, mostly
        codec == "utf-16" ? put16(s, 0xFEFF, little) : put32(s, 0xFEFF, little);
    const int pieces = 1 + static_cast<int>(rng() % 24);
    for (int i = 0; i < pieces; ++i) {
        const auto r = static_cast<unsigned>(rng() % 8);
        const unsigned cp = randomScalar(rng);
        if (codec == "utf-8") {
            const std::string c = utf8Of(cp);
            const char* const broken[] = {
                "\xC0\xAF",         "\xE0\x80\xAF",         "\xED\xA0\x80", "\xED\xBF\xBF",
                "\xF4\x90\x80\x80", "\xF8\x88\x80\x80\x80", "\xFF",         "\xC1"};
            if (r < 3)
                s += c;
            else if (r == 3)
                s += c.substr(0, 1 + rng() % c.size()); // often cut short
            else if (r == 4)
                s += static_cast<char>(0x80 + rng() % 0x80);
            else
                s += broken[rng() % std::size(broken)];
        } else if (codec.starts_with("utf-16")) {
            if (r < 3) {
                if (cp < 0x10000)
                    put16(s, cp, little);
                else
                    put16(s, 0xD800 + ((cp - 0x10000) >> 10), little),
                        put16(s, 0xDC00 + (cp & 0x3FF), little);
            } else {
                put16(s, 0xD800 + rng() % 0x800, little); // a surrogate alone
            }
        } else {
            const auto r32 = static_cast<unsigned>(rng());
            const unsigned bad[] = {0xD800 + r32 % 0x800, 0x110000 + r32 % 0x1000, r32};
            put32(s, r < 4 ? cp : bad[rng() % 3], little);
        }
    }
    if (rng() % 3 == 0) s += std::string(1 + rng() % 3, '\xD8'); // a cut unit at the end
    return s;
}

TEST(CliReplace, EveryPairAgreesWithPython) {
    if (!havePython()) GTEST_SKIP() << "python3 is not installed";
    std::mt19937 rng(2024);
    const std::string dir = xrtest::tempDir();
    const char* const chunks[] = {"XRKIT_CHUNK=1 ", "XRKIT_CHUNK=2 ",  "XRKIT_CHUNK=3 ",
                                  "XRKIT_CHUNK=7 ", "XRKIT_CHUNK=64 ", ""};
    constexpr int kInputs = 8;
    for (const Codec& from : kCodecs) {
        for (int i = 0; i < kInputs; ++i)
            writeFile(dir + "/r" + std::to_string(i), randomMalformed(rng, from.python));
        for (const Codec& to : kCodecs) {
            std::string reference = kReference + " " + from.python + " " + to.python;
            for (int i = 0; i < kInputs; ++i)
                reference +=
                    " " + dir + "/r" + std::to_string(i) + " " + dir + "/p" + std::to_string(i);
            ASSERT_EQ(run(reference).exitCode, 0) << reference;
            for (int i = 0; i < kInputs; ++i) {
                const std::string in = dir + "/r" + std::to_string(i);
                const std::string chunk = chunks[rng() % std::size(chunks)];
                const auto ours = run(chunk + kCli + " convert --replace -f " + from.ours + " -t " +
                                      to.ours + " " + in);
                EXPECT_EQ(ours.exitCode, 0) << ours.err;
                EXPECT_TRUE(ours.out == readFile(dir + "/p" + std::to_string(i)))
                    << from.python << " -> " << to.python << ", " << chunk << "input "
                    << testing::PrintToString(readFile(in));
            }
        }
    }
}

// Python counts the stress file and random malformed UTF-8 its own way: continuation
// steps and announced steps in plain loops, ill-formed sequences as the calls of an
// error handler (one per maximal subpart). Chunk edges fall everywhere.
TEST(CliReplace, StressFileAndCountsAgreeWithPython) {
    if (!havePython()) GTEST_SKIP() << "python3 is not installed";
    const std::string stress = xrtest::stressFile(), dir = xrtest::tempDir();
    for (const char* to : {"utf-8", "utf-16-le"}) {
        const std::string want = dir + "/stress." + to;
        ASSERT_EQ(run(kReference + " utf-8 " + to + " " + shellQuote(stress) + " " + want).exitCode,
                  0);
        const auto ours =
            run(kCli + " convert --replace -f utf-8 -t " + to + " " + shellQuote(stress));
        EXPECT_TRUE(ours.out == readFile(want)) << to;
    }
    const std::string counter = R"(python3 -c '
import codecs, sys
def announced(b):
    return 1 if b < 0xC0 else 2 if b < 0xE0 else 3 if b < 0xF0 else 4 if b < 0xF8 else 5 if b < 0xFC else 6
bad = [0]
def count(e):
    bad[0] += 1
    return ("\ufffd", e.end)
codecs.register_error("count", count)
d = open(sys.argv[1], "rb").read()
chars = i = 0
while i < len(d):
    end, i = i + announced(d[i]), i + 1
    while i < min(end, len(d)) and d[i] & 0xC0 == 0x80:
        i += 1
    chars += 1
steps = i = 0
while i < len(d):
    steps, i = steps + 1, i + announced(d[i])
d.decode("utf-8", "count")
print("%d bytes, %d characters, %d announced, %d invalid" % (len(d), chars, steps, bad[0]))
')";
    std::mt19937 rng(7);
    std::vector<std::string> files = {stress};
    for (int i = 0; i < 12; ++i) {
        files.push_back(dir + "/count" + std::to_string(i));
        writeFile(files.back(), randomMalformed(rng, "utf-8") + randomMalformed(rng, "utf-8"));
    }
    for (const std::string& f : files) {
        const std::string want = run(counter + " " + shellQuote(f)).out;
        ASSERT_FALSE(want.empty());
        for (const char* chunk :
             {"", "XRKIT_CHUNK=1 ", "XRKIT_CHUNK=2 ", "XRKIT_CHUNK=5 ", "XRKIT_CHUNK=6 "}) {
            const auto ours = run(chunk + kCli + " count < " + shellQuote(f));
            EXPECT_EQ(ours.out, "standard input: " + want) << chunk << f;
            EXPECT_EQ(ours.exitCode, want.ends_with(" 0 invalid\n") ? 0 : 1);
        }
    }
}

#define FFFD "\xEF\xBF\xBD"
// One U+FFFD per maximal subpart of the CESU-8 and modified UTF-8 forms (where a
// surrogate pair is one six-byte sequence), per bad UCS-2 unit, and for a character
// UCS-2 cannot hold.
TEST(CliReplace, FormsPythonLacks) {
    using namespace std::string_literals;
    const struct {
        const char* from;
        const char* to;
        std::string in, out;
    } cases[] = {
        {"cesu-8", "utf-8", "a\xED\xA0\xBD\xED\xB8\x80z", "a\xF0\x9F\x98\x80z"},
        {"cesu-8", "utf-8", "\xED\xA0\xBDz", FFFD "z"},               // a high surrogate alone
        {"cesu-8", "utf-8", "\xED\xA0\xBD\xED\x41", FFFD "A"},        // a pair cut after ED
        {"cesu-8", "utf-8", "\xED\xB8\x80", FFFD FFFD FFFD},          // a low surrogate alone
        {"cesu-8", "utf-8", "\xF0\x9F\x98\x80", FFFD FFFD FFFD FFFD}, // no four-byte forms
        {"cesu-8", "utf-8", "\xC0\x80", FFFD FFFD},
        {"cesu-8", "utf-8", "ok\xED\xA0", "ok" FFFD}, // cut by the end
        {"mutf-8", "utf-8", "a\xC0\x80z", "a\0z"s},
        {"mutf-8", "utf-8", "\xC0\x81\xC0", FFFD FFFD FFFD},
        {"utf-8", "mutf-8", "a\0\xF0\x9F\x98\x80\xFF"s, "a\xC0\x80\xED\xA0\xBD\xED\xB8\x80" FFFD},
        {"ucs-2le", "utf-8",
         "\x3D\xD8\x00\xDE"
         "a\0b"s,
         FFFD FFFD "a" FFFD},
        {"utf-8", "ucs-2be", "a\xF0\x9F\x98\x80", "\0a\xFF\xFD"s},
        {"utf-16le", "utf-8",
         "\x3D\xD8"
         "A\0"s,
         FFFD "A"}, // nothing after it eaten
    };
    for (const auto& c : cases) {
        const auto r = run(kCli + " convert --replace -f " + c.from + " -t " + c.to, &c.in);
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_TRUE(r.out == c.out) << c.from << " " << testing::PrintToString(c.in) << " gave "
                                    << testing::PrintToString(r.out);
    }
}

} // namespace
