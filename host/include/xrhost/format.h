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

// Where the directives take their values from, one call per value in the order of the
// directives: a va_list (VaArgs), or the typed values of a captured message.
class ArgSource {
  public:
    virtual ~ArgSource() = default;
    virtual int nextInt() = 0;                // d i u o x X without l ll j z t; '*'
    virtual long long nextIntmax() = 0;       // d i u o x X with l ll j z t
    virtual XRChar nextChar() = 0;            // c (passed as an int)
    virtual void* nextPointer() = 0;          // p
    virtual double nextDouble() = 0;          // f F e E g G a A
    virtual long double nextLongDouble() = 0; // the same with L
    virtual const XRChar* nextXRString() = 0; // s
    virtual const char* nextCharString() = 0; // hs
};

// Reads the values from a copy of a va_list; the caller's va_list is left as it was.
class VaArgs final : public ArgSource {
  public:
    explicit VaArgs(va_list args) { va_copy(ap_, args); }
    ~VaArgs() override { va_end(ap_); }
    VaArgs(const VaArgs&) = delete;
    VaArgs& operator=(const VaArgs&) = delete;
    int nextInt() override { return va_arg(ap_, int); }
    long long nextIntmax() override { return va_arg(ap_, long long); }
    XRChar nextChar() override { return va_arg(ap_, int); }
    void* nextPointer() override { return va_arg(ap_, void*); }
    double nextDouble() override { return va_arg(ap_, double); }
    long double nextLongDouble() override { return va_arg(ap_, long double); }
    const XRChar* nextXRString() override { return va_arg(ap_, const XRChar*); }
    const char* nextCharString() override { return va_arg(ap_, const char*); }

  private:
    va_list ap_;
};

// Appends fmt (fmtL units) expanded with the values to out. A va_list is not consumed.
void formatTo(XRText& out, const XRChar* fmt, std::size_t fmtL, va_list args);
void formatTo(XRText& out, const XRChar* fmt, std::size_t fmtL, ArgSource& args);

// Convenience for host code: the same with a UTF-8 format string.
XRText format(const char* utf8fmt, ...);

} // namespace xrhost
