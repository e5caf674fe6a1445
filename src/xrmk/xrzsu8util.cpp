// UTF-8 character sizing and counting. Pure functions over caller memory: every
// decision is a lookup in the shared byte tables.
#include <cstddef>
#include <cstdint>

#include "internal/utf8_fast.h"
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
    case 0xE0:
        return second >= 0xA0 && second <= 0xBF;
    case 0xED:
        return second >= 0x80 && second <= 0x9F;
    default:
        return second >= 0x90 && second <= 0xBF; // F0
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
    while (consumed < n && isContinuation(p[consumed]))
        ++consumed;
    if (consumed < n) return {static_cast<int>(consumed), false};
    return {static_cast<int>(n), !marked};
}

// The trim to a character boundary, once the lead p of the last character is known.
std::size_t boundaryAt(const std::uint8_t* s, std::size_t l, std::size_t p) {
    if (!canLead(s[p])) return 0;
    const std::size_t end = p + announced(s[p]);
    return end <= l ? end : p;
}

// The characters that start before c in a run: its non-continuation bytes. A lead
// at c whose sequence was cut by the run's end leaves only continuation bytes after it.
std::size_t leadsBefore(const xr::utf8::Run& r, std::size_t c) {
    const std::size_t contsAfter = c < r.end ? r.end - c - 1 : 0;
    return c - (r.conts - contsAfter);
}

} // namespace

namespace xr::utf8 {

// Counting by announced lengths, counting by continuation bytes, and the trim to a
// character boundary.
namespace reference {

std::uint64_t countByAnnounced(Bytes s, std::uint64_t l) {
    std::uint64_t count = 0;
    for (std::uint64_t pos = 0; pos < l; pos += announced(s[pos]))
        ++count;
    return count;
}

std::uint64_t trimToBoundary(Bytes s, std::uint64_t l) {
    if (l == 0 || s[l - 1] < 0x80) return l;
    std::size_t p = l - 1;
    while (p > 0 && isContinuation(s[p]))
        --p;
    return boundaryAt(s, l, p);
}

std::uint64_t numChars(Bytes s, std::uint64_t sl) {
    std::uint64_t count = 0;
    for (std::uint64_t pos = 0; pos < sl; ++count)
        pos += stepByContinuation(s + pos, sl - pos);
    return count;
}

std::uint64_t byteLength(Bytes s, std::uint64_t chars) {
    std::uint64_t pos = 0;
    for (; chars > 0; --chars)
        pos += stepByContinuation(s + pos, kUnbounded);
    return pos;
}

} // namespace reference

// Each fast form takes runs of whole blocks, where every non-continuation byte starts a
// character, and goes character by character from the boundary before the byte that
// ended the run until it is passed; then it takes the next run.

// Counts the characters of s[0..l) that step(p, avail) walks over, a run (of the rules
// R) at a time.
template <Isa I, class R, class Step>
std::uint64_t countInRuns(Bytes s, std::uint64_t l, Step step) {
    std::uint64_t count = 0;
    for (std::uint64_t pos = 0; pos < l;) {
        const Run r = structureRun<I, R>(s + pos, l - pos);
        const std::size_t c = boundaryBefore(s + pos, r.end);
        count += leadsBefore(r, c);
        const std::uint64_t stop = pos + (r.bad ? r.end + 1 : l - pos);
        for (pos += c; pos < stop && pos < l; ++count)
            pos += step(s + pos, l - pos);
    }
    return count;
}

template <Isa I> std::uint64_t numChars(Bytes s, std::uint64_t sl) {
    return countInRuns<I, ContinuationStops>(s, sl, stepByContinuation);
}

// Every remaining character takes at least one byte, so the next `chars` bytes are
// readable; a run never reads further.
template <Isa I> std::uint64_t byteLength(Bytes s, std::uint64_t chars) {
    std::uint64_t pos = 0;
    while (chars > 0) {
        const Run r = structureRun<I, ContinuationStops>(s + pos, chars);
        const std::size_t c = boundaryBefore(s + pos, r.end);
        chars -= leadsBefore(r, c);
        // After a clean run the next one starts at c, unless no whole block was left.
        const bool tail = !r.bad && c == 0;
        const std::uint64_t stop = pos + (r.bad ? r.end + 1 : c);
        for (pos += c; chars > 0 && (tail || pos < stop); --chars)
            pos += stepByContinuation(s + pos, kUnbounded);
    }
    return pos;
}

template <Isa I> std::uint64_t countByAnnounced(Bytes s, std::uint64_t l) {
    return countInRuns<I, CountStops>(
        s, l, [](const std::uint8_t* p, std::size_t) { return announced(*p); });
}

template <Isa I> std::uint64_t trimToBoundary(Bytes s, std::uint64_t l) {
    if (l == 0 || s[l - 1] < 0x80) return l;
    const std::size_t kept = dropTrailing<I>(Skip::Continuations, s, l);
    return boundaryAt(s, l, kept == 0 ? 0 : kept - 1);
}

#define XR_UTF8_INSTANTIATE(isa)                                                                   \
    template std::uint64_t numChars<isa>(Bytes, std::uint64_t);                                    \
    template std::uint64_t byteLength<isa>(Bytes, std::uint64_t);                                  \
    template std::uint64_t countByAnnounced<isa>(Bytes, std::uint64_t);                            \
    template std::uint64_t trimToBoundary<isa>(Bytes, std::uint64_t);
XR_UTF8_INSTANTIATE(Isa::Sse2)
XR_UTF8_INSTANTIATE(Isa::Avx2)
XR_UTF8_INSTANTIATE(Isa::Avx512)
#undef XR_UTF8_INSTANTIATE

} // namespace xr::utf8

extern "C" {

int utf8_len(UTF8Char c) {
    return static_cast<int>(announced(*c));
}

int _U8ValidCharSize(UTF8Char ch, XRBoolean* valid) {
    const Sized r = sizeCharacter(ch);
    *valid = r.valid ? XR_TRUE : XR_FALSE;
    return r.size;
}

int _U8CharSize(UTF8Char ch) {
    return sizeCharacter(ch).size;
}

int xrzsu8CharSize(UTF8Str s, XRBoolean* valid) {
    if (valid) return _U8ValidCharSize(s, valid);
    return sizeCharacter(s).size;
}

int xrzsu8CharSize2(UTF8Str s, XRBoolean*) {
    return sizeCharacter(s).size;
}

UTF8Str xrzsu8NextChar(UTF8Str s, UTF8ByteLength) {
    return s + sizeCharacter(s).size;
}

UTF8CharLength UTF8_SLEN(UTF8Str s) {
    if (!s) return 0;
    UTF8CharLength count = 0;
    while (*s) {
        ++count;
        // Skip what the lead announces, but never the terminator.
        std::size_t n = announced(*s++);
        while (--n && *s)
            ++s;
    }
    return count;
}

UTF8CharLength UTF8_SLENB(UTF8Str s, UTF8ByteLength l) {
    return XR_UTF8_DISPATCH(xr::utf8::countByAnnounced, s, l);
}

UTF8ByteLength UTF8_BLEN(UTF8ConstStr s) {
    if (!s) return 0;
    return UTF8_BLENB(s, skStrLen(reinterpret_cast<const char*>(s)));
}

UTF8ByteLength UTF8_BLENB(UTF8ConstStr s, UTF8CharLength l) {
    return XR_UTF8_DISPATCH(xr::utf8::trimToBoundary, s, l);
}

UTF8CharLength xrzsu8NumChars(UTF8ConstStr s, UTF8ByteLength sl) {
    return XR_UTF8_DISPATCH(xr::utf8::numChars, s, sl);
}

UTF8ByteLength xrzsu8ByteLength(UTF8ConstStr s, UTF8CharLength sl) {
    return XR_UTF8_DISPATCH(xr::utf8::byteLength, s, sl);
}

void xrzsu8Lengths(UTF8Str s, UTF8CharLength* cl, UTF8ByteLength* bl) {
    if (!s) return;
    UTF8CharLength count = 0;
    UTF8ByteLength pos = 0;
    // A NUL is no continuation byte, so no step passes the terminator.
    for (; s[pos]; ++count)
        pos += stepByContinuation(s + pos, kUnbounded);
    if (cl) *cl = count;
    if (bl) *bl = pos;
}

} // extern "C"
