// Strict checking and conversion of whole buffers among UTF-8, UTF-16 and UTF-32 (both
// byte orders), for callers that stream their input in chunks, such as the command-line
// tool. Not exported: the tool links these from the library's static archive.
//
// "Well-formed" is the Unicode standard's rule: shortest forms only, no surrogate code
// points, nothing above U+10FFFF; in UTF-16 every surrogate is half of a pair. For UTF-8
// a buffer is well-formed exactly when isLegalUTF8 accepts each sequence of it in turn,
// each taken at the length its first byte announces.
//
// Chunked use: a result that says Incomplete means the input ends inside a character
// whose bytes so far could still be completed: keep src[in..n) and put it in front of the
// next chunk. At the real end of the input, Incomplete is an error at offset `in`.
#pragma once

#include <cstddef>
#include <cstdint>

#include "internal/cvtkernels.h"

namespace xr::strict {

enum class Encoding : std::uint8_t { Utf8, Utf16Le, Utf16Be, Utf32Le, Utf32Be };

enum class Stop : std::uint8_t {
    Done,       // all n bytes consumed
    Invalid,    // the ill-formed character starts at `in`; everything before it was taken
    Incomplete, // src[in..n) is a proper prefix of a well-formed character
    OutputFull, // the character at `in` did not fit in what was left of the output
};

struct Validation {
    std::size_t in; // n when Done, else the offset named by `stop`
    Stop stop;      // never OutputFull
};

struct Step {
    std::size_t in;  // bytes of the input taken, always a character boundary
    std::size_t out; // bytes written, exactly the encoding of src[0..in)
    Stop stop;
};

// The size of a code unit: the bytes a character takes at least.
constexpr std::size_t unitBytes(Encoding e) {
    return e == Encoding::Utf8 ? 1 : e <= Encoding::Utf16Be ? 2 : 4;
}

// An output size that can never stop a conversion of n input bytes with OutputFull.
constexpr std::size_t maxOutputBytes(Encoding from, Encoding to, std::size_t n) {
    // Output bytes per input byte, doubled: ASCII widens 4x into UTF-32 and 2x into UTF-16,
    // a UTF-16 unit in U+0800..U+FFFF takes 3 UTF-8 bytes, UTF-32 never grows.
    constexpr std::size_t kTwice[3][3] = {{2, 4, 8}, {3, 2, 4}, {2, 2, 2}};
    const auto row = [](Encoding e) {
        return e == Encoding::Utf8 ? 0 : e <= Encoding::Utf16Be ? 1 : 2;
    };
    return (n * kTwice[row(from)][row(to)] + 1) / 2;
}

// The first ill-formed character of p[0..n), with the widest kernel of this CPU.
Validation validate(Encoding e, const std::uint8_t* p, std::size_t n);
Validation validateUtf8(const std::uint8_t* p, std::size_t n);

// The same with a chosen kernel set (available on this CPU; Scalar is the reference).
Validation validateUtf8(cvt::Kernel k, const std::uint8_t* p, std::size_t n);
Validation validate(cvt::Kernel k, Encoding e, const std::uint8_t* p, std::size_t n);

// Converts the well-formed prefix of src[0..n) into dst[0..cap), character by character,
// and stops at the first of: the end (Done), an ill-formed character (Invalid), a
// character cut by the end of the input (Incomplete), one that does not fit (OutputFull).
// The error offsets are those of validate(); nothing of an ill-formed or cut character is
// written; bytes of dst past `out` may have been used as scratch. from == to copies.
Step convert(Encoding from, Encoding to, const std::uint8_t* src, std::size_t n, std::uint8_t* dst,
             std::size_t cap);
Step convert(cvt::Kernel k, Encoding from, Encoding to, const std::uint8_t* src, std::size_t n,
             std::uint8_t* dst, std::size_t cap);

} // namespace xr::strict
