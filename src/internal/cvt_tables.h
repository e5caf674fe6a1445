// Shuffle tables of the UTF-8 vector kernels, built at compile time. A "length code" packs
// the byte lengths of four characters, two bits each (length - 1), first character lowest.
#pragma once

#include <array>
#include <cstdint>

namespace xr::cvt::tables {

using Shuffle = std::array<std::uint8_t, 16>;

constexpr unsigned lengthOf(unsigned code, unsigned k) {
    return ((code >> (2 * k)) & 3) + 1;
}

// Decoding: character k of the code goes to 32-bit lane k, its last byte lowest, so that
// each lane reads as continuation payloads from the bottom and the lead byte on top.
inline constexpr std::array<Shuffle, 256> kDecodeShuffle = [] {
    std::array<Shuffle, 256> t{};
    for (unsigned code = 0; code < 256; ++code) {
        unsigned start = 0;
        for (unsigned k = 0; k < 4; ++k) {
            const unsigned len = lengthOf(code, k);
            for (unsigned j = 0; j < 4; ++j)
                t[code][4 * k + j] =
                    static_cast<std::uint8_t>(j < len ? start + len - 1 - j : 0x80);
            start += len;
        }
    }
    return t;
}();

// For the 12 bits after a character start (bit i: byte i + 1 starts a character), the
// whole characters they delimit, at most four: count (bits 0-2), bytes (bits 3-7) and
// length code (bits 8-15).
inline constexpr std::array<std::uint16_t, 4096> kDecodeStep = [] {
    std::array<std::uint16_t, 4096> t{};
    for (unsigned idx = 0; idx < 4096; ++idx) {
        const unsigned starts = idx << 1 | 1;
        unsigned start = 0, chars = 0, code = 0;
        while (chars < 4) {
            unsigned next = start + 1;
            while (next <= 12 && !(starts >> next & 1))
                ++next;
            if (next > 12 || next - start > 4) break;
            code |= (next - start - 1) << (2 * chars);
            ++chars;
            start = next;
        }
        t[idx] = static_cast<std::uint16_t>(chars | start << 3 | code << 8);
    }
    return t;
}();

// Encoding: lane k holds the character's bytes with the lead byte highest among those
// used; the shuffle writes them lead first, the four characters back to back.
inline constexpr std::array<Shuffle, 256> kEncodeShuffle = [] {
    std::array<Shuffle, 256> t{};
    for (unsigned code = 0; code < 256; ++code) {
        unsigned pos = 0;
        for (auto& b : t[code])
            b = 0x80;
        for (unsigned k = 0; k < 4; ++k)
            for (unsigned j = lengthOf(code, k); j-- > 0;)
                t[code][pos++] = static_cast<std::uint8_t>(4 * k + j);
    }
    return t;
}();

constexpr unsigned encodedLength(unsigned code) {
    return lengthOf(code, 0) + lengthOf(code, 1) + lengthOf(code, 2) + lengthOf(code, 3);
}

// Four mask bits (one per lane) spread to the two-bit fields of a length code.
constexpr unsigned spreadLanes(unsigned m) {
    return (m & 1) | (m & 2) << 1 | (m & 4) << 2 | (m & 8) << 3;
}

// 0, 1, ..., 63: byte positions, for compressing the starts of characters.
inline constexpr std::array<std::uint8_t, 64> kIota = [] {
    std::array<std::uint8_t, 64> t{};
    for (unsigned i = 0; i < 64; ++i)
        t[i] = static_cast<std::uint8_t>(i);
    return t;
}();

// Byte 4k + j holds k: spreads sixteen byte values over the four bytes of each lane.
inline constexpr std::array<std::uint8_t, 64> kLaneOfByte = [] {
    std::array<std::uint8_t, 64> t{};
    for (unsigned i = 0; i < 64; ++i)
        t[i] = static_cast<std::uint8_t>(i / 4);
    return t;
}();

// Byte j holds j / 2: spreads 32 byte values over the low bytes of 16-bit lanes.
inline constexpr std::array<std::uint8_t, 64> kHalfOfByte = [] {
    std::array<std::uint8_t, 64> t{};
    for (unsigned i = 0; i < 64; ++i)
        t[i] = static_cast<std::uint8_t>(i / 2);
    return t;
}();

// Widens sixteen 16-bit lanes to 32-bit ones: byte 4k + j holds the byte of lane k that
// goes to byte j, the low one first in little endian (j = 0, 1) and last in big endian
// (j = 3, 2); the other two bytes of each lane are masked to zero.
template <bool Big>
inline constexpr std::array<std::uint8_t, 64> kWidenWords = [] {
    std::array<std::uint8_t, 64> t{};
    for (unsigned i = 0; i < 64; ++i)
        t[i] = static_cast<std::uint8_t>(2 * (i / 4) + (Big ? 1 - (i & 1) : (i & 1)));
    return t;
}();

} // namespace xr::cvt::tables
