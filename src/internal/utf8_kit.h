// Character steps shared by the UTF-8 kit's units: sizing by continuation bytes and
// one-character decoding through the UTF-8 reader.
#pragma once

#include <cstddef>
#include <cstdint>

#include "internal/utf8_tables.h"
#include "xr/xrconv.h"

namespace xr::utf8 {

constexpr std::size_t announced(std::uint8_t b) {
    return bytesFromUTF8[b];
}
constexpr bool canLead(std::uint8_t b) {
    return valid_1st_utf8[b] != 0;
}

// The continuation bytes directly after the lead at p, at most max of them and none
// at or beyond p + avail (avail counts the lead).
constexpr std::size_t continuationsAfter(const std::uint8_t* p, std::size_t avail,
                                         std::size_t max) {
    std::size_t k = 0;
    while (k < max && k + 1 < avail && isContinuation(p[k + 1]))
        ++k;
    return k;
}

// One step of counting by continuation bytes, bounded by avail (unbounded: SIZE_MAX).
constexpr std::size_t stepByContinuation(const std::uint8_t* p, std::size_t avail) {
    return 1 + continuationsAfter(p, avail, announced(*p) - 1);
}

struct Decoded {
    std::uint32_t cp;
    std::size_t used;
};

// The character at p within avail bytes (avail >= 1); U+FFFD when malformed or cut.
inline Decoded decodeOne(const std::uint8_t* p, std::size_t avail) {
    XRUtf32 cp = 0;
    XRMemSize used = 0;
    UTF8_UTF32(const_cast<std::uint8_t*>(p), avail, &cp, &used);
    return {cp, static_cast<std::size_t>(used)};
}

// The character at p, read over the whole length its first byte announces.
inline std::uint32_t decodeAnnounced(const std::uint8_t* p) {
    return decodeOne(p, announced(*p)).cp;
}

} // namespace xr::utf8
