/* xrkit: byte and XRChar memory and string primitives.
 *
 * Lengths travel beside pointers; only skStrLen, skStrTLen, skStrCpy and skStrTCpy read
 * NUL-terminated strings. Not found is -1: the signed -1 for XRStrSize results and the
 * all-ones value for XRMemSize results (view it as signed: negative means not found).
 * The sk copies take the source first; the xrmem wrappers keep the destination first.
 * Bytes compare as unsigned values; int8_t search and fill arguments compare as bytes.
 *
 * Lengths below 1 where the type is signed: xrzspos, skMemTNScan give -1, skMemTNot
 * gives TRUE, skMemTSet writes nothing; xrzsndx treats a token length below 1 as an
 * empty token (found at 0) and a string shorter than the token as no match. */
#ifndef XR_XRMEM_H
#define XR_XRMEM_H

#include "xr/xrtypes.h"

XR_EXTERN_C_BEGIN

/* Index of the leftmost occurrence of the tlen units of tok in the slen units of str, or
 * -1; 0 for an empty token (tok may then be null), even in an empty string. */
XR_API XRStrSize xrzsndx(const XRChar* str, XRStrSize slen, const XRChar* tok, XRStrSize tlen);
/* Index of the first unit equal to c, or -1 (also for a null str or len below 1). */
XR_API XRStrSize xrzspos(const XRChar* str, XRStrSize len, XRChar c);

/* The standard memory functions, destination first. */
XR_API XRMemPtr xrmemcpy(XRMemPtr dst, XRConstMemPtr src, XRMemSize len);
XR_API XRMemPtr xrmemmove(XRMemPtr dst, XRConstMemPtr src, XRMemSize len);
XR_API XRMemPtr xrmemset(XRMemPtr dst, uint8_t ch, XRMemSize len);
/* Only the sign of the result is meaningful. */
XR_API int32_t xrmemcmp(XRConstMemPtr s1, XRConstMemPtr s2, XRMemSize len);
/* skMemScan as a pointer: null for a null src, a zero len or no match. */
XR_API void* xrmemchr(XRConstMemPtr src, uint8_t ch, XRMemSize len);

/* Always XRStatusUnsupported: the entry of a function table for what it lacks. */
XR_API XRStatus skUnsup(void);

/* Units before the terminator; 0 for a null s. */
XR_API XRMemSize skStrLen(const char* s);
XR_API XRStrSize skStrTLen(const XRChar* s);
/* Copies src with its terminator into dst. A null dst does nothing; a null src writes
 * one terminator into dst. */
XR_API void skStrCpy(const int8_t* src, int8_t* dst);
XR_API void skStrTCpy(const XRChar* src, XRChar* dst);
/* In place over exactly len bytes, NULs included: only a..z (skStrUp) or A..Z
 * (skStrLow) change. */
XR_API void skStrUp(int8_t* src, XRMemSize len);
XR_API void skStrLow(int8_t* src, XRMemSize len);

/* TRUE when every one of the len units equals c, and for an empty buffer. */
XR_API XRBoolean skMemNot(int8_t c, const void* buff, XRMemSize len);
XR_API XRBoolean skMemTNot(XRChar c, const XRChar* buff, XRStrSize len);

/* Fills len bytes with the low 8 bits of c / len units with c. */
XR_API void skMemSet(void* buff, int32_t c, XRMemSize len);
XR_API void skMemTSet(XRChar* buff, XRChar c, XRStrSize len);

/* Exactly -1, 0 or 1, decided by the first differing byte (unsigned) or unit. For units
 * the sign of the 32-bit wrap-around difference src[i] - dst[i] decides; len counts units. */
XR_API int32_t skMemCmp(const void* src, const void* dst, XRMemSize len);
XR_API int32_t skWMemCmp(const XRChar* src, const XRChar* dst, XRMemSize len);

/* Forward byte-by-byte copy; dst must not start inside src. */
XR_API void skMemCpy(const void* src, void* dst, XRMemSize len);
/* Copy whose result equals a copy through a temporary buffer, for every overlap. */
XR_API void skMemSCpy(const void* src, void* dst, XRMemSize len);
/* A copy of len bytes of src in a block from pool (memAlloc(pool, len, 0)); null when
 * pool or src is null (the pool is then not called) or the pool refuses. */
XR_API XRMemPtr skMemDup(XRConstMemPtr src, XRMemSize len, XRPoolh pool);

/* Index of the first byte equal to (skMemScan) or different from (skMemNScan) ch; the
 * all-ones value for a null src, a zero len or no such byte. */
XR_API XRMemSize skMemScan(const void* src, XRMemSize len, int8_t ch);
XR_API XRMemSize skMemNScan(const void* src, XRMemSize len, int8_t ch);
/* Index of the first unit different from ch; -1 for a null src, len below 1 or none. */
XR_API XRStrSize skMemTNScan(const XRChar* src, XRStrSize len, XRChar ch);

/* TRUE when one of the len doubles is a NaN (any sign, payload, quiet or signalling). */
XR_API XRBoolean skMissArray(double* dp, XRMemSize len);

XR_EXTERN_C_END

#endif
