/* textcheck: an example extension. It checks that a record is well-formed UTF-8 and
 * tells the host where it is not. */
#ifndef TEXTCHECK_H
#define TEXTCHECK_H

#include <xr/xrkit.h>

#ifdef __cplusplus
extern "C" {
#endif

/* The offset of the first ill-formed sequence of text, or len when there is none.
 * *chars, when chars is not null, receives the number of characters before it. */
uint64_t textcheck_scan(const uint8_t* text, uint64_t len, uint64_t* chars);

/* Describes text in dest through the host's formatter, as "N characters" or
 * "N characters, then an ill-formed sequence at byte K". The host must have attached
 * the library first. Returns the formatter's status. */
XRStatus textcheck_describe(const uint8_t* text, uint64_t len, XRChar* dest, XRStrSize destL,
                            XRStrSize* cnvL);

/* Reports an ill-formed text to jnl: the status message of its first bad sequence as an
 * error, then the dump line that holds the bad byte, headed by name. A well-formed text
 * writes nothing and gives 0; otherwise the result is the sequence's status, or the
 * journal's own when it fails. */
XRStatus textcheck_report(XRJnlh jnl, const char* name, const uint8_t* text, uint64_t len);

#ifdef __cplusplus
}
#endif

#endif
