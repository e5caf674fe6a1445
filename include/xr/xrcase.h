/* xrkit: XRChar case mapping, case-blind comparison and the case tables.
 *
 * Only values below 0x10000 (as unsigned 32-bit numbers) are looked up in the
 * tables; every other value, negative ones and supplementary code points included,
 * maps to itself.
 *
 * Table lookup of c for one direction: b = skz_metatable[c >> 7]; b < 0 leaves c;
 * otherwise the delta at b + (c & 0x7F) of skz_upshift/skz_downshift is added, and
 * the delta -128 sends c to the pair list skz_upaux/skz_downaux (pairs of character
 * and mapped form, ended by a single 0; a character in no pair stays).
 *
 * xrzstlo/xrzstup read Exported_XRHandle->xrnls once per call: when the host has an
 * NLS extension, every unit with a bit above the low 7 set (0x80 and up, and every
 * negative unit) goes to its charDowncase/charUpcase (extension, unit, 1) and the
 * result is stored unchecked; ASCII units always go through the tables. Before
 * the library is entered (no saved handle) the tables serve every unit. The
 * comparisons and min/max use the tables only and never call the host.
 */
#ifndef XR_XRCASE_H
#define XR_XRCASE_H

#include "xr/xrtypes.h"

XR_EXTERN_C_BEGIN

/* Block index per 128 code points below 0x10000: -1, or the start of the block in
 * both shift tables. */
XR_API extern const int16_t skz_metatable[512];
/* 19 blocks of signed deltas; -128 escapes to the pair list. */
XR_API extern const int8_t skz_upshift[2432];
XR_API extern const int8_t skz_downshift[2432];
/* 20 pairs (character, upper-case form), then 0. */
XR_API extern const XRChar skz_upaux[41];
/* 19 pairs (character, lower-case form), then 0. */
XR_API extern const XRChar skz_downaux[39];

/* In place over slen units; slen <= 0 does nothing. */
XR_API void xrzstlo(XRChar* string, XRStrSize slen);
XR_API void xrzstup(XRChar* string, XRStrSize slen);

/* TRUE when len1 == len2 and the units agree after table lower-casing. */
XR_API XRBoolean xrzseqn(const XRChar* s1, XRStrSize len1, const XRChar* s2, XRStrSize len2);

/* Case-blind comparison with trailing U+0020 ignored: -2/2 for a difference that
 * survives table lower-casing (negative when s1 sorts first), -1/1 when the strings
 * differ only in case (sign of the first raw difference), 0 when equal up to
 * trailing blanks. A negative length counts as an empty string. */
XR_API int32_t xrzsncmp(const XRChar* s1, XRStrSize len1, const XRChar* s2, XRStrSize len2);

/* In place: each unit becomes the smallest (min) or largest (max) member of its
 * case class; slen <= 0 does nothing. */
XR_API void xrzstmin(XRChar* string, XRStrSize slen);
XR_API void xrzstmax(XRChar* string, XRStrSize slen);

/* ch put through xrzstlo/xrzstup as a one-unit string. */
XR_API XRChar xrtolower(XRChar ch);
XR_API XRChar xrtoupper(XRChar ch);

XR_EXTERN_C_END

#endif
