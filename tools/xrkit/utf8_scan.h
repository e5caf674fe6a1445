// Strict UTF-8 as the Unicode standard defines it (its table of well-formed byte
// sequences), with ill-formed input cut into maximal subparts: the longest run of bytes
// that starts some well-formed sequence, or else one byte. Each maximal subpart is one
// U+FFFD under --replace and one "invalid" in count.
#pragma once

#include <cstddef>
#include <cstdint>

namespace xrkit {

enum class Verdict : std::uint8_t {
    Good,       // a character
    Bad,        // an ill-formed maximal subpart
    Truncated,  // the input ended inside a character: a maximal subpart too
    Incomplete, // a proper prefix of a character cut by the end of the bytes at hand
};

struct Sequence {
    Verdict verdict;
    std::uint8_t size; // bytes of the character or the subpart
    std::uint32_t cp;  // the code point of a good character
};

namespace utf8 {

// The sequence at p, n >= 1 bytes at hand; `ended` when no byte follows them.
Sequence next(const std::uint8_t* p, std::size_t n, bool ended);

// The longest prefix of p[0, n) made of whole well-formed characters, found by the
// library's vector validator. Every command that needs well-formed UTF-8 (validate,
// count, case, normalize) finds its good runs here.
std::size_t wellFormedPrefix(const std::uint8_t* p, std::size_t n);

// A byte that continues a character: 10xxxxxx.
inline bool isContinuation(std::uint8_t b) {
    return (b & 0xC0) == 0x80;
}

} // namespace utf8
} // namespace xrkit
