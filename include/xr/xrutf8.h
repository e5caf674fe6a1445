/* xrkit: the UTF-8 text kit: sizing, counting, comparison, copying, stripping, modified UTF-8,
 * character classes.
 *
 * Two families size malformed text differently, on purpose:
 *  - utf8_len, UTF8_SLEN, UTF8_SLENB, UTF8_BLEN, UTF8_BLENB step by the length a lead byte
 *    announces and never look at the bytes in between;
 *  - _U8ValidCharSize, _U8CharSize and the xrzsu8 functions end a character early at the
 *    first byte after the lead that is not a continuation byte.
 *
 * The sizing functions take no bound: they read the lead and at most five more bytes,
 * stopping at the first byte that is not a continuation byte. On NUL-terminated text
 * they never read past the terminator: after E0, ED or F0 a NUL ends the character at
 * once (size 1, invalid) instead of being taken in as its second byte, so stepping by
 * size always lands on the terminator. UTF8_SLEN stops at the first NUL even inside a
 * character whose announced length reaches past it; that character still counts.
 */
#ifndef XR_XRUTF8_H
#define XR_XRUTF8_H

#include "xr/xrtypes.h"

XR_EXTERN_C_BEGIN

/* ---- sizing and counting ------------------------------------------------- */

/* The length (1..6) that the byte at c announces. */
XR_API int utf8_len(UTF8Char c);
/* Size of the character at ch; *valid (required) is TRUE only for a well-formed
 * character (RFC 3629). */
XR_API int _U8ValidCharSize(UTF8Char ch, XRBoolean* valid);
/* The same size, without the verdict. */
XR_API int _U8CharSize(UTF8Char ch);
/* The same size; *valid is set as _U8ValidCharSize sets it when valid is not null. */
XR_API int xrzsu8CharSize(UTF8Str s, XRBoolean* valid);
/* The same size; valid is never written. */
XR_API int xrzsu8CharSize2(UTF8Str s, XRBoolean* valid);
/* s plus the size of the character at s; l is not consulted. */
XR_API UTF8Str xrzsu8NextChar(UTF8Str s, UTF8ByteLength l);

/* Characters by announced length in a NUL-terminated string; 0 for null. */
XR_API UTF8CharLength UTF8_SLEN(UTF8Str s);
/* Characters by announced length that start within the first l bytes. */
XR_API UTF8CharLength UTF8_SLENB(UTF8Str s, UTF8ByteLength l);
/* UTF8_BLENB over the bytes before the NUL; 0 for null. */
XR_API UTF8ByteLength UTF8_BLEN(UTF8ConstStr s);
/* The longest length not above l (a byte count) that ends on a character boundary;
 * 0 when the last character starts with a byte that cannot lead. */
XR_API UTF8ByteLength UTF8_BLENB(UTF8ConstStr s, UTF8CharLength l);

/* Characters by continuation bytes in the sl bytes at s. */
XR_API UTF8CharLength xrzsu8NumChars(UTF8ConstStr s, UTF8ByteLength sl);
/* Bytes that the first sl characters occupy; the text must hold sl characters. */
XR_API UTF8ByteLength xrzsu8ByteLength(UTF8ConstStr s, UTF8CharLength sl);
/* Characters and bytes before the NUL, each stored where its pointer is not null;
 * nothing is stored for a null s. */
XR_API void xrzsu8Lengths(UTF8Str s, UTF8CharLength* cl, UTF8ByteLength* bl);

/* ---- comparison, copying, stripping -------------------------------------- */

/* Byte order: exactly -1, 0 or +1; a proper prefix sorts first. */
XR_API int32_t xrzsu8Compare(UTF8ConstStr s1, UTF8ByteLength s1L, UTF8ConstStr s2,
                             UTF8ByteLength s2L);
XR_API int32_t xrzsu8CompareText(UTF8ConstStr s1, UTF8ByteLength s1L, XRConstMemPtr s2,
                                 XRMemSize s2L, NLScei cei);

/* Case-blind order, trailing 0x20 blanks ignored: +-2 for a difference after folding,
 * +-1 for texts that differ in letter case only (sign of the first such difference,
 * lower case after upper case), 0 otherwise. Non-ASCII characters fold through the
 * host's NLS extension, which must be present. cei is not consulted. */
XR_API int32_t xrzsu8NormCompare(UTF8ConstStr s1, UTF8ByteLength len1, UTF8ConstStr s2,
                                 UTF8ByteLength len2);
XR_API int32_t xrzsu8NormCompareText(UTF8ConstStr s1, UTF8ByteLength len1, XRConstMemPtr s2,
                                     XRMemSize len2, NLScei cei);

/* Case-blind equality; blanks count. Characters from U+10000 up fold through the host's
 * NLS extension, the others through xrzstlo. */
XR_API XRBoolean xrzsu8NormEqual(UTF8ConstStr s1, UTF8ByteLength s1L, UTF8ConstStr s2,
                                 UTF8ByteLength s2L);
XR_API XRBoolean xrzsu8NormEqualText(UTF8ConstStr s1, UTF8ByteLength s1L, XRConstMemPtr s2,
                                     XRMemSize s2L, NLScei cei);

/* Copies the longest prefix of from that fits in tlen bytes and ends on a character
 * boundary, fills the rest of the field with 0x20 and returns the bytes copied. The
 * areas may overlap. A null from gives an all-blank field and 0. */
XR_API UTF8ByteLength xrzsu8Copy(UTF8ConstStr from, UTF8ByteLength flen, UTF8Str to,
                                 UTF8ByteLength tlen);
XR_API UTF8ByteLength xrzsu8CopyText(XRConstMemPtr from, XRMemSize flen, NLScei cei, UTF8Str to,
                                     UTF8ByteLength tlen);

/* The length without trailing blanks. options 0: 0x20 only; 2: the space separators
 * and U+2028/U+2029; anything else: those and U+0009..U+000D and U+0085. A stray
 * continuation byte after a blank is not part of it: the blank then stays. */
XR_API UTF8ByteLength xrzsu8StripBlanks(UTF8ConstStr string, UTF8ByteLength stringL,
                                        XRFlags options);

/* ---- modified UTF-8 and character classes -------------------------------- */

/* Encode: NUL as C0 80. Decode: C0 80 as NUL. */
#define XRZSU8_MODIFIED_NUL 0x1u
/* Without XRZSU8_MODIFIED_NUL only. Encode: four-byte characters become U+FFFD.
 * Decode: a copy that does not cut a character, nothing converted. */
#define XRZSU8_BMP_ONLY 0x4u

/* Standard UTF-8 to CESU-8 (each character above U+FFFF as two three-byte surrogates),
 * or to modified UTF-8 with XRZSU8_MODIFIED_NUL. Malformed input becomes U+FFFD and
 * gives XRStatusIllegalSequence once the conversion is complete; so does a four-byte
 * sequence whose value lies outside U+10000..U+10FFFF (leads F5..F7, F4 90 and up,
 * overlong F0 80..8F), which has no surrogate pair. A full destination gives
 * XRStatusBufferTooSmall, keeping the whole output characters written. *cvtL (cvtL may
 * be null) gets the bytes written in every case. s and d must not overlap. */
XR_API XRStatus xrzsu8Encode(UTF8Str s, UTF8ByteLength sL, UTF8Str d, UTF8ByteLength dL,
                             UTF8ByteLength* cvtL, XRFlags opt);
/* The reverse: surrogate pairs back to four-byte characters; an unpaired surrogate
 * becomes U+FFFD. Statuses and *cvtL as for xrzsu8Encode. */
XR_API XRStatus xrzsu8Decode(UTF8Str s, UTF8ByteLength sL, UTF8Str d, UTF8ByteLength dL,
                             UTF8ByteLength* cvtL, XRFlags opt);

/* TRUE for U+200C, U+200D and the combining marks (general categories Mn, Mc, Me) as
 * the host's Unicode-data extension "xrnlsudb" reports them; the extension is loaded on
 * first use and kept in the NLS extension's unidataExt. The whole announced length of
 * the byte at s must be readable. */
XR_API XRBoolean xrzsu8IsCombining(UTF8Char s);
/* fnc applied to the code point of the character at s (U+FFFD when malformed). */
XR_API XRBoolean _XRZSU8IsFunct(UTF8Char s, XRBoolean (*fnc)(XRChar));

XR_EXTERN_C_END

#endif
