// 16- and 32-bit code units at any alignment in a fixed byte order, independent of the
// machine's own order.
#pragma once

#include <cstdint>

namespace xr::units {

enum class Order { Big, Little };

template <Order O> constexpr std::uint32_t load16(const std::uint8_t* p) {
    return O == Order::Big ? std::uint32_t{p[0]} << 8 | p[1] : std::uint32_t{p[1]} << 8 | p[0];
}

template <Order O> constexpr std::uint32_t load32(const std::uint8_t* p) {
    return O == Order::Big ? load16<O>(p) << 16 | load16<O>(p + 2)
                           : load16<O>(p + 2) << 16 | load16<O>(p);
}

template <Order O> constexpr void store16(std::uint8_t* p, std::uint16_t v) {
    const auto hi = static_cast<std::uint8_t>(v >> 8), lo = static_cast<std::uint8_t>(v);
    p[O == Order::Big ? 0 : 1] = hi;
    p[O == Order::Big ? 1 : 0] = lo;
}

template <Order O> constexpr void store32(std::uint8_t* p, std::uint32_t v) {
    const auto hi = static_cast<std::uint16_t>(v >> 16), lo = static_cast<std::uint16_t>(v);
    store16<O>(p + (O == Order::Big ? 0 : 2), hi);
    store16<O>(p + (O == Order::Big ? 2 : 0), lo);
}

} // namespace xr::units
