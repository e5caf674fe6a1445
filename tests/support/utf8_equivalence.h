// Holds the UTF-8 kit's vector forms to their character-by-character references: every
// result, every output byte up to guard bytes after the given room, every out-parameter,
// and the order of the host's case-folding calls. Shared by the unit tests and the fuzz
// targets; a check returns "" when the two agree, else what differed.
#pragma once

#include <algorithm>
#include <cstdint>
#include <new>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "folding_host.h"
#include "internal/utf8_fast.h"

namespace xrequiv {

using Bytes = std::basic_string<std::uint8_t>;
using xr::utf8::Isa;
namespace ref = xr::utf8::reference;

inline std::vector<Isa> kernels() {
    std::vector<Isa> all;
    for (Isa isa : {Isa::Sse2, Isa::Avx2, Isa::Avx512})
        if (xr::utf8::cpuHas(isa)) all.push_back(isa);
    return all;
}

// The folding host, logging every call, so that both forms must ask the same things.
struct LoggingHost : xrref::FoldingHost {
    static inline std::vector<XRChar> calls;
    LoggingHost() {
        nls.charDowncase = [](XRExtensionh, XRChar c, int32_t) {
            return calls.push_back(c), xrref::testFold(c);
        };
        enter();
    }
    ~LoggingHost() { leave(); }
};

// The result of f and the host calls it made.
template <class F> auto logged(F f) {
    LoggingHost::calls.clear();
    auto v = f();
    return std::pair{v, LoggingHost::calls};
}

constexpr std::uint8_t kGuard = 0xA5;
using Converter = decltype(&ref::encode);

// A copy of x that starts `shift` bytes past a 64-byte boundary (the vector kernels
// change course at such boundaries), after bytes that must not be read and followed by
// a NUL that ends the allocation.
class Placed {
  public:
    Placed(const Bytes& x, std::size_t shift)
        : shift_(shift % 64), size_(x.size()), store_(static_cast<std::uint8_t*>(::operator new (
                                                   shift_ + size_ + 1, std::align_val_t{64}))) {
        std::fill(store_, store_ + shift_, 0xF0); // a lead that would reach into x
        std::copy(x.begin(), x.end(), store_ + shift_);
        store_[shift_ + size_] = 0;
    }
    Placed(const Placed&) = delete;
    Placed& operator=(const Placed&) = delete;
    ~Placed() { ::operator delete (store_, std::align_val_t{64}); }
    const std::uint8_t* data() const { return store_ + shift_; }
    std::size_t size() const { return size_; }

  private:
    std::size_t shift_, size_;
    std::uint8_t* store_;
};

// The status, *cvtL, and the room with the guard bytes after it.
inline auto convert(Converter f, const Placed& s, std::uint64_t room, XRFlags opt) {
    std::vector<std::uint8_t> buffer(room + 8, kGuard);
    std::uint64_t cvtL = 0x5A5A5A5A;
    const XRStatus rc = f(s.data(), s.size(), buffer.data(), room, &cvtL, opt);
    return std::tuple{rc, cvtL, buffer};
}

inline const std::vector<XRFlags> kConversionOptions = {0u, 1u, 4u, 5u};

template <Isa I>
std::string conversions(const Placed& s, const std::vector<std::uint64_t>& rooms,
                        const std::vector<XRFlags>& options = kConversionOptions) {
    const std::pair<Converter, Converter> forms[] = {{xr::utf8::encode<I>, ref::encode},
                                                     {xr::utf8::decode<I>, ref::decode}};
    const std::uint8_t* p = s.data();
    for (XRFlags opt : options) {
        for (const auto& [fast, slow] : forms) {
            const std::string what =
                (fast == forms[0].first ? "encode opt " : "decode opt ") + std::to_string(opt);
            for (std::uint64_t r : rooms)
                if (convert(fast, s, r, opt) != convert(slow, s, r, opt))
                    return what + " room " + std::to_string(r);
            std::uint64_t a = 1, b = 2; // a null destination with no room, and a null cvtL
            if (fast(p, s.size(), nullptr, 0, &a, opt) != slow(p, s.size(), nullptr, 0, &b, opt) ||
                a != b ||
                fast(p, s.size(), nullptr, 0, nullptr, opt) !=
                    slow(p, s.size(), nullptr, 0, nullptr, opt))
                return what + " into no room";
        }
    }
    return "";
}

// The rooms worth trying for conversions of s: none, the input's length and one less,
// plenty, and each length up to the full output (for long texts, every step-th length
// from an offset the seed picks).
inline std::vector<std::uint64_t> roomsFor(const Bytes& s, std::uint64_t seed) {
    const std::uint64_t most = 3 * s.size(), step = most <= 96 ? 1 : most / 12;
    std::vector<std::uint64_t> rooms{0, s.size(), s.size() - !s.empty(), most + 8};
    for (std::uint64_t r = 1 + seed % step; r <= most; r += step)
        rooms.push_back(r);
    return rooms;
}

// The counts and sizes of x, which must be followed by a readable NUL.
template <Isa I> std::string counts(const Placed& x) {
    const std::uint8_t* p = x.data();
    const std::uint64_t n = x.size();
    const std::uint64_t chars = ref::numChars(p, n);
    if (xr::utf8::numChars<I>(p, n) != chars) return "numChars";
    if (xr::utf8::countByAnnounced<I>(p, n) != ref::countByAnnounced(p, n))
        return "countByAnnounced";
    if (xr::utf8::trimToBoundary<I>(p, n) != ref::trimToBoundary(p, n)) return "trimToBoundary";
    // Counting by characters reads past a cut last character, up to the NUL after x.
    for (std::uint64_t k :
         {chars, chars / 2, (chars + 2) / 3, std::min<std::uint64_t>(chars, 1), std::uint64_t{0}})
        if (xr::utf8::byteLength<I>(p, k) != ref::byteLength(p, k))
            return "byteLength " + std::to_string(k);
    return "";
}

// x must be followed by a readable NUL.
template <Isa I> std::string kit(const Placed& x, const Bytes& y) {
    const std::uint8_t *p = x.data(), *q = y.data();
    const std::uint64_t n = x.size(), m = y.size();
    if (std::string e = counts<I>(x); !e.empty()) return e;
    for (XRFlags o : {0u, 1u, 2u, 7u})
        if (xr::utf8::stripBlanks<I>(p, n, o) != ref::stripBlanks(p, n, o))
            return "stripBlanks " + std::to_string(o);
    for (std::uint64_t tlen : {std::uint64_t{0}, n / 2, n, n + 5}) {
        std::vector<std::uint8_t> fast(tlen + 8, kGuard), slow(tlen + 8, kGuard);
        if (xr::utf8::copy<I>(p, n, fast.data(), tlen) != ref::copy(p, n, slow.data(), tlen) ||
            fast != slow)
            return "copy " + std::to_string(tlen);
    }
    if (xr::utf8::compare<I>(p, n, q, m) != ref::compare(p, n, q, m)) return "compare";
    LoggingHost host;
    const auto fastOrder = logged([&] { return xr::utf8::normCompare<I>(p, n, q, m); });
    if (fastOrder != logged([&] { return ref::normCompare(p, n, q, m); })) return "normCompare";
    const auto fastEqual = logged([&] { return xr::utf8::normEqual<I>(p, n, q, m); });
    if (fastEqual != logged([&] { return ref::normEqual(p, n, q, m); })) return "normEqual";
    return "";
}

// Sizing, counting, copy and strip of x (placed `shift` bytes past a 64-byte boundary),
// and x against y, for one kernel set. Enters a host of its own and leaves no saved host
// handle behind.
inline std::string kitMismatch(Isa isa, const Bytes& x, const Bytes& y, std::size_t shift = 0) {
    const Placed p(x, shift);
    return isa == Isa::Avx512 ? kit<Isa::Avx512>(p, y)
           : isa == Isa::Avx2 ? kit<Isa::Avx2>(p, y)
                              : kit<Isa::Sse2>(p, y);
}

// Only the counts and sizes of x (placed likewise).
inline std::string countMismatch(Isa isa, const Bytes& x, std::size_t shift = 0) {
    const Placed p(x, shift);
    return isa == Isa::Avx512 ? counts<Isa::Avx512>(p)
           : isa == Isa::Avx2 ? counts<Isa::Avx2>(p)
                              : counts<Isa::Sse2>(p);
}

// Both converters on x (placed likewise) with each option (or the given ones), into the
// given rooms or into rooms chosen by the seed.
inline std::string conversionMismatch(Isa isa, const Bytes& x,
                                      const std::vector<std::uint64_t>& rooms,
                                      std::size_t shift = 0,
                                      const std::vector<XRFlags>& options = kConversionOptions) {
    const Placed p(x, shift);
    return isa == Isa::Avx512 ? conversions<Isa::Avx512>(p, rooms, options)
           : isa == Isa::Avx2 ? conversions<Isa::Avx2>(p, rooms, options)
                              : conversions<Isa::Sse2>(p, rooms, options);
}
inline std::string conversionMismatch(Isa isa, const Bytes& x, std::uint64_t seed,
                                      std::size_t shift = 0) {
    return conversionMismatch(isa, x, roomsFor(x, seed), shift);
}

} // namespace xrequiv
