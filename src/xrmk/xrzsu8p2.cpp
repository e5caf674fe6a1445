// Modified UTF-8 (CESU-8, optionally with NUL as C0 80) to and from standard UTF-8,
// and the character classes that ask the host's Unicode data.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "internal/utf8_kit.h"
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
    std::size_t used() const { return used_; }

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
bool encodeOne(const std::uint8_t* p, std::size_t n, std::size_t found, Output& out,
               Options opt, XRStatus& rc) {
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

XRStatus encode(const std::uint8_t* s, std::size_t sL, Output& out, Options opt) {
    XRStatus rc = 0;
    for (std::size_t pos = 0; pos < sL;) {
        const std::uint8_t* p = s + pos;
        const std::size_t n = announced(*p);
        const std::size_t found = continuationsAfter(p, sL - pos, n - 1);
        if (!encodeOne(p, n, found, out, opt, rc)) return XRStatusBufferTooSmall;
        pos += found < n - 1 ? 1 + found : n;
    }
    return rc;
}

// Decoding with a pending high surrogate; every case writes whole characters or stops.
class Decoder {
  public:
    Decoder(Output& out, bool nulDecoding) : out_(out), nul_(nulDecoding) {}

    XRStatus run(const std::uint8_t* s, std::size_t sL) {
        for (std::size_t pos = 0; pos < sL;) {
            const std::uint8_t* p = s + pos;
            const std::size_t n = announced(*p);
            const std::size_t found = continuationsAfter(p, sL - pos, n - 1);
            if (found < n - 1) {
                if (!flushPending() || !replace()) return XRStatusBufferTooSmall;
                pos += 1 + found;
            } else if (n == 3 && isEncodedSurrogate(p)) {
                if (!surrogate(p)) return XRStatusBufferTooSmall;
                pos += 3;
            } else {
                if (!flushPending() || !character(p, n)) return XRStatusBufferTooSmall;
                pos += n;
            }
        }
        if (!flushPending()) return XRStatusBufferTooSmall;
        return rc_;
    }

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

XRNLS_EXT_S* nlsExtension() { return reinterpret_cast<XRNLS_EXT_S*>(Exported_XRHandle->xrnls); }

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

} // namespace

extern "C" {

XRStatus xrzsu8Encode(UTF8Str s, UTF8ByteLength sL, UTF8Str d, UTF8ByteLength dL,
                      UTF8ByteLength* cvtL, XRFlags opt) {
    Output out(d, dL);
    return finish(encode(s, sL, out, Options(opt)), out, cvtL);
}

XRStatus xrzsu8Decode(UTF8Str s, UTF8ByteLength sL, UTF8Str d, UTF8ByteLength dL,
                      UTF8ByteLength* cvtL, XRFlags opt) {
    const Options o(opt);
    if (o.bmpOnly) {
        const UTF8ByteLength m = sL < dL ? sL : dL;
        const UTF8ByteLength copied = xrzsu8Copy(s, m, d, m);
        if (cvtL) *cvtL = copied;
        return copied < sL ? XRStatusBufferTooSmall : 0;
    }
    Output out(d, dL);
    Decoder decoder(out, o.modifiedNul);
    return finish(decoder.run(s, sL), out, cvtL);
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
