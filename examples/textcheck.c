/* textcheck: the extension, in C, on the library's UTF-8 checks, its formatter and
 * journal forwarders and its dumps. */
#include "textcheck.h"

/* The host's strings are XRChar text; the extension's own are ASCII. Returns the length;
 * out is NUL-terminated as well. */
static XRStrSize widen(const char* ascii, XRChar* out, size_t room) {
    size_t i = 0;
    for (; ascii[i] != '\0' && i + 1 < room; ++i)
        out[i] = (XRChar)(unsigned char)ascii[i];
    out[i] = 0;
    return (XRStrSize)i;
}

/* The status of the first ill-formed or cut character, 0 when there is none; *at is its
 * offset (or len), *chars the number of characters before it. */
static XRStatus firstFailure(const uint8_t* text, uint64_t len, uint64_t* at, uint64_t* chars) {
    uint64_t pos = 0, count = 0;
    XRStatus rc = 0;
    while (pos < len) {
        /* The library's functions take non-const pointers but only read. */
        UTF8Char p = (UTF8Char)(text + pos);
        const uint64_t announced = (uint64_t)utf8_len(p);
        XRMemSize checked = 0;
        if (announced > len - pos) {
            rc = XRStatusTruncatedSequence;
            break;
        }
        if (!isLegalUTF8(p, announced, &checked)) {
            rc = XRStatusIllegalSequence;
            break;
        }
        pos += announced;
        ++count;
    }
    *at = pos;
    *chars = count;
    return rc;
}

uint64_t textcheck_scan(const uint8_t* text, uint64_t len, uint64_t* chars) {
    uint64_t at = 0, count = 0;
    firstFailure(text, len, &at, &count);
    if (chars) *chars = count;
    return at;
}

XRStatus textcheck_describe(const uint8_t* text, uint64_t len, XRChar* dest, XRStrSize destL,
                            XRStrSize* cnvL) {
    XRChar fmt[64];
    uint64_t at = 0, chars = 0;
    const int bad = firstFailure(text, len, &at, &chars) != 0;
    const XRStrSize fmtL =
        widen(bad ? "%llu characters, then an ill-formed sequence at byte %llu" : "%llu characters",
              fmt, sizeof fmt / sizeof fmt[0]);
    /* No locale: the formatter of the host that attached the library. */
    return xrzFormatBuff(NULL, fmt, fmtL, dest, destL, cnvL, (unsigned long long)chars,
                         (unsigned long long)at);
}

XRStatus textcheck_report(XRJnlh jnl, const char* name, const uint8_t* text, uint64_t len) {
    uint64_t at = 0, chars = 0;
    XRStatus rc = firstFailure(text, len, &at, &chars);
    XRStatus written;
    XRChar prefix[64];
    const uint64_t line = at - at % 16;
    if (rc == 0) return 0;
    written = xrlStatusToJnl(jnl, XRSeverityError, rc);
    if (written != 0) return written;
    widen(name, prefix, sizeof prefix / sizeof prefix[0]);
    written =
        dumpBuffer(jnl, prefix, NULL, (XRMemPtr)(text + line), len - line < 16 ? len - line : 16);
    return written != 0 ? written : rc;
}
