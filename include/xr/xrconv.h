/* xrkit: Unicode transcoding: code-unit converters and whole-buffer drivers.
 *
 * A reader decodes the one character at its input into a code point; a writer encodes
 * one code point at its output. Buffers of every encoding travel as XRUtf8* with a
 * length in bytes, and every usedL counts bytes: for a reader the input the character
 * occupied (the step to the next one), for a writer the output written.
 *
 * Byte orders are fixed per converter and independent of the machine:
 *   UTF16_UTF32, BYTE_UTF16_UTF32      read UTF-16 big-endian      (_SWAP: little-endian)
 *   UTF32_UTF16, UTF32_UTF16s          write UTF-16 little-endian  (_SWAP: big-endian)
 *   COPY_UTF32b, COPY_UTF32            read/write UTF-32 big-endian (_SWAP: little-endian)
 *   Byte2DWord, Byte2Word              read little-endian          (_swap: big-endian)
 * UTF8_UTF16 alone stores XRUtf16 units in the machine's order.
 *
 * A failing reader delivers U+FFFD and a usedL that steps over the bad input; a
 * failing writer writes nothing. Readers given less than one unit of their encoding
 * (zero bytes; one byte of UTF-16; fewer than four of UTF-32) read nothing beyond
 * their input and answer U+FFFD, usedL = the bytes available and
 * XRStatusTruncatedSequence. Writers given no room at all report
 * XRStatusBufferTooSmall, the one-byte UTF-8 case included.
 */
#ifndef XR_XRCONV_H
#define XR_XRCONV_H

#include "xr/xrtypes.h"

XR_EXTERN_C_BEGIN

/* The converter slots of the drivers. */
typedef XRStatus (*XRCvtReader)(XRUtf8* src, XRMemSize srcL, XRUtf32* u32, XRMemSize* usedL);
typedef XRStatus (*XRCvtWriter)(XRUtf32 u32, XRUtf8* dest, XRMemSize destL, XRMemSize* usedL);

/* Readers. UTF8_UTF32 does not check continuation bytes, overlong forms, surrogates
 * or the upper bound: isLegalUTF8 is the strict test. */
XR_API XRStatus UTF8_UTF32(XRUtf8* src, XRMemSize srcL, XRUtf32* u32, XRMemSize* usedL);
XR_API XRStatus UTF16_UTF32(XRUtf8* src, XRMemSize srcL, XRUtf32* u32, XRMemSize* usedL);
XR_API XRStatus UTF16_UTF32_SWAP(XRUtf8* src, XRMemSize srcL, XRUtf32* u32, XRMemSize* usedL);
XR_API XRStatus COPY_UTF32b(XRUtf8* src, XRMemSize srcL, XRUtf32* u32, XRMemSize* usedL);
XR_API XRStatus COPY_UTF32b_SWAP(XRUtf8* src, XRMemSize srcL, XRUtf32* u32, XRMemSize* usedL);
/* One or two units into u16[0..1]; a second unit was stored when u16[0] is D800..DBFF.
 * Any failure, truncation included, stores 0xFFFD and returns XRStatusIllegalSequence. */
XR_API XRStatus UTF8_UTF16(XRUtf8* src, XRMemSize srcL, XRUtf16* u16, XRMemSize* usedL);

/* Writers. On XRStatusBufferTooSmall the UTF-32 and UTF-8 writers store usedL 0,
 * the UTF-16 writers leave usedL untouched. */
XR_API XRStatus COPY_UTF32(XRUtf32 u32, XRUtf8* dest, XRMemSize destL, XRMemSize* usedL);
XR_API XRStatus COPY_UTF32_SWAP(XRUtf32 u32, XRUtf8* dest, XRMemSize destL, XRMemSize* usedL);
/* UCS-2: the low 16 bits of u32 as one unit. */
XR_API XRStatus UTF32_UTF16(XRUtf32 u32, XRUtf8* dest, XRMemSize destL, XRMemSize* usedL);
XR_API XRStatus UTF32_UTF16_SWAP(XRUtf32 u32, XRUtf8* dest, XRMemSize destL, XRMemSize* usedL);
/* UTF-16: a surrogate pair above 0xFFFF. */
XR_API XRStatus UTF32_UTF16s(XRUtf32 u32, XRUtf8* dest, XRMemSize destL, XRMemSize* usedL);
XR_API XRStatus UTF32_UTF16s_SWAP(XRUtf32 u32, XRUtf8* dest, XRMemSize destL, XRMemSize* usedL);
/* Shortest form by bit layout, values unchecked (surrogates, up to 0x1FFFFF). */
XR_API XRStatus UTF32_UTF8(XRUtf32 u32, XRUtf8* dest, XRMemSize destL, XRMemSize* usedL);
XR_API XRStatus UTF16_UTF8(XRUtf16 u16, XRUtf8* u8, XRMemSize u8L, XRMemSize* usedL);

/* Byte-order readers of possibly unaligned bytes; no checks. */
XR_API XRUtf32 Byte2DWord(XRUtf8* curP);
XR_API XRUtf32 Byte2DWord_swap(XRUtf8* curP);
XR_API XRUtf32 Byte2Word(XRUtf8* curP);
XR_API XRUtf32 Byte2Word_swap(XRUtf8* curP);
XR_API XRUtf32 BYTE_UTF16_UTF32(XRUtf8* src);
XR_API XRUtf32 BYTE_UTF16_UTF32_SWAP(XRUtf8* src);

/* Any encoding to UTF-32 at 4 bytes per character: CVT reads, postConv must be a
 * UTF-32 writer. Stops in front of the first failing character with its status; a full
 * output is success. usedL (may be null) = 4 x characters converted. */
XR_API XRStatus ConvertToUTF32(XRUtf8* src, XRMemSize srcL, XRUtf8* dest, XRMemSize destL,
                               XRMemSize* usedL, XRCvtReader CVT, XRCvtWriter postConv);
/* UTF-32 to any encoding; note the writer comes before the reader, which must be a
 * UTF-32 reader. Input bytes past the last multiple of 4 are ignored. usedL (may be
 * null) = output bytes of complete characters. */
XR_API XRStatus ConvertFromUTF32(XRUtf8* src, XRMemSize srcL, XRUtf8* dest, XRMemSize destL,
                                 XRMemSize* usedL, XRCvtWriter CVT2, XRCvtReader preConv);
/* Copies min(srcL, destL) bytes; XRStatusBufferTooSmall when srcL > destL. */
XR_API XRStatus COPY_UTF(XRUtf8* src, XRMemSize srcL, XRUtf8* dest, XRMemSize destL,
                         XRMemSize* cvtL);
/* TRUE when the length bytes at source are one well-formed UTF-8 character; length is
 * the one the lead byte announces. move8L = length, or the offset of the first bad
 * continuation byte. */
XR_API XRBoolean isLegalUTF8(XRUtf8Ptr source, XRMemSize length, XRMemSize* move8L);
/* Bytes that UTF32_UTF8 produces for the units (negative values count 4). */
XR_API XRMemSize GET_UTF8_LEN_FROM_XRCHAR(XRChar* xrsrc, XRStrSize xrsrcL);

XR_EXTERN_C_END

#endif
