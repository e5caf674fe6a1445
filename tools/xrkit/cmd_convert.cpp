// xrkit convert: transcoding between Unicode encodings through the library's
// converters, streamed in bounded chunks so that inputs of any size run in constant
// memory. Every input character is decoded to a code point by the library's reader for
// its encoding (and checked strictly), collected as UTF-32, and the chunk is written out
// by ConvertFromUTF32 with the target's writer.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "commands.h"
#include "xr/xrconv.h"
#include "xr/xrutf8.h"

namespace xrkit {
namespace {

constexpr XRUtf32 kReplacement = 0xFFFD;
// No character of any encoding is longer, so a chunk is decoded only while at least this
// many bytes remain (or the input has ended): a character cut by the chunk edge is
// carried over whole, and "truncated" can only mean the real end of the input.
constexpr std::size_t kMaxSequence = 8;
constexpr std::size_t kDefaultChunk = std::size_t{1} << 20;

using UnitReader = XRUtf32 (*)(XRUtf8*);
using LegalTest = XRBoolean (*)(XRUtf8Ptr, XRMemSize, XRMemSize*);

// The library's functions that one run uses.
struct Codec {
    XRCvtReader reader = nullptr; // the encoding's reader into code points
    UnitReader unitReader = nullptr; // UCS-2: one unit, no pairing
    XRCvtWriter writer = nullptr;
    XRCvtWriter utf32Writer = nullptr;  // code points into the UTF-32 batch
    XRCvtReader utf32Reader = nullptr;  // and out of it
    LegalTest isLegal = nullptr;
    decltype(&ConvertFromUTF32) fromUtf32 = nullptr;
    decltype(&xrzsu8Decode) modifiedDecode = nullptr; // CESU-8 and modified UTF-8
    decltype(&xrzsu8Encode) modifiedEncode = nullptr;
    XRFlags modifiedOpt = 0;                          // the source's option bits
};

struct Decoded {
    XRUtf32 cp;
    std::size_t step;      // input bytes the character (or the bad sequence) occupies
    const char* problem;   // null for a good character
};

Decoded good(XRUtf32 cp, XRMemSize step) { return {cp, static_cast<std::size_t>(step), nullptr}; }
Decoded bad(std::size_t step, const char* problem) { return {kReplacement, step, problem}; }

// Strict UTF-8: the lax reader finds the extent, isLegalUTF8 judges it, and a bad
// sequence ends at its first bad continuation byte.
Decoded decodeUtf8(const Codec& c, XRUtf8* p, std::size_t avail) {
    XRUtf32 cp = 0;
    XRMemSize used = 0, move = 0;
    switch (c.reader(p, avail, &cp, &used)) {
    case 0:
        if (used == 1 || c.isLegal(p, used, &move)) return good(cp, used);
        return bad(move, "invalid");
    case XRStatusTruncatedSequence:
        c.isLegal(p, avail, &move);
        return move < avail ? bad(move, "invalid") : bad(avail, "truncated");
    default:
        return bad(used, "invalid");
    }
}

Decoded decodeUtf16(const Codec& c, XRUtf8* p, std::size_t avail) {
    XRUtf32 cp = 0;
    XRMemSize used = 0;
    switch (c.reader(p, avail, &cp, &used)) {
    case 0: return good(cp, used);
    case XRStatusTruncatedSequence: return bad(avail, "truncated");
    default: return bad(used, "invalid");
    }
}

bool isScalarValue(XRUtf32 cp) { return cp <= 0x10FFFF && (cp < 0xD800 || cp > 0xDFFF); }

Decoded decodeUtf32(const Codec& c, XRUtf8* p, std::size_t avail) {
    XRUtf32 cp = 0;
    XRMemSize used = 0;
    if (c.reader(p, avail, &cp, &used) != 0) return bad(avail, "truncated");
    return isScalarValue(cp) ? good(cp, used) : bad(4, "invalid");
}

Decoded decodeUcs2(const Codec& c, XRUtf8* p, std::size_t avail) {
    if (avail < 2) return bad(avail, "truncated");
    const XRUtf32 cp = c.unitReader(p);
    return isScalarValue(cp) ? good(cp, 2) : bad(2, "invalid");
}

bool isSurrogateSequence(const XRUtf8* p, XRUtf8 low, XRUtf8 high) {
    return p[0] == 0xED && p[1] >= low && p[1] <= high && (p[2] & 0xC0) == 0x80;
}

// CESU-8 and modified UTF-8: a surrogate pair goes through xrzsu8Decode, C0 80 is NUL
// in modified UTF-8, and everything else is strict UTF-8 without four-byte forms.
Decoded decodeModified(const Codec& c, XRUtf8* p, std::size_t avail) {
    if (avail >= 6 && isSurrogateSequence(p, 0xA0, 0xAF) && isSurrogateSequence(p + 3, 0xB0, 0xBF)) {
        XRUtf8 four[4];
        XRMemSize n = 0, used = 0;
        XRUtf32 cp = 0;
        c.modifiedDecode(p, 6, four, sizeof four, &n, c.modifiedOpt);
        c.reader(four, n, &cp, &used);
        return good(cp, 6);
    }
    if ((c.modifiedOpt & XRZSU8_MODIFIED_NUL) && avail >= 2 && p[0] == 0xC0 && p[1] == 0x80)
        return good(0, 2);
    const Decoded d = decodeUtf8(c, p, avail);
    return !d.problem && d.cp > 0xFFFF ? bad(d.step, "invalid") : d;
}

// One row per encoding; another encoding is one more row with its decoder (and, where
// the library's writers do not serve, its own writer).
struct Encoding {
    const char* name;
    const char* reader; // exported name of the reader (a unit reader for UCS-2)
    const char* writer;
    Decoded (*decode)(const Codec&, XRUtf8*, std::size_t);
    bool bmpOnly;
    int modified = -1; // CESU-8 (0) or modified UTF-8 (XRZSU8_MODIFIED_NUL): option bits
};

const Encoding kEncodings[] = {
    {"utf-8", "UTF8_UTF32", "UTF32_UTF8", decodeUtf8, false},
    {"utf-16le", "UTF16_UTF32_SWAP", "UTF32_UTF16s", decodeUtf16, false},
    {"utf-16be", "UTF16_UTF32", "UTF32_UTF16s_SWAP", decodeUtf16, false},
    {"utf-32le", "COPY_UTF32b_SWAP", "COPY_UTF32_SWAP", decodeUtf32, false},
    {"utf-32be", "COPY_UTF32b", "COPY_UTF32", decodeUtf32, false},
    {"ucs-2le", "BYTE_UTF16_UTF32_SWAP", "UTF32_UTF16", decodeUcs2, true},
    {"ucs-2be", "BYTE_UTF16_UTF32", "UTF32_UTF16_SWAP", decodeUcs2, true},
    {"cesu-8", "UTF8_UTF32", "UTF32_UTF8", decodeModified, false, 0},
    {"mutf-8", "UTF8_UTF32", "UTF32_UTF8", decodeModified, false, XRZSU8_MODIFIED_NUL},
};

const Encoding& findEncoding(const std::string& name) {
    std::string lower;
    for (char ch : name) lower += static_cast<char>(ch >= 'A' && ch <= 'Z' ? ch + 32 : ch);
    for (const auto& e : kEncodings)
        if (lower == e.name) return e;
    std::string known;
    for (const auto& e : kEncodings) known += std::string(known.empty() ? "" : ", ") + e.name;
    throw UsageError("unknown encoding '" + name + "' (known: " + known + ")");
}

template <class F> F symbolOf(const xrhost::Library& lib, const char* name) {
    void* p = lib.symbol(name);
    if (!p) throw DataError(lib.path() + " does not export " + name);
    return reinterpret_cast<F>(p);
}

Codec resolve(const xrhost::Library& lib, const Encoding& from, const Encoding& to) {
    Codec c;
    if (from.decode == decodeUcs2)
        c.unitReader = symbolOf<UnitReader>(lib, from.reader);
    else
        c.reader = symbolOf<XRCvtReader>(lib, from.reader);
    c.writer = symbolOf<XRCvtWriter>(lib, to.writer);
    c.utf32Writer = symbolOf<XRCvtWriter>(lib, "COPY_UTF32");
    c.utf32Reader = symbolOf<XRCvtReader>(lib, "COPY_UTF32b");
    c.isLegal = symbolOf<LegalTest>(lib, "isLegalUTF8");
    c.fromUtf32 = symbolOf<decltype(&ConvertFromUTF32)>(lib, "ConvertFromUTF32");
    c.modifiedDecode = symbolOf<decltype(&xrzsu8Decode)>(lib, "xrzsu8Decode");
    c.modifiedEncode = symbolOf<decltype(&xrzsu8Encode)>(lib, "xrzsu8Encode");
    c.modifiedOpt = from.modified < 0 ? 0 : static_cast<XRFlags>(from.modified);
    return c;
}

std::string errnoText(const std::string& what) { return what + ": " + std::strerror(errno); }

// The output file appears only when the conversion succeeds: bytes go to a temporary
// beside it, renamed over it at the end and removed on any failure.
class Output {
  public:
    explicit Output(const std::string& name) : name_(name) {
        if (name.empty() || name == "-") return;
        temp_ = name + ".xrkit-XXXXXX";
        fd_ = mkstemp(temp_.data());
        if (fd_ < 0) throw DataError(errnoText(name));
        const mode_t mask = umask(0);
        umask(mask);
        fchmod(fd_, 0666 & ~mask);
    }
    ~Output() {
        if (temp_.empty()) return;
        if (fd_ >= 0) close(fd_);
        unlink(temp_.c_str());
    }
    Output(const Output&) = delete;
    Output& operator=(const Output&) = delete;

    void write(const std::uint8_t* p, std::size_t n) {
        while (n) {
            const ssize_t w = ::write(fd_, p, n);
            if (w < 0 && errno == EINTR) continue;
            if (w < 0) throw DataError(errnoText(temp_.empty() ? "<stdout>" : name_));
            p += w;
            n -= static_cast<std::size_t>(w);
        }
    }
    void commit() {
        if (temp_.empty()) return;
        const int fd = fd_;
        fd_ = -1;
        if (close(fd) != 0 || rename(temp_.c_str(), name_.c_str()) != 0)
            throw DataError(errnoText(name_));
        temp_.clear();
    }

  private:
    std::string name_, temp_;
    int fd_ = STDOUT_FILENO;
};

class Input {
  public:
    explicit Input(const std::string& name) : display_(name == "-" ? "<stdin>" : name) {
        if (name == "-") return;
        fd_ = open(name.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd_ < 0) throw DataError(errnoText(display_));
    }
    ~Input() {
        if (fd_ != STDIN_FILENO) close(fd_);
    }
    Input(const Input&) = delete;
    Input& operator=(const Input&) = delete;

    // Fills p[0..n) as far as the input goes; fewer bytes only at its end.
    std::size_t readUpTo(std::uint8_t* p, std::size_t n) {
        std::size_t got = 0;
        while (got < n) {
            const ssize_t r = read(fd_, p + got, n - got);
            if (r < 0 && errno == EINTR) continue;
            if (r < 0) throw DataError(errnoText(display_));
            if (r == 0) break;
            got += static_cast<std::size_t>(r);
        }
        return got;
    }
    const std::string& displayName() const { return display_; }

  private:
    std::string display_;
    int fd_ = STDIN_FILENO;
};

std::string hexCodePoint(XRUtf32 cp) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "U+%04X", cp);
    return buf;
}

struct Job {
    const Encoding& from;
    const Encoding& to;
    const Codec& codec;
    bool replace;
    std::size_t chunk;
};

void convertStream(const Job& job, Input& in, Output& out) {
    std::vector<std::uint8_t> bytes(job.chunk + kMaxSequence);
    std::vector<std::uint8_t> batch(4 * bytes.size()), encoded(4 * bytes.size());
    std::vector<std::uint8_t> modified(job.to.modified < 0 ? 0 : 8 * bytes.size());
    std::size_t have = 0;
    std::uint64_t base = 0; // input offset of bytes[0]
    for (bool atEnd = false; !atEnd;) {
        const std::size_t want = bytes.size() - have;
        const std::size_t got = in.readUpTo(bytes.data() + have, want);
        atEnd = got < want;
        have += got;
        std::size_t pos = 0, batchL = 0;
        while (pos < have && (atEnd || have - pos >= kMaxSequence)) {
            Decoded d = job.from.decode(job.codec, bytes.data() + pos, have - pos);
            if (!d.problem && job.to.bmpOnly && d.cp > 0xFFFF) {
                if (!job.replace)
                    throw DataError(in.displayName() + ": " + hexCodePoint(d.cp) +
                                    " at byte offset " + std::to_string(base + pos) +
                                    " has no " + job.to.name + " form");
                d.cp = kReplacement;
            }
            if (d.problem && !job.replace)
                throw DataError(in.displayName() + ": " + d.problem + " " + job.from.name +
                                " sequence at byte offset " + std::to_string(base + pos));
            XRMemSize w = 0;
            job.codec.utf32Writer(d.cp, batch.data() + batchL, 4, &w);
            batchL += 4;
            pos += d.step ? d.step : 1;
        }
        XRMemSize encodedL = 0;
        const XRStatus rc = job.codec.fromUtf32(batch.data(), batchL, encoded.data(), encoded.size(),
                                                &encodedL, job.codec.writer, job.codec.utf32Reader);
        if (rc != 0) throw DataError("conversion failed with status " + std::to_string(rc));
        if (job.to.modified >= 0) {
            // Whole UTF-8 characters, so the chunk converts on its own.
            UTF8ByteLength modifiedL = 0;
            job.codec.modifiedEncode(encoded.data(), encodedL, modified.data(), modified.size(),
                                     &modifiedL, static_cast<XRFlags>(job.to.modified));
            out.write(modified.data(), modifiedL);
        } else {
            out.write(encoded.data(), encodedL);
        }
        std::memmove(bytes.data(), bytes.data() + pos, have - pos);
        have -= pos;
        base += pos;
    }
}

// XRKIT_CONVERT_CHUNK sets the chunk size; tests use small ones to put chunk edges
// inside characters.
std::size_t chunkSize() {
    const char* env = std::getenv("XRKIT_CONVERT_CHUNK");
    const long long n = env ? std::atoll(env) : 0;
    return n >= 16 ? static_cast<std::size_t>(n) : kDefaultChunk;
}

int runConvert(Args& args) {
    std::string fromName, toName;
    if (!takeOption(args, "-f", fromName) && !takeOption(args, "--from", fromName))
        throw UsageError("the source encoding (-f) is required");
    if (!takeOption(args, "-t", toName) && !takeOption(args, "--to", toName))
        throw UsageError("the target encoding (-t) is required");
    const bool replace = takeFlag(args, "--replace");
    const Encoding& from = findEncoding(fromName);
    const Encoding& to = findEncoding(toName);
    std::string inName = "-", outName;
    for (std::string* operand : {&inName, &outName}) {
        if (args.empty()) break;
        const std::string& a = args.front();
        if (a.size() > 1 && a[0] == '-') throw UsageError("unknown option " + a);
        *operand = a;
        args.erase(args.begin());
    }
    rejectLeftovers(args);

    Runtime rt;
    const Codec codec = resolve(rt.lib, from, to);
    Input in(inName);
    Output out(outName);
    convertStream({from, to, codec, replace, chunkSize()}, in, out);
    out.commit();
    return 0;
}

} // namespace

const Command kConvertCommand = {
    "convert",
    "convert -f FROM -t TO [--replace] [IN [OUT]]\n"
    "Converts IN (standard input for - or none) from encoding FROM to encoding TO and\n"
    "writes OUT (standard output when absent). Encodings: utf-8, utf-16le, utf-16be,\n"
    "utf-32le, utf-32be, ucs-2le, ucs-2be, cesu-8 (each character above U+FFFF as\n"
    "two three-byte surrogates), mutf-8 (cesu-8 with NUL as C0 80). No byte-order mark\n"
    "is read or written.\n"
    "Input is checked strictly: overlong UTF-8, surrogate code points, values above\n"
    "U+10FFFF and broken or truncated sequences are errors, as is a character above\n"
    "U+FFFF sent to UCS-2. An error names the input and the byte offset of the bad\n"
    "sequence and exits with 1; OUT is then left as it was.\n"
    "  --replace  write U+FFFD for each bad sequence (or character without a UCS-2\n"
    "             form) and go on",
    &runConvert};

} // namespace xrkit
