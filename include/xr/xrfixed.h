/* xrkit: helpers for blank-padded fixed-width byte fields.
 *
 * A field is a byte array of a given width, not NUL-terminated, padded on the right with
 * blanks (0x20). Widths and lengths are int; a width below 1 is an empty field. Letters are
 * the 52 ASCII letters only. Where a byte is compared with an int argument (vzstnot,
 * allsame, TOUPPER, ISALPHA) its value 0..255 is compared with the whole int, so an
 * argument outside 0..255 equals no byte.
 *
 * Outside the checked range: vzclchr with a width below 1 writes nothing and returns 1;
 * negative lengths are empty for every helper except allsame (0), and vzstndx returns 0
 * for a token length below 1 when l1 is at least that length. */
#ifndef XR_XRFIXED_H
#define XR_XRFIXED_H

#include "xr/xrtypes.h"

XR_EXTERN_C_BEGIN

/* Copies l bytes from p1 to p2, first to last. */
XR_API void vzmi(char* p1, char* p2, int l);
/* Fills l bytes of p1 with the low 8 bits of ch. */
XR_API void vzbfci(int ch, char* p1, int l);
/* Moves the text p1 (l1 bytes) into the field p2 (width l2): blank-padded when it is
 * shorter, cut to l2 bytes when longer. vzstmv2 is the same operation. */
XR_API void vzstmov(char* p1, int l1, char* p2, int l2);
XR_API void vzstmv2(char* p1, int l1, char* p2, int l2);
/* Index of the leftmost occurrence of the l2 bytes of p2 in the l1 bytes of p1, or -1;
 * -1 when l1 < l2; 0 when l2 is 0. */
XR_API int vzstndx(char* p1, int l1, char* p2, int l2);
/* Index of the first byte equal to the low 8 bits of s, or -1. */
XR_API int wzstpos(char* p1, int l1, int s);
/* Index of the first byte different from c, or -1 when all l bytes equal c or l is 0. */
XR_API int vzstnot(char* p, int l, int c);
/* 1 when all l bytes equal c (also for l 0), else 0 (also for a negative l). */
XR_API int allsame(int c, char* p, int l);
/* Upper-cases the ASCII letters among l bytes in place. UQ is the same operation. */
XR_API void wzstrup(char* p, int l);
XR_API void UQ(char* p, int l);
/* The upper-case letter of a lower-case ASCII letter; any other c unchanged. */
XR_API int TOUPPER(int c);
/* 1 when c is an ASCII letter, else 0. */
XR_API int ISALPHA(int c);
/* Writes lnumber in decimal, right-justified and blank-padded, into the field s of width
 * len: 0 when it fits; 1 when it does not, the field then all "*". */
XR_API int vzclchr(long lnumber, char* s, int len);
/* Reads a decimal integer from the field p of width w: leading blanks skipped, a minus
 * sign taken only when s is not 0, then the longest run of digits; anything after is
 * ignored. *ncp is set to 0, then to the sign and digits read. Returns 0 with the value in
 * *lp (a lone sign reads as 0), or 1 when the field holds no number (*lp untouched). The
 * value is not checked for overflow. */
XR_API int wzrlchr(unsigned char* p, int w, int s, int* ncp, long* lp);

XR_EXTERN_C_END

#endif
