#include "transcode.h"

#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstring>
#include <utility>

namespace xrkit {
namespace {

struct Names {
    const char* reader;
    const char* writer;
};

// The library's converters of one encoding in one byte order. UCS-2 is read as UTF-16
// (the bulk step's BMP limit stops at a pair), CESU-8 and modified UTF-8 as UTF-8 and
// written as UTF-8 that xrzsu8Encode then turns into their forms.
Names namesOf(const Encoding& e) {
    const bool little = e.order == Order::Little;
    switch (e.form) {
    case Form::Utf16:
        return little ? Names{"UTF16_UTF32_SWAP", "UTF32_UTF16s"}
                      : Names{"UTF16_UTF32", "UTF32_UTF16s_SWAP"};
    case Form::Ucs2:
        return little ? Names{"UTF16_UTF32_SWAP", "UTF32_UTF16"}
                      : Names{"UTF16_UTF32", "UTF32_UTF16_SWAP"};
    case Form::Utf32:
        return little ? Names{"COPY_UTF32b_SWAP", "COPY_UTF32_SWAP"}
                      : Names{"COPY_UTF32b", "COPY_UTF32"};
    default:
        return {"UTF8_UTF32", "UTF32_UTF8"};
    }
}

bool isUtf8Family(Form f) {
    return f == Form::Utf8 || f == Form::Cesu8 || f == Form::Mutf8;
}

std::uint32_t loadBig32(const std::uint8_t* p) {
    return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3];
}

bool isPlain(std::uint32_t cp, std::uint32_t limit) {
    return cp <= limit && (cp < 0xD800 || cp > 0xDFFF);
}

// Nonzero unless the code point stored big-endian at p is a scalar value up to limit
// (0xFFFF or 0x10FFFF). Tested on the word as it lies in memory, so that a loop of these
// vectorizes without byte swaps.
std::uint32_t notPlain(const std::uint8_t* p, std::uint32_t limit) {
    std::uint32_t w;
    std::memcpy(&w, p, 4);
    if constexpr (std::endian::native == std::endian::little) {
        const std::uint32_t plane = w >> 8 & 0xFF; // w's lowest byte is the code point's top
        return (w & 0xFF) | (plane > limit >> 16) | ((w & 0xF8FFFF) == 0xD80000);
    } else {
        return !isPlain(w, limit);
    }
}

// How many of the code points (UTF-32BE) are scalar values up to limit.
std::size_t plainPrefix(const std::uint8_t* utf32, std::size_t chars, std::uint32_t limit) {
    constexpr std::size_t kBlock = 64; // checked whole, without an early exit
    std::size_t k = 0;
    for (; k + kBlock <= chars; k += kBlock) {
        std::uint32_t bad = 0;
        for (std::size_t j = 0; j < kBlock; ++j)
            bad |= notPlain(utf32 + 4 * (k + j), limit);
        if (bad) break;
    }
    while (k < chars && !notPlain(utf32 + 4 * k, limit))
        ++k;
    return k;
}

std::size_t utf8Length(std::uint32_t cp) {
    return cp < 0x80 ? 1 : cp < 0x800 ? 2 : cp < 0x10000 ? 3 : 4;
}

// The strict kernels' name for an encoding in a fixed byte order, if they know it.
bool strictEncoding(const Encoding& e, xr::strict::Encoding& out) {
    using xr::strict::Encoding;
    const bool little = e.order == Order::Little;
    switch (e.form) {
    case Form::Utf8:
        out = Encoding::Utf8;
        return true;
    case Form::Utf16:
        out = little ? Encoding::Utf16Le : Encoding::Utf16Be;
        return true;
    case Form::Utf32:
        out = little ? Encoding::Utf32Le : Encoding::Utf32Be;
        return true;
    default:
        return false;
    }
}

template <class F> F symbolOf(const xrhost::Library& lib, const char* name) {
    return reinterpret_cast<F>(lib.fn<void()>(name));
}

} // namespace

Route::Route(const xrhost::Library& lib, const Encoding& from, const Encoding& to)
    : sourceForm_(from.form),
      limit_(bmpOnly(from.form) || to.form == Form::Ucs2 ? 0xFFFF : 0x10FFFF),
      reader_(symbolOf<XRCvtReader>(lib, namesOf(from).reader)),
      utf32Reader_(symbolOf<XRCvtReader>(lib, "COPY_UTF32b")),
      writer_(symbolOf<XRCvtWriter>(lib, namesOf(to).writer)),
      utf32Writer_(symbolOf<XRCvtWriter>(lib, "COPY_UTF32")),
      toUtf32_(lib.fn<decltype(ConvertToUTF32)>("ConvertToUTF32")),
      fromUtf32_(lib.fn<decltype(ConvertFromUTF32)>("ConvertFromUTF32")),
      utf8Writer_(symbolOf<XRCvtWriter>(lib, "UTF32_UTF8")) {
    strict_ = strictEncoding(from, strictFrom_) && strictEncoding(to, strictTo_);
    if (strict_) return;
    utf32_.resize(4 * kMaxInput);
    if (to.form == Form::Cesu8 || to.form == Form::Mutf8) {
        modifiedEncode_ = lib.fn<decltype(xrzsu8Encode)>("xrzsu8Encode");
        modifiedOptions_ = to.form == Form::Mutf8 ? XRZSU8_MODIFIED_NUL : 0;
    }
    if (modifiedEncode_ || isUtf8Family(from.form)) utf8_.resize(4 * kMaxInput);
}

std::size_t Route::writeTarget(std::size_t chars, std::uint8_t* out, std::size_t room) {
    XRMemSize written = 0;
    std::uint8_t* utf8 = modifiedEncode_ ? utf8_.data() : out;
    const std::size_t utf8Room = modifiedEncode_ ? utf8_.size() : room;
    fromUtf32_(utf32_.data(), 4 * chars, utf8, utf8Room, &written, writer_, utf32Reader_);
    if (!modifiedEncode_) return written;
    // Whole characters, so the piece converts on its own.
    UTF8ByteLength modified = 0;
    modifiedEncode_(utf8, written, out, room, &modified, modifiedOptions_);
    return modified;
}

// Between UTF-8, UTF-16 and UTF-32 the strict kernels validate and convert in one go.
// The other forms go through ConvertToUTF32 with the source's reader, which reads UTF-8
// loosely; the code points are checked (scalar values within the limit), a UTF-8 form is
// proven strict by writing it again (only the shortest forms come back the same, byte for
// byte), and ConvertFromUTF32 writes the code points with the target's writer.
Route::Bulk Route::bulk(const std::uint8_t* in, std::size_t n, std::uint8_t* out) {
    n = std::min(n, kMaxInput);
    if (strict_) {
        static_assert(kGrowth >= 4, "room for every pair's widest output");
        const xr::strict::Step r =
            xr::strict::convert(strictFrom_, strictTo_, in, n, out, kGrowth * n);
        return {r.in, r.out};
    }
    XRMemSize used = 0;
    toUtf32_(const_cast<std::uint8_t*>(in), n, utf32_.data(), 4 * n, &used, reader_, utf32Writer_);
    std::size_t chars = plainPrefix(utf32_.data(), used / 4, limit_);
    const std::size_t taken =
        isUtf8Family(sourceForm_) ? strictUtf8(in, chars) : sourceBytes(chars);
    return {taken, chars ? writeTarget(chars, out, kGrowth * n) : 0};
}

// The input bytes of the first `chars` code points, which came from UTF-16 or UTF-32.
std::size_t Route::sourceBytes(std::size_t chars) const {
    if (unitSize(sourceForm_) == 4) return 4 * chars;
    std::size_t bytes = 0;
    for (std::size_t k = 0; k < chars; ++k)
        bytes += loadBig32(utf32_.data() + 4 * k) > 0xFFFF ? 4 : 2;
    return bytes;
}

// Of `chars` code points read from UTF-8 at in, keeps those whose shortest form is the
// input itself; returns their bytes.
std::size_t Route::strictUtf8(const std::uint8_t* in, std::size_t& chars) {
    XRMemSize again = 0;
    fromUtf32_(utf32_.data(), 4 * chars, utf8_.data(), utf8_.size(), &again, utf8Writer_,
               utf32Reader_);
    if (std::memcmp(utf8_.data(), in, again) == 0) return again;
    const std::size_t same = static_cast<std::size_t>(
        std::mismatch(utf8_.data(), utf8_.data() + again, in).first - utf8_.data());
    std::size_t bytes = 0, k = 0;
    for (std::size_t len; k < chars; ++k, bytes += len) {
        len = utf8Length(loadBig32(utf32_.data() + 4 * k));
        if (bytes + len > same) break;
    }
    chars = k;
    return bytes;
}

std::size_t Route::encode(std::uint32_t cp, std::uint8_t* out) const {
    XRMemSize n = 0;
    if (!modifiedEncode_) {
        writer_(cp, out, 8, &n);
        return n;
    }
    std::uint8_t utf8[4];
    writer_(cp, utf8, sizeof utf8, &n);
    UTF8ByteLength modified = 0;
    modifiedEncode_(utf8, n, out, 8, &modified, modifiedOptions_);
    return modified;
}

Transcoder::Transcoder(const xrhost::Library& lib, const Encoding& from, const Encoding& to,
                       ConvertSettings settings, std::string inputName)
    : lib_(lib), from_(from), to_(to),
      target_(to.order == Order::Marked ? inOrder(to, Order::Little) : to), settings_(settings),
      inputName_(std::move(inputName)), bomPending_(settings.addBom || to.order == Order::Marked) {
    settings_.stripBom |= settings_.addBom;
}

// Settles the source's byte order from a byte-order mark and skips the mark (or one that
// --strip-bom drops); false while too few bytes have come to tell.
bool Transcoder::start(const std::uint8_t* in, std::size_t n, bool ended, std::size_t& skip) {
    skip = 0;
    Order order = from_.order;
    if (order == Order::Marked) {
        const std::size_t unit = unitSize(from_.form);
        if (n < unit && !ended) return false;
        order = Order::Big;
        for (Order o : {Order::Little, Order::Big}) {
            std::uint8_t mark[4];
            if (n >= unit && std::memcmp(in, mark, byteOrderMark(inOrder(from_, o), mark)) == 0)
                order = o, skip = unit;
        }
    }
    source_ = &inOrder(from_, order);
    if (settings_.stripBom && skip == 0) {
        std::uint8_t mark[4];
        const std::size_t k = byteOrderMark(*source_, mark), m = std::min(n, k);
        if (std::memcmp(in, mark, m) == 0) {
            if (m < k && !ended) return false;
            if (m == k) skip = k;
        }
    }
    route_ = std::make_unique<Route>(lib_, *source_, target_);
    return true;
}

std::size_t Transcoder::markInto(std::uint8_t* out) {
    return std::exchange(bomPending_, false) ? byteOrderMark(target_, out) : 0;
}

void Transcoder::put(std::uint32_t cp, Output& out) {
    std::uint8_t* dst = out.reserve(16);
    const std::size_t mark = markInto(dst);
    out.commit(mark + route_->encode(cp, dst + mark));
}

std::size_t Transcoder::convert(const std::uint8_t* in, std::size_t n, bool ended,
                                std::uint64_t offset, Output& out) {
    std::size_t pos = 0;
    if (!route_ && !start(in, n, ended, pos)) return 0;
    while (pos < n) {
        // The window follows the distance between stops, so that input with many bad
        // sequences is not decoded far ahead again and again.
        const std::size_t avail = std::min(n - pos, window_);
        std::uint8_t* dst = out.reserve(Route::kGrowth * avail + 4);
        const std::size_t mark = bomPending_ ? byteOrderMark(target_, dst) : 0;
        const Route::Bulk r = route_->bulk(in + pos, avail, dst + mark);
        if (r.written) out.commit(markInto(dst) + r.written);
        pos += r.taken;
        window_ = r.taken < avail ? std::max<std::size_t>(256, 2 * r.taken)
                                  : std::min(2 * window_, Route::kMaxInput);
        if (r.taken == avail) continue;

        const Sequence s = decodeOne(*source_, in + pos, n - pos, ended);
        if (s.verdict == Verdict::Incomplete) break;
        std::uint32_t cp = s.cp;
        if (s.verdict != Verdict::Good) {
            if (!settings_.replace)
                throw DataError(inputName_ + ": " +
                                describeBad(source_->name, s, in + pos, offset + pos));
            cp = 0xFFFD;
        } else if (target_.form == Form::Ucs2 && cp > 0xFFFF) {
            if (!settings_.replace) {
                char text[16];
                std::snprintf(text, sizeof text, "U+%04X", cp);
                throw DataError(inputName_ + ": " + text + " at byte offset " +
                                std::to_string(offset + pos) + " has no " + to_.name + " form");
            }
            cp = 0xFFFD;
        }
        put(cp, out);
        pos += s.size;
    }
    return pos;
}

void Transcoder::finish(Output& out) {
    if (!settings_.addBom || !bomPending_) return;
    std::uint8_t* dst = out.reserve(4);
    out.commit(markInto(dst));
}

} // namespace xrkit
