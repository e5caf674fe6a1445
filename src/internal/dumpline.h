// One dump line: n bytes (1..16) sent as one catalog message with the argument list
// [lead...] address byte0..byte(n-1) char0..char(n-1). Every line size is its own
// instantiation, so each size is its own call of the variadic sink.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <utility>

#include "xr/xrtypes.h"

namespace xr::dump {

inline constexpr std::size_t kLineBytes = 16;

// 0x20..0x7E render as themselves; everything else as '.'.
constexpr int render(std::uint8_t b) {
    return b >= 0x20 && b <= 0x7E ? b : '.';
}

template <std::size_t N, class Sink, class... Lead>
XRStatus sendLineOf(Sink& sink, XRStatus base, const std::uint8_t* p, Lead... lead) {
    static_assert(N >= 1 && N <= kLineBytes);
    return [&]<std::size_t... I>(std::index_sequence<I...>) {
        return sink.template send<N>(static_cast<XRStatus>(base + static_cast<XRStatus>(N - 1)),
                                     lead..., static_cast<XRMemPtr>(const_cast<std::uint8_t*>(p)),
                                     static_cast<int>(p[I])..., render(p[I])...);
    }
    (std::make_index_sequence<N>{});
}

template <class Sink, class... Lead>
using LineFn = XRStatus (*)(Sink&, XRStatus, const std::uint8_t*, Lead...);

template <class Sink, class... Lead, std::size_t... N>
constexpr std::array<LineFn<Sink, Lead...>, kLineBytes> lineTable(std::index_sequence<N...>) {
    return {&sendLineOf<N + 1, Sink, Lead...>...};
}

// Sends the n bytes at p (1 <= n <= 16) as one line.
template <class Sink, class... Lead>
XRStatus sendLine(Sink& sink, XRStatus base, const std::uint8_t* p, std::size_t n, Lead... lead) {
    static constexpr auto table = lineTable<Sink, Lead...>(std::make_index_sequence<kLineBytes>{});
    return table[n - 1](sink, base, p, lead...);
}

// Full lines upward from p, then the partial line; the first failing line ends it.
template <class Sink, class... Lead>
XRStatus forwardDump(Sink& sink, XRStatus base, const std::uint8_t* p, XRMemSize len,
                     Lead... lead) {
    for (; len >= kLineBytes; p += kLineBytes, len -= kLineBytes)
        if (XRStatus rc = sendLineOf<kLineBytes>(sink, base, p, lead...)) return rc;
    return len ? sendLine(sink, base, p, static_cast<std::size_t>(len), lead...) : 0;
}

// The partial line first (its status survives only when no full line follows), then
// the full lines downward; a failing full line ends it.
template <class Sink, class... Lead>
XRStatus reversedDump(Sink& sink, XRStatus base, const std::uint8_t* p, XRMemSize len,
                      Lead... lead) {
    const XRMemSize wash = len % kLineBytes;
    XRMemSize offset = len - wash;
    XRStatus rc = 0;
    if (wash) rc = sendLine(sink, base, p + offset, static_cast<std::size_t>(wash), lead...);
    while (offset > 0) {
        offset -= kLineBytes;
        rc = sendLineOf<kLineBytes>(sink, base, p + offset, lead...);
        if (rc) break;
    }
    return rc;
}

} // namespace xr::dump
