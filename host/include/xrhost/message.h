// Captured and rendered messages of the reference host's formatter.
//
// Capturing reads a status code's values the way the directives of its catalog
// template read them (format.h), so the template decides the type of each value:
//
//   d i u o x X, and the '*' of a width or precision   xrzf_msg_int (argVal.uix)
//   the same with l ll j z t                          xrzf_msg_intmax (argVal.umx)
//   c                                                 xrzf_msg_xrch (argVal.uix)
//   p                                                 xrzf_msg_ptr (argVal.ptr)
//   f F e E g G a A                                   xrzf_msg_double (argVal.dbl)
//   the same with L                                   xrzf_msg_ldouble (argVal.ldbl)
//   s                                                 xrzf_msg_xr_str
//   hs                                                xrzf_msg_ch_str
//
// A string value is copied: str.ptr keeps the caller's pointer, str.buff points at the
// copy (NUL included; null for a null pointer) and str.buffSz is the copy's size in
// bytes. A code that the catalog lacks captures no value. The record, its values and
// the copies are one block of the pool; a pool that refuses gives null.
//
// A rendered record holds the text split at each '\n' into lines (a text with no
// newline is one line), rc 0, all in one block of the pool.
#pragma once

#include <cstdarg>

#include "xr/xrhost.h"
#include "xrhost/catalog.h"

namespace xrhost {

XRZCapturedp capture(const Catalog& catalog, XRPoolh pool, XRStatus code, va_list args);
// The catalog message of captured, formatted with its values.
XRText renderText(const Catalog& catalog, const XRZCaptured_S& captured);
XRZRenderedp makeRendered(XRPoolh pool, const XRText& text);
// The lines of a rendered record joined with '\n'.
XRText joinLines(const XRZRendered_S& rendered);

} // namespace xrhost
