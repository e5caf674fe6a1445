// UTF-8 character sizing and counting. Pure functions over caller memory: every
// decision is a lookup in the shared byte tables.
#include <cstddef>
#include <cstdint>

#include "internal/utf8_kit.h"
#include "xr/xrmem.h"
#include "xr/xrutf8.h"

namespace {

using namespace xr::utf8;
constexpr std::size_t kUnbounded = SIZE_MAX;

// The second byte after E0, ED or F0 belongs to the character whatever its value;
// these are its allowed ranges.
constexpr bool secondInRange(std::uint8_t lead, std::uint8_t second) {
    switch (lead) {
    case 0xE0: return second >= 0xA0 && second <= 0xBF;
    case 0xED: return second >= 0x80 && second <= 0x9F;
    default: return second >= 0x90 && second <= 0xBF; // F0
    }
}

struct Sized {
    int size;
    bool valid;
};

Sized sizeCharacter(const std::uint8_t* p) {
    const std::uint8_t b = p[0];
    if (b < 0x80) return {1, true};
    const std::size_t n = announced(b);
    bool marked = !canLead(b);
    std::size_t consumed = 1;
    if (b == 0xE0 || b == 0xED || b == 0xF0) {
        // A NUL here is a terminator: taking it in would step past the string's end.
        if (p[1] == 0) return {1, false};
        marked |= !secondInRange(b, p[1]);
        consumed = 2;
    } else if (b == 0xF4 && isContinuation(p[1]) && p[1] > 0x8F) {
        marked = true;
    }
    while (consumed < n && isContinuation(p[consumed])) ++consumed;
    if (consumed < n) return {static_cast<int>(consumed), false};
    return {static_cast<int>(n), !marked};
}

// Rule 5: trims l to the last character boundary.
std::size_t trimToBoundary(const std::uint8_t* s, std::size_t l) {
    if (l == 0 || s[l - 1] < 0x80) return l;
    std::size_t p = l - 1;
    while (p > 0 && isContinuation(s[p])) --p;
    if (!canLead(s[p])) return 0;
    const std::size_t end = p + announced(s[p]);
    return end <= l ? end : p;
}

} // namespace

extern "C" {

int utf8_len(UTF8Char c) { return static_cast<int>(announced(*c)); }

int _U8ValidCharSize(UTF8Char ch, XRBoolean* valid) {
    const Sized r = sizeCharacter(ch);
    *valid = r.valid ? XR_TRUE : XR_FALSE;
    return r.size;
}

int _U8CharSize(UTF8Char ch) { return sizeCharacter(ch).size; }

int xrzsu8CharSize(UTF8Str s, XRBoolean* valid) {
    if (valid) return _U8ValidCharSize(s, valid);
    return sizeCharacter(s).size;
}

int xrzsu8CharSize2(UTF8Str s, XRBoolean*) { return sizeCharacter(s).size; }

UTF8Str xrzsu8NextChar(UTF8Str s, UTF8ByteLength) { return s + sizeCharacter(s).size; }

UTF8CharLength UTF8_SLEN(UTF8Str s) {
    if (!s) return 0;
    UTF8CharLength count = 0;
    while (*s) {
        ++count;
        // Skip what the lead announces, but never the terminator.
        std::size_t n = announced(*s++);
        while (--n && *s) ++s;
    }
    return count;
}

UTF8CharLength UTF8_SLENB(UTF8Str s, UTF8ByteLength l) {
    UTF8CharLength count = 0;
    for (UTF8ByteLength pos = 0; pos < l; pos += announced(s[pos])) ++count;
    return count;
}

UTF8ByteLength UTF8_BLEN(UTF8ConstStr s) {
    if (!s) return 0;
    return trimToBoundary(s, skStrLen(reinterpret_cast<const char*>(s)));
}

UTF8ByteLength UTF8_BLENB(UTF8ConstStr s, UTF8CharLength l) { return trimToBoundary(s, l); }

UTF8CharLength xrzsu8NumChars(UTF8ConstStr s, UTF8ByteLength sl) {
    UTF8CharLength count = 0;
    for (UTF8ByteLength pos = 0; pos < sl; ++count) pos += stepByContinuation(s + pos, sl - pos);
    return count;
}

UTF8ByteLength xrzsu8ByteLength(UTF8ConstStr s, UTF8CharLength sl) {
    UTF8ByteLength pos = 0;
    for (; sl > 0; --sl) pos += stepByContinuation(s + pos, kUnbounded);
    return pos;
}

void xrzsu8Lengths(UTF8Str s, UTF8CharLength* cl, UTF8ByteLength* bl) {
    if (!s) return;
    UTF8CharLength count = 0;
    UTF8ByteLength pos = 0;
    // A NUL is no continuation byte, so no step passes the terminator.
    for (; s[pos]; ++count) pos += stepByContinuation(s + pos, kUnbounded);
    if (cl) *cl = count;
    if (bl) *bl = pos;
}

} // extern "C"
