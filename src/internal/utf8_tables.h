// The UTF-8 vocabulary shared by the transcoders and the UTF-8 kit: 256-entry tables
// indexed by a byte's value, built at compile time from the byte ranges below.
#pragma once

#include <array>
#include <cstdint>

namespace xr::utf8 {

using ByteTable = std::array<std::uint8_t, 256>;

namespace detail {
constexpr ByteTable makeTable(std::uint8_t (*entry)(unsigned)) {
    ByteTable t{};
    for (unsigned b = 0; b < 256; ++b)
        t[b] = entry(b);
    return t;
}
} // namespace detail

// 1 where a byte may start a character: 00..7F and C2..F4. C0/C1 only start overlong
// forms and F5..FF only values above U+10FFFF.
inline constexpr ByteTable valid_1st_utf8 = detail::makeTable(
    [](unsigned b) -> std::uint8_t { return b < 0x80 || (b >= 0xC2 && b <= 0xF4); });

// 1 for continuation bytes 80..BF.
inline constexpr ByteTable valid_2nd_utf8 =
    detail::makeTable([](unsigned b) -> std::uint8_t { return b >= 0x80 && b <= 0xBF; });

// The sequence length a lead byte announces. A stray continuation byte counts as a
// one-byte character; F8..FF keep the historical 5- and 6-byte lengths.
inline constexpr ByteTable bytesFromUTF8 = detail::makeTable([](unsigned b) -> std::uint8_t {
    return b < 0xC0 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : b < 0xF8 ? 4 : b < 0xFC ? 5 : 6;
});

// The payload bits of a lead byte, by sequence length.
inline constexpr std::array<std::uint8_t, 7> utf8_mask = {0x00, 0x7F, 0x1F, 0x0F, 0x07, 0x03, 0x01};

constexpr bool isContinuation(std::uint8_t b) {
    return valid_2nd_utf8[b] != 0;
}

} // namespace xr::utf8
