// The reference host's formatter: printf-style directives over XRChar format strings.
//
//   %[flags][width][.precision][length]conversion
//
//   flags      '-' left-justify, '0' pad with zeros, '+', ' ', '#' (as printf)
//   width      digits, or '*' taking an int argument
//   precision  '.' then digits or '*'
//   length     hh h l ll j z t (integers), L (long double)
//   d i        signed integer: int, or the width the length names
//   u o x X    unsigned integer, likewise
//   c          one character: an int holding an XRChar value
//   s          a NUL-terminated XRChar* (precision caps the units taken; null prints "(null)");
//              with length 'h' ("%hs"), a NUL-terminated UTF-8 char* instead
//   p          a pointer, as lower-case hex digits without "0x" ('#' adds it); width and '0'
//              apply, so "%016p" is a full 64-bit address
//   f F e E g G a A   a double (a long double with 'L')
//   %%         a percent sign
//
// An unknown or incomplete directive is copied to the output as it stands and takes
// no argument.
#pragma once

#include <cstdarg>

#include "xrhost/text.h"

namespace xrhost {

// Appends fmt (fmtL units) expanded with args to out. args is consumed.
void formatTo(XRText& out, const XRChar* fmt, std::size_t fmtL, va_list args);

// Convenience for host code: the same with a UTF-8 format string.
XRText format(const char* utf8fmt, ...);

} // namespace xrhost
