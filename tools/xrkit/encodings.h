// The encodings convert knows: their names, byte-order marks and strict decoders.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "utf8_scan.h"

namespace xrkit {

enum class Form : std::uint8_t { Utf8, Utf16, Utf32, Ucs2, Cesu8, Mutf8 };
// Marked: the byte order of a byte-order mark when reading (big-endian without one);
// writing puts a mark first and goes on little-endian, as glibc's iconv does.
enum class Order : std::uint8_t { None, Little, Big, Marked };

struct Encoding {
    const char* name;    // as messages and --list show it
    const char* aliases; // other spellings, blank-separated
    Form form;
    Order order;
    const char* note; // for --list
};

std::span<const Encoding> encodings();
// By name or alias, ignoring case, '-' and '_' ("UTF-8", "utf8", "Utf_16LE"); a usage
// error names an unknown one.
const Encoding& findEncoding(const std::string& name);
// The same form in a byte order that is not Marked.
const Encoding& inOrder(const Encoding& e, Order order);

// Bytes of one code unit: 1, 2 or 4.
unsigned unitSize(Form form);
// Characters of the form lie in the BMP.
bool bmpOnly(Form form);

// The byte-order mark of an encoding that is not Marked, into out (4 bytes of room);
// returns its length.
std::size_t byteOrderMark(const Encoding& e, std::uint8_t* out);

// The sequence at p in e (not Marked), n >= 1 bytes at hand: a character, an ill-formed
// maximal subpart (UTF-16: a lone surrogate; UTF-32 and UCS-2: a bad unit), or a prefix
// cut by the end of the bytes.
Sequence decodeOne(const Encoding& e, const std::uint8_t* p, std::size_t n, bool ended);

// "E0 80": bytes in hex.
std::string hexBytes(const std::uint8_t* p, std::size_t n);
// "ill-formed UTF-8 sequence E0 80 at byte offset 12", or "incomplete ... at the end of
// the input (byte offset 12)" for a sequence the end cut.
std::string describeBad(const char* encodingName, const Sequence& s, const std::uint8_t* p,
                        std::uint64_t offset);

} // namespace xrkit
