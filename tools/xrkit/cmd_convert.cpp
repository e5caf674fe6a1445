// xrkit convert: transcoding between Unicode encodings through the library's
// converters, streamed in bounded chunks through buffers allocated once, so that inputs
// of any size run in constant memory. Runs of input go through ConvertToUTF32 in bulk
// and are checked strictly on their UTF-32 form; a character that the check or the
// driver stops at is decoded on its own by the library's reader, which names the problem
// and its offset. The UTF-32 batch is written out by ConvertFromUTF32 with the target's
// writer.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
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
constexpr std::size_t kDefaultChunk = std::size_t{256} << 10;

using UnitReader = XRUtf32 (*)(XRUtf8*);
using LegalTest = XRBoolean (*)(XRUtf8Ptr, XRMemSize, XRMemSize*);

// The library's functions that one run uses.
struct Codec {
    XRCvtReader reader = nullptr;    // the encoding's reader into code points
    UnitReader unitReader = nullptr; // UCS-2: one unit, no pairing
    XRCvtWriter writer = nullptr;
    XRCvtWriter utf32Writer = nullptr; // code points into the UTF-32 batch
    XRCvtReader utf32Reader = nullptr; // and out of it
    LegalTest isLegal = nullptr;
    decltype(&ConvertFromUTF32) fromUtf32 = nullptr;
    decltype(&ConvertToUTF32) toUtf32 = nullptr;
    XRCvtWriter utf8Writer = nullptr;                 // re-encodes UTF-8 runs to prove them strict
    decltype(&xrzsu8Decode) modifiedDecode = nullptr; // CESU-8 and modified UTF-8
    decltype(&xrzsu8Encode) modifiedEncode = nullptr;
    XRFlags modifiedOpt = 0; // the source's option bits
};

struct Decoded {
    XRUtf32 cp;
    std::size_t step;    // input bytes the character (or the bad sequence) occupies
    const char* problem; // null for a good character
};

Decoded good(XRUtf32 cp, XRMemSize step) {
    return {cp, static_cast<std::size_t>(step), nullptr};
}
Decoded bad(std::size_t step, const char* problem) {
    return {kReplacement, step, problem};
}

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
    case 0:
        return good(cp, used);
    case XRStatusTruncatedSequence:
        return bad(avail, "truncated");
    default:
        return bad(used, "invalid");
    }
}

bool isScalarValue(XRUtf32 cp) {
    return cp <= 0x10FFFF && (cp < 0xD800 || cp > 0xDFFF);
}

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
    if (avail >= 6 && isSurrogateSequence(p, 0xA0, 0xAF) &&
        isSurrogateSequence(p + 3, 0xB0, 0xBF)) {
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
    for (char ch : name)
        lower += static_cast<char>(ch >= 'A' && ch <= 'Z' ? ch + 32 : ch);
    for (const auto& e : kEncodings)
        if (lower == e.name) return e;
    std::string known;
    for (const auto& e : kEncodings)
        known += std::string(known.empty() ? "" : ", ") + e.name;
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
    c.toUtf32 = symbolOf<decltype(&ConvertToUTF32)>(lib, "ConvertToUTF32");
    c.utf8Writer = symbolOf<XRCvtWriter>(lib, "UTF32_UTF8");
    c.modifiedDecode = symbolOf<decltype(&xrzsu8Decode)>(lib, "xrzsu8Decode");
    c.modifiedEncode = symbolOf<decltype(&xrzsu8Encode)>(lib, "xrzsu8Encode");
    c.modifiedOpt = from.modified < 0 ? 0 : static_cast<XRFlags>(from.modified);
    return c;
}

std::string errnoText(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

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

std::uint32_t loadBig32(const std::uint8_t* p) {
    return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3];
}

// Code points (UTF-32BE) on their way out: encoded with the target's writer when full
// and at the end of each chunk. Every buffer is sized once from the chunk size.
class Batch {
  public:
    Batch(const Job& job, Output& out)
        : job_(job), out_(out), utf32_(4 * (job.chunk + kMaxSequence)), encoded_(utf32_.size()),
          modified_(job.to.modified < 0 ? 0 : 2 * utf32_.size()) {}

    std::uint8_t* tail() { return utf32_.data() + used_; }
    std::size_t room() const { return utf32_.size() - used_; }
    void commit(std::size_t chars) { used_ += 4 * chars; }
    void push(XRUtf32 cp) {
        if (room() < 4) flush();
        XRMemSize w = 0;
        job_.codec.utf32Writer(cp, tail(), 4, &w);
        used_ += 4;
    }
    void flush() {
        XRMemSize encodedL = 0;
        const XRStatus rc =
            job_.codec.fromUtf32(utf32_.data(), used_, encoded_.data(), encoded_.size(), &encodedL,
                                 job_.codec.writer, job_.codec.utf32Reader);
        if (rc != 0) throw DataError("conversion failed with status " + std::to_string(rc));
        used_ = 0;
        if (job_.to.modified >= 0) {
            // Whole UTF-8 characters, so the batch converts on its own.
            UTF8ByteLength modifiedL = 0;
            job_.codec.modifiedEncode(encoded_.data(), encodedL, modified_.data(), modified_.size(),
                                      &modifiedL, static_cast<XRFlags>(job_.to.modified));
            out_.write(modified_.data(), modifiedL);
        } else {
            out_.write(encoded_.data(), encodedL);
        }
    }
    // Scratch space for re-encoding a UTF-8 run: at least four bytes per code point.
    std::vector<std::uint8_t>& scratch() { return encoded_; }

  private:
    const Job& job_;
    Output& out_;
    std::vector<std::uint8_t> utf32_, encoded_, modified_;
    std::size_t used_ = 0;
};

// The code points of a bulk run that need no judgement of their own: scalar values, and
// within the BMP when the target is UCS-2.
bool isPlain(XRUtf32 cp, XRUtf32 limit) {
    return cp <= limit && (cp < 0xD800 || cp > 0xDFFF);
}

std::size_t plainPrefix(const std::uint8_t* utf32, std::size_t chars, bool bmpOnly) {
    const XRUtf32 limit = bmpOnly ? 0xFFFF : 0x10FFFF;
    constexpr std::size_t kBlock = 64; // checked whole, without an early exit
    std::size_t k = 0;
    for (; k + kBlock <= chars; k += kBlock) {
        bool plain = true;
        for (std::size_t j = 0; j < kBlock; ++j)
            plain &= isPlain(loadBig32(utf32 + 4 * (k + j)), limit);
        if (!plain) break;
    }
    while (k < chars && isPlain(loadBig32(utf32 + 4 * k), limit))
        ++k;
    return k;
}

std::size_t utf8Length(XRUtf32 cp) {
    return cp < 0x80 ? 1 : cp < 0x800 ? 2 : cp < 0x10000 ? 3 : 4;
}

// How many of `chars` code points decoded from UTF-8 at p were strict (their shortest
// form is exactly the input), and the bytes they occupy.
std::size_t strictUtf8Prefix(const Job& job, Batch& batch, const std::uint8_t* p,
                             std::size_t& chars) {
    XRMemSize encodedL = 0;
    std::vector<std::uint8_t>& again = batch.scratch();
    job.codec.fromUtf32(batch.tail(), 4 * chars, again.data(), again.size(), &encodedL,
                        job.codec.utf8Writer, job.codec.utf32Reader);
    if (std::memcmp(again.data(), p, encodedL) == 0) return encodedL;
    const std::size_t same = static_cast<std::size_t>(
        std::mismatch(again.data(), again.data() + encodedL, p).first - again.data());
    std::size_t bytes = 0, k = 0;
    while (k < chars && bytes + utf8Length(loadBig32(batch.tail() + 4 * k)) <= same)
        bytes += utf8Length(loadBig32(batch.tail() + 4 * k++));
    chars = k;
    return bytes;
}

// Converts the longest run at p that is good input into the batch; returns the bytes
// taken. A character cut by the end of the bytes, or one that needs a message or a
// replacement, is left for decodeOne.
std::size_t bulkRun(const Job& job, Batch& batch, std::uint8_t* p, std::size_t avail) {
    if (job.from.decode == decodeUcs2 || job.from.decode == decodeModified) return 0;
    if (batch.room() < 4 * kMaxSequence) batch.flush();
    XRMemSize used = 0;
    job.codec.toUtf32(p, avail, batch.tail(), batch.room(), &used, job.codec.reader,
                      job.codec.utf32Writer);
    std::size_t chars = plainPrefix(batch.tail(), used / 4, job.to.bmpOnly);
    std::size_t bytes = 0;
    if (job.from.decode == decodeUtf8) {
        bytes = strictUtf8Prefix(job, batch, p, chars);
    } else if (job.from.decode == decodeUtf16) {
        for (std::size_t k = 0; k < chars; ++k)
            bytes += loadBig32(batch.tail() + 4 * k) > 0xFFFF ? 4 : 2;
    } else {
        bytes = 4 * chars;
    }
    batch.commit(chars);
    return bytes;
}

// One character by the encoding's own decoder: the good ones go to the batch, a bad one
// ends the run with its message or becomes U+FFFD.
std::size_t decodeOne(const Job& job, Batch& batch, std::uint8_t* p, std::size_t avail,
                      const std::string& inputName, std::uint64_t offset) {
    Decoded d = job.from.decode(job.codec, p, avail);
    if (!d.problem && job.to.bmpOnly && d.cp > 0xFFFF) {
        if (!job.replace)
            throw DataError(inputName + ": " + hexCodePoint(d.cp) + " at byte offset " +
                            std::to_string(offset) + " has no " + job.to.name + " form");
        d.cp = kReplacement;
    }
    if (d.problem && !job.replace)
        throw DataError(inputName + ": " + d.problem + " " + job.from.name +
                        " sequence at byte offset " + std::to_string(offset));
    batch.push(d.cp);
    return d.step ? d.step : 1;
}

void convertStream(const Job& job, Input& in, Output& out) {
    std::vector<std::uint8_t> bytes(job.chunk + kMaxSequence);
    Batch batch(job, out);
    std::size_t have = 0;
    std::uint64_t base = 0; // input offset of bytes[0]
    std::size_t window = bytes.size();
    for (bool atEnd = false; !atEnd;) {
        const std::size_t want = bytes.size() - have;
        const std::size_t got = in.readUpTo(bytes.data() + have, want);
        atEnd = got < want;
        have += got;
        std::size_t pos = 0;
        while (pos < have) {
            // The window follows the distance between stops, so that input with many bad
            // sequences is not decoded far ahead again and again.
            const std::size_t avail = std::min(have - pos, window);
            const std::size_t taken = bulkRun(job, batch, bytes.data() + pos, avail);
            pos += taken;
            window = taken < avail ? std::max<std::size_t>(256, 2 * taken)
                                   : std::min(2 * window, bytes.size());
            if (pos == have || (!atEnd && have - pos < kMaxSequence)) break;
            if (taken == avail) continue;
            pos +=
                decodeOne(job, batch, bytes.data() + pos, have - pos, in.displayName(), base + pos);
        }
        batch.flush();
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
