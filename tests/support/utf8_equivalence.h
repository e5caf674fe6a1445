// Holds the UTF-8 kit's vector forms to their character-by-character references: every
// result, every output byte up to guard bytes after the given room, every out-parameter,
// and the order of the host's case-folding calls. Shared by the unit tests and the fuzz
// targets; a check returns "" when the two agree, else what differed.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "internal/utf8_fast.h"
#include "xr/xrentry.h"
#include "xr/xrhost.h"

namespace xrequiv {

using Bytes = std::basic_string<std::uint8_t>;
using xr::utf8::Isa;
namespace ref = xr::utf8::reference;

inline std::vector<Isa> kernels() {
    std::vector<Isa> all{Isa::Sse2};
    if (xr::utf8::cpuHasAvx2()) all.push_back(Isa::Avx2);
    return all;
}

inline const char* name(Isa isa) { return isa == Isa::Avx2 ? "avx2" : "sse2"; }

// A host whose case folding logs every call, so that both forms must ask the same things.
struct LoggingHost {
    XRNLS_EXT_S nls{};
    XR_HNDL_S host{};
    static std::vector<XRChar>& log() {
        static std::vector<XRChar> calls;
        return calls;
    }
    LoggingHost() {
        nls.charDowncase = [](XRExtensionh, XRChar c, int32_t) {
            log().push_back(c);
            return c >= 'A' && c <= 'Z' ? c + 0x20 : c == 0x212A ? 'k' : c >= 0x10400 && c < 0x10428 ? c + 0x28 : c;
        };
        host.xrnls = &nls.ext;
        xrextent(&host);
    }
    ~LoggingHost() { xrextent(nullptr); }
};

// The result of one call and the host calls it made.
template <class T> struct Outcome {
    T value;
    std::vector<XRChar> calls;
    bool operator==(const Outcome&) const = default;
};

template <class F> auto logged(F f) {
    LoggingHost::log().clear();
    auto v = f();
    return Outcome<decltype(v)>{v, LoggingHost::log()};
}

constexpr std::uint8_t kGuard = 0xA5;

struct Converted {
    XRStatus rc;
    std::uint64_t cvtL;
    std::vector<std::uint8_t> buffer; // the room and the guard bytes after it
    bool operator==(const Converted&) const = default;
};

using Converter = XRStatus (*)(xr::utf8::Bytes, std::uint64_t, std::uint8_t*, std::uint64_t,
                               std::uint64_t*, XRFlags);

inline Converted convert(Converter f, const Bytes& s, std::uint64_t room, XRFlags opt) {
    std::vector<std::uint8_t> buffer(room + 8, kGuard);
    std::uint64_t cvtL = 0x5A5A5A5A;
    const XRStatus rc = f(s.data(), s.size(), buffer.data(), room, &cvtL, opt);
    return {rc, cvtL, buffer};
}

template <Isa I> std::string convertMismatch(const Bytes& s, const std::vector<std::uint64_t>& rooms) {
    for (XRFlags opt : {0u, 1u, 4u, 5u}) {
        for (std::uint64_t room : rooms) {
            if (!(convert(xr::utf8::encode<I>, s, room, opt) == convert(ref::encode, s, room, opt)))
                return "encode opt " + std::to_string(opt) + " room " + std::to_string(room);
            if (!(convert(xr::utf8::decode<I>, s, room, opt) == convert(ref::decode, s, room, opt)))
                return "decode opt " + std::to_string(opt) + " room " + std::to_string(room);
        }
        std::uint64_t a = 1, b = 2; // a null destination with no room, and a null cvtL
        if (xr::utf8::encode<I>(s.data(), s.size(), nullptr, 0, &a, opt) !=
                ref::encode(s.data(), s.size(), nullptr, 0, &b, opt) ||
            a != b ||
            xr::utf8::decode<I>(s.data(), s.size(), nullptr, 0, nullptr, opt) !=
                ref::decode(s.data(), s.size(), nullptr, 0, nullptr, opt))
            return "conversion into no room, opt " + std::to_string(opt);
    }
    return "";
}

// The rooms worth trying for conversions of s: none, each length up to the full output
// for short texts (a sample for longer ones), and plenty.
inline std::vector<std::uint64_t> roomsFor(const Bytes& s, std::uint64_t seed) {
    std::vector<std::uint64_t> rooms{0, 3 * s.size() + 8};
    const std::uint64_t most = 3 * s.size();
    if (most <= 96) {
        for (std::uint64_t r = 1; r <= most; ++r) rooms.push_back(r);
    } else {
        for (int k = 0; k < 12; ++k) {
            seed = seed * 6364136223846793005ull + 1442695040888963407ull;
            rooms.push_back((seed >> 33) % (most + 1));
        }
        rooms.push_back(s.size());
        rooms.push_back(s.size() - 1);
    }
    return rooms;
}

template <Isa I> std::string textMismatch(const Bytes& x) {
    const std::uint8_t* p = x.data();
    const std::uint64_t n = x.size();
    if (xr::utf8::numChars<I>(p, n) != ref::numChars(p, n)) return "numChars";
    if (xr::utf8::countByAnnounced<I>(p, n) != ref::countByAnnounced(p, n)) return "countByAnnounced";
    if (xr::utf8::trimToBoundary<I>(p, n) != ref::trimToBoundary(p, n)) return "trimToBoundary";
    // Counting by characters reads past a cut last character, up to the NUL after x.
    const std::uint64_t chars = ref::numChars(p, n);
    for (std::uint64_t k : {chars, chars / 2, chars / 3 + 1, std::uint64_t{1}, std::uint64_t{0}})
        if (k <= chars && xr::utf8::byteLength<I>(p, k) != ref::byteLength(p, k))
            return "byteLength " + std::to_string(k);
    for (XRFlags opt : {0u, 1u, 2u, 7u})
        if (xr::utf8::stripBlanks<I>(p, n, opt) != ref::stripBlanks(p, n, opt))
            return "stripBlanks " + std::to_string(opt);
    for (std::uint64_t tlen : {std::uint64_t{0}, n / 2, n, n + 5}) {
        std::vector<std::uint8_t> fast(tlen + 8, kGuard), slow(tlen + 8, kGuard);
        if (xr::utf8::copy<I>(p, n, fast.data(), tlen) != ref::copy(p, n, slow.data(), tlen) || fast != slow)
            return "copy " + std::to_string(tlen);
    }
    return "";
}

template <Isa I> std::string pairMismatch(const Bytes& x, const Bytes& y) {
    const std::uint8_t *a = x.data(), *b = y.data();
    if (xr::utf8::compare<I>(a, x.size(), b, y.size()) != ref::compare(a, x.size(), b, y.size()))
        return "compare";
    LoggingHost host;
    if (!(logged([&] { return xr::utf8::normCompare<I>(a, x.size(), b, y.size()); }) ==
          logged([&] { return ref::normCompare(a, x.size(), b, y.size()); })))
        return "normCompare";
    if (!(logged([&] { return xr::utf8::normEqual<I>(a, x.size(), b, y.size()); }) ==
          logged([&] { return ref::normEqual(a, x.size(), b, y.size()); })))
        return "normEqual";
    return "";
}

// Sizing, counting, copy and strip of x, and x against y, for one kernel set. x must be
// followed by a readable NUL (std::basic_string keeps one). Enters a host of its own and
// leaves no saved host handle behind.
inline std::string kitMismatch(Isa isa, const Bytes& x, const Bytes& y) {
    const bool avx = isa == Isa::Avx2;
    std::string m = avx ? textMismatch<Isa::Avx2>(x) : textMismatch<Isa::Sse2>(x);
    if (m.empty()) m = avx ? pairMismatch<Isa::Avx2>(x, y) : pairMismatch<Isa::Sse2>(x, y);
    return m.empty() ? m : std::string(name(isa)) + ": " + m;
}

// Both converters on x with each option, into rooms chosen by the seed.
inline std::string conversionMismatch(Isa isa, const Bytes& x, std::uint64_t seed) {
    const auto rooms = roomsFor(x, seed);
    const std::string m = isa == Isa::Avx2 ? convertMismatch<Isa::Avx2>(x, rooms) : convertMismatch<Isa::Sse2>(x, rooms);
    return m.empty() ? m : std::string(name(isa)) + ": " + m;
}

inline std::string mismatch(Isa isa, const Bytes& x, const Bytes& y, std::uint64_t seed) {
    const std::string m = kitMismatch(isa, x, y);
    return m.empty() ? conversionMismatch(isa, x, seed) : m;
}

} // namespace xrequiv
