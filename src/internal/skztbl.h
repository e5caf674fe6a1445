// The case tables and their lookups, shared by the case units and their tests.
#pragma once

#include <cstdint>

#include "xr/xrcase.h"

namespace xrkit::casetab {

// Min/max: the same block scheme as the exported tables, with 32-bit deltas and no
// pair lists.
extern const int32_t skz_min_meta[512];
extern const int32_t skz_minshift[3968];
extern const int32_t skz_max_meta[512];
extern const int32_t skz_maxshift[3712];

inline constexpr int8_t kPairEscape = -128;

// The pair lists end with a single 0 where the next first value would be; the walk
// carries on with the replaced value.
inline XRChar walkPairs(XRChar c, const XRChar* aux) {
    for (; aux[0] != 0; aux += 2)
        if (c == aux[0]) c = aux[1];
    return c;
}

inline XRChar shiftCase(XRChar c, const int8_t* shift, const XRChar* aux) {
    auto u = static_cast<uint32_t>(c);
    if (u >= 0x10000) return c;
    int m = skz_metatable[u >> 7];
    if (m < 0) return c;
    int delta = shift[m + (u & 0x7F)];
    if (delta != kPairEscape) return c + delta;
    return walkPairs(c, aux);
}

inline XRChar tableLower(XRChar c) {
    return shiftCase(c, skz_downshift, skz_downaux);
}
inline XRChar tableUpper(XRChar c) {
    return shiftCase(c, skz_upshift, skz_upaux);
}

inline XRChar shiftClass(XRChar c, const int32_t* meta, const int32_t* shift) {
    auto u = static_cast<uint32_t>(c);
    if (u >= 0x10000) return c;
    int32_t m = meta[u >> 7];
    return m < 0 ? c : c + shift[m + (u & 0x7F)];
}

inline XRChar classMin(XRChar c) {
    return shiftClass(c, skz_min_meta, skz_minshift);
}
inline XRChar classMax(XRChar c) {
    return shiftClass(c, skz_max_meta, skz_maxshift);
}

} // namespace xrkit::casetab
