/* xrkit: memory dumps as 16-byte catalog lines.
 *
 * A line of n bytes (1..16) at address A is one catalog message with the code
 * base + n - 1 and the arguments: [prefix (XRChar*)] [owner (XRMemPtr)] A (XRMemPtr),
 * n byte values (int, 0..255), n renderings (int: the byte if 0x20..0x7E, else '.').
 * The layout, and so the base, follows from which of prefix and owner are non-null:
 * both XRDumpCodePrefixOwner, prefix only XRDumpCodePrefix, owner only XRDumpCodeOwner,
 * neither XRDumpCodeNeither. */
#ifndef XR_XRDUMP_H
#define XR_XRDUMP_H

#include "xr/xrtypes.h"

XR_EXTERN_C_BEGIN

/* Lines in ascending address order, severity XRSeverityNone. The first failing line
 * ends the dump and its status is returned; 0 when every line was written. */
XR_API XRStatus dumpBuffer(XRJnlh jnl, XRChar* prefix, XRMemPtr owner, XRMemPtr addr,
                           XRMemSize addrL);

/* The same lines in descending address order: the partial line (if any) first, then
 * the full lines from the highest down. A failing full line ends the dump; the
 * partial line's status is the result only when there is no full line. */
XR_API XRStatus dumpBufferReversed(XRJnlh jnl, XRChar* prefix, XRMemPtr owner, XRMemPtr addr,
                                   XRMemSize addrL);

/* The same lines to a logger, each captured with LoggerCapture (the line's code and
 * arguments) and raised with the logger's LogEvent at level, when the logger is enabled
 * for level: its `level` if set (level >= it), else its `ancestorlevel` if set, else
 * its IsEnabled service; asked afresh before every line. A disabled line reads none of
 * the dumped bytes. A line whose capture is null raises nothing. Always returns 0.
 * Each event carries: logger, level, 0, null, null, the raising statement's source
 * line (decimal text, one per line size) and file ("xrdumpbuf.cpp"), U_L_UCS4_CE,
 * null rendered message, the captured message (handed over, not released). */
XR_API XRStatus dumpBufferLogger(Loggerp logger, LoggerLevel level, XRChar* prefix, XRMemPtr owner,
                                 XRMemPtr addr, XRMemSize addrL);

/* Every line, raised at LL_Uninitialized, whatever the logger's levels. Returns 0. */
XR_API XRStatus dumpBufferLoggerForce(Loggerp logger, XRChar* prefix, XRMemPtr owner, XRMemPtr addr,
                                      XRMemSize addrL);

XR_EXTERN_C_END

#endif
