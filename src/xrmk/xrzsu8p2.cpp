// Modified UTF-8 (CESU-8, optionally with NUL as C0 80) to and from standard UTF-8,
// and the character classes that ask the host's Unicode data.
#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "internal/utf8_fast.h"
#include "internal/utf8_kit.h"
#include "internal/utf8_surrogates.h"
#include "xr/xrentry.h"
#include "xr/xrhost.h"
#include "xr/xrutf8.h"

namespace {

using namespace xr::utf8;

constexpr std::uint8_t kReplacement[3] = {0xEF, 0xBF, 0xBD};
constexpr std::uint8_t kModifiedNul[2] = {0xC0, 0x80};
constexpr XRUnidataGC kCombiningMarks = 0x38;

// The output side of a conversion: writes go in whole or not at all.
class Output {
  public:
    Output(std::uint8_t* d, std::size_t room) : d_(d), room_(room) {}
    bool put(const std::uint8_t* bytes, std::size_t n) {
        if (room_ - used_ < n) return false;
        std::memcpy(d_ + used_, bytes, n);
        used_ += n;
        return true;
    }
    bool putReplacement() { return put(kReplacement, 3); }
    // A run already known to fit.
    void putRun(const std::uint8_t* bytes, std::size_t n) {
        if (n > 0) std::memcpy(d_ + used_, bytes, n);
        used_ += n;
    }
    std::size_t room() const { return room_ - used_; }
    std::size_t used() const { return used_; }
    // For a bulk step that writes at most room() bytes itself.
    std::uint8_t* next() const { return d_ + used_; }
    void advance(std::size_t n) { used_ += n; }

  private:
    std::uint8_t* d_;
    std::size_t room_;
    std::size_t used_ = 0;
};

XRStatus finish(XRStatus rc, const Output& out, UTF8ByteLength* cvtL) {
    if (cvtL) *cvtL = out.used();
    return rc;
}

// ED A0..BF: a surrogate code point written as three bytes.
constexpr bool isEncodedSurrogate(const std::uint8_t* p) {
    return p[0] == 0xED && p[1] >= 0xA0 && p[1] <= 0xBF;
}

// Only four-byte forms of U+10000..U+10FFFF have a surrogate pair.
constexpr bool hasSurrogatePair(const std::uint8_t* p) {
    if (p[0] == 0xF0) return p[1] >= 0x90;
    if (p[0] == 0xF4) return p[1] <= 0x8F;
    return p[0] < 0xF4;
}

void toSurrogatePair(const std::uint8_t* b, std::uint8_t* out) {
    const unsigned plane = (b[0] & 0x07u) << 2 | (b[1] >> 4 & 0x03u);
    out[0] = 0xED;
    out[1] = static_cast<std::uint8_t>((plane - 1) | 0xA0u);
    out[2] = static_cast<std::uint8_t>(0x80u | (b[1] & 0x0Fu) << 2 | (b[2] >> 4 & 0x03u));
    out[3] = 0xED;
    out[4] = static_cast<std::uint8_t>(0xB0u | (b[2] & 0x0Fu));
    out[5] = b[3];
}

// The high surrogate supplies the plane and top bits, the low one the rest.
void fromSurrogatePair(const std::uint8_t* h, const std::uint8_t* l, std::uint8_t* out) {
    const unsigned u = (h[1] & 0x0Fu) + 1;
    out[0] = static_cast<std::uint8_t>(0xF0u | u >> 2);
    out[1] = static_cast<std::uint8_t>(0x80u | (u & 0x03u) << 4 | (h[2] >> 2 & 0x0Fu));
    out[2] = static_cast<std::uint8_t>(0x80u | (h[2] & 0x03u) << 4 | (l[1] & 0x0Fu));
    out[3] = l[2];
}

struct Options {
    bool modifiedNul;
    bool bmpOnly; // honoured only without modifiedNul
    explicit Options(XRFlags opt)
        : modifiedNul((opt & XRZSU8_MODIFIED_NUL) != 0),
          bmpOnly((opt & XRZSU8_BMP_ONLY) != 0 && !modifiedNul) {}
};

// One character of the source to the output; false when the output is full.
bool encodeOne(const std::uint8_t* p, std::size_t n, std::size_t found, Output& out, Options opt,
               XRStatus& rc) {
    auto replace = [&] {
        rc = XRStatusIllegalSequence;
        return out.putReplacement();
    };
    if (found < n - 1) return replace();
    if (n == 4) {
        if (opt.bmpOnly || !hasSurrogatePair(p)) return replace();
        std::uint8_t pair[6];
        toSurrogatePair(p, pair);
        return out.put(pair, 6);
    }
    if (*p == 0 && opt.modifiedNul) return out.put(kModifiedNul, 2);
    if ((n == 1 && !canLead(*p)) || (n == 3 && isEncodedSurrogate(p))) return replace();
    return out.put(p, n);
}

// One character of the source at pos to the output, pos moved past it; false when full.
bool encodeStep(const std::uint8_t* s, std::size_t sL, std::size_t& pos, Output& out, Options opt,
                XRStatus& rc) {
    const std::uint8_t* p = s + pos;
    const std::size_t n = announced(*p);
    const std::size_t found = continuationsAfter(p, sL - pos, n - 1);
    if (!encodeOne(p, n, found, out, opt, rc)) return false;
    pos += found < n - 1 ? 1 + found : n;
    return true;
}

// Decoding with a pending high surrogate; every case writes whole characters or stops.
class Decoder {
  public:
    Decoder(Output& out, bool nulDecoding) : out_(out), nul_(nulDecoding) {}

    // One character of the source at pos, pos moved past it; false when full.
    bool step(const std::uint8_t* s, std::size_t sL, std::size_t& pos) {
        const std::uint8_t* p = s + pos;
        const std::size_t n = announced(*p);
        const std::size_t found = continuationsAfter(p, sL - pos, n - 1);
        if (found < n - 1) {
            pos += 1 + found;
            return flushPending() && replace();
        }
        pos += n;
        if (n == 3 && isEncodedSurrogate(p)) return surrogate(p);
        return flushPending() && character(p, n);
    }
    // The end of the source: an unpaired high surrogate becomes U+FFFD.
    XRStatus finish() { return flushPending() ? rc_ : XRStatusBufferTooSmall; }
    bool pending() const { return pending_ != nullptr; }

  private:
    bool replace() {
        rc_ = XRStatusIllegalSequence;
        return out_.putReplacement();
    }
    // An unpaired high surrogate becomes U+FFFD.
    bool flushPending() {
        if (!pending_) return true;
        pending_ = nullptr;
        return replace();
    }
    bool surrogate(const std::uint8_t* p) {
        if (!pending_) {
            pending_ = p;
            return true;
        }
        std::uint8_t four[4];
        fromSurrogatePair(pending_, p, four);
        pending_ = nullptr;
        return out_.put(four, 4);
    }
    bool character(const std::uint8_t* p, std::size_t n) {
        static constexpr std::uint8_t kNul = 0;
        if (n == 2 && nul_ && p[0] == 0xC0 && p[1] == 0x80) return out_.put(&kNul, 1);
        if (canLead(*p)) return out_.put(p, n);
        return replace();
    }

    Output& out_;
    bool nul_;
    const std::uint8_t* pending_ = nullptr;
    XRStatus rc_ = 0;
};

XRNLS_EXT_S* nlsExtension() {
    return reinterpret_cast<XRNLS_EXT_S*>(Exported_XRHandle->xrnls);
}

// Loaded once and kept in the NLS extension. Concurrent first calls may both load and
// the later store wins; the library never dereferences the handle, so relaxed atomic
// access is all that keeps the race benign.
void ensureUnicodeData(XRNLS_EXT_S* nls) {
    static_assert(std::atomic_ref<XRExtensionh>::is_always_lock_free);
    std::atomic_ref<XRExtensionh> unidata(nls->unidataExt);
    if (unidata.load(std::memory_order_relaxed)) return;
    XRHndlp host = nls->ext.hndl;
    unidata.store(host->loadExtension(host, "xrnlsudb", 8, nullptr), std::memory_order_relaxed);
}

// Where the bulk steps start: a complete four-byte character with a surrogate pair, and
// two encoded surrogates in a row, told in one step.
bool isFourByte(const std::uint8_t* p) {
    std::uint32_t w;
    std::memcpy(&w, p, 4);
    return (w & 0xC0C0C0F8u) == 0x808080F0u && hasSurrogatePair(p);
}

bool isSurrogatePair(const std::uint8_t* p) {
    return isEncodedSurrogate(p) && isContinuation(p[2]) && isEncodedSurrogate(p + 3) &&
           isContinuation(p[5]);
}

// Decoding with the BMP-only option is a copy that does not cut a character.
template <class Copy>
XRStatus copyOnly(const std::uint8_t* s, std::size_t sL, std::uint8_t* d, std::size_t dL,
                  UTF8ByteLength* cvtL, Copy copy) {
    const std::size_t m = sL < dL ? sL : dL;
    const std::size_t copied = copy(s, m, d, m);
    if (cvtL) *cvtL = copied;
    return copied < sL ? XRStatusBufferTooSmall : 0;
}

} // namespace

namespace xr::utf8 {

namespace reference {

XRStatus encode(Bytes s, std::uint64_t sL, std::uint8_t* d, std::uint64_t dL, std::uint64_t* cvtL,
                XRFlags opt) {
    Output out(d, dL);
    XRStatus rc = 0;
    for (std::size_t pos = 0; pos < sL;)
        if (!encodeStep(s, sL, pos, out, Options(opt), rc))
            return finish(XRStatusBufferTooSmall, out, cvtL);
    return finish(rc, out, cvtL);
}

XRStatus decode(Bytes s, std::uint64_t sL, std::uint8_t* d, std::uint64_t dL, std::uint64_t* cvtL,
                XRFlags opt) {
    const Options o(opt);
    if (o.bmpOnly) return copyOnly(s, sL, d, dL, cvtL, copy);
    Output out(d, dL);
    Decoder decoder(out, o.modifiedNul);
    for (std::size_t pos = 0; pos < sL;)
        if (!decoder.step(s, sL, pos)) return finish(XRStatusBufferTooSmall, out, cvtL);
    return finish(decoder.finish(), out, cvtL);
}

} // namespace reference

// Both converters copy runs of characters that they pass through unchanged, as much as
// the output takes; the reference steps then go on from the boundary before the byte
// that ended the run until it is passed, and over any four-byte characters after it.
template <Isa I, class R>
bool encodeRuns(Bytes s, std::size_t sL, std::size_t& pos, Output& out, Options opt, XRStatus& rc) {
    const std::size_t limit = std::min(sL - pos, out.room());
    const Run r = structureRun<I, R>(s + pos, limit);
    const std::size_t c = boundaryBefore(s + pos, r.end);
    out.putRun(s + pos, c);
    const std::size_t stop = pos + (r.bad ? r.end + 1 : limit);
    pos += c;
    do {
        if (pos == sL) return true;
        if (!opt.bmpOnly && sL - pos >= 4 && isFourByte(s + pos)) {
            const std::size_t k =
                pairKernels<I>().encode(s + pos, sL - pos, out.next(), out.room());
            out.advance(6 * k);
            pos += 4 * k;
            if (k == 0) return false; // the character accepted above has no room
        } else if (!encodeStep(s, sL, pos, out, opt, rc)) {
            return false;
        }
    } while (pos < stop || (pos < sL && s[pos] >= 0xF0));
    return true;
}

template <Isa I>
XRStatus encode(Bytes s, std::uint64_t sL, std::uint8_t* d, std::uint64_t dL, std::uint64_t* cvtL,
                XRFlags opt) {
    Output out(d, dL);
    const Options o(opt);
    XRStatus rc = 0;
    for (std::size_t pos = 0; pos < sL;) {
        const bool room = o.modifiedNul ? encodeRuns<I, EncodeNulStops>(s, sL, pos, out, o, rc)
                                        : encodeRuns<I, EncodeStops>(s, sL, pos, out, o, rc);
        if (!room) return finish(XRStatusBufferTooSmall, out, cvtL);
    }
    return finish(rc, out, cvtL);
}

template <Isa I>
XRStatus decode(Bytes s, std::uint64_t sL, std::uint8_t* d, std::uint64_t dL, std::uint64_t* cvtL,
                XRFlags opt) {
    const Options o(opt);
    if (o.bmpOnly) return copyOnly(s, sL, d, dL, cvtL, copy<I>);
    Output out(d, dL);
    Decoder decoder(out, o.modifiedNul);
    for (std::size_t pos = 0; pos < sL;) {
        std::size_t stop = pos + 1;
        if (!decoder.pending()) {
            const std::size_t limit = std::min(sL - pos, out.room());
            const Run r = structureRun<I, DecodeStops>(s + pos, limit);
            const std::size_t c = boundaryBefore(s + pos, r.end);
            out.putRun(s + pos, c);
            stop = pos + (r.bad ? r.end + 1 : limit);
            pos += c;
        }
        do {
            if (pos == sL) break;
            if (!decoder.pending() && sL - pos >= 6 && isSurrogatePair(s + pos)) {
                const std::size_t k =
                    pairKernels<I>().decode(s + pos, sL - pos, out.next(), out.room());
                out.advance(4 * k);
                pos += 6 * k;
                if (k == 0) return finish(XRStatusBufferTooSmall, out, cvtL);
            } else if (!decoder.step(s, sL, pos)) {
                return finish(XRStatusBufferTooSmall, out, cvtL);
            }
        } while (pos < stop || decoder.pending() || (pos < sL && s[pos] == 0xED));
    }
    return finish(decoder.finish(), out, cvtL);
}

#define XR_UTF8_INSTANTIATE(isa)                                                                   \
    template XRStatus encode<isa>(Bytes, std::uint64_t, std::uint8_t*, std::uint64_t,              \
                                  std::uint64_t*, XRFlags);                                        \
    template XRStatus decode<isa>(Bytes, std::uint64_t, std::uint8_t*, std::uint64_t,              \
                                  std::uint64_t*, XRFlags);
XR_UTF8_INSTANTIATE(Isa::Sse2)
XR_UTF8_INSTANTIATE(Isa::Avx2)
XR_UTF8_INSTANTIATE(Isa::Avx512)
#undef XR_UTF8_INSTANTIATE

} // namespace xr::utf8

extern "C" {

XRStatus xrzsu8Encode(UTF8Str s, UTF8ByteLength sL, UTF8Str d, UTF8ByteLength dL,
                      UTF8ByteLength* cvtL, XRFlags opt) {
    return XR_UTF8_DISPATCH(xr::utf8::encode, s, sL, d, dL, cvtL, opt);
}

XRStatus xrzsu8Decode(UTF8Str s, UTF8ByteLength sL, UTF8Str d, UTF8ByteLength dL,
                      UTF8ByteLength* cvtL, XRFlags opt) {
    return XR_UTF8_DISPATCH(xr::utf8::decode, s, sL, d, dL, cvtL, opt);
}

XRBoolean xrzsu8IsCombining(UTF8Char s) {
    const std::uint32_t cp = decodeAnnounced(s);
    if (cp == 0x200C || cp == 0x200D) return XR_TRUE;
    XRNLS_EXT_S* nls = nlsExtension();
    ensureUnicodeData(nls);
    return nls->charIsCategory(&nls->ext, static_cast<XRChar>(cp), kCombiningMarks);
}

XRBoolean _XRZSU8IsFunct(UTF8Char s, XRBoolean (*fnc)(XRChar)) {
    return fnc(static_cast<XRChar>(decodeAnnounced(s)));
}

} // extern "C"
