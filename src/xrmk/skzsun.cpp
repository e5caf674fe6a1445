// Case-blind equality and collation of XRChar strings, and the case-class min/max
// mappings. These use the built-in tables only, so their results never depend on
// the host.
#include "internal/skztbl.h"
#include "xr/xrcase.h"
#include "xr/xrmem.h"

namespace {

using namespace xrkit::casetab;

constexpr XRChar kBlank = 0x20;

template <XRChar (*Map)(XRChar)> void mapAll(XRChar* s, XRStrSize n) {
    for (XRStrSize i = 0; i < n; ++i)
        s[i] = Map(s[i]);
}

// The sign of a difference in the tail beyond the shorter string: blanks only
// leave the case tie-break standing.
int32_t compareTail(const XRChar* tail, XRStrSize n, int32_t cmprc, int32_t longer) {
    return skMemTNot(kBlank, tail, n) ? cmprc : longer;
}

} // namespace

extern "C" {

XRBoolean xrzseqn(const XRChar* s1, XRStrSize len1, const XRChar* s2, XRStrSize len2) {
    if (len1 != len2) return XR_FALSE;
    for (XRStrSize i = 0; i < len1; ++i)
        if (s1[i] != s2[i] && tableLower(s1[i]) != tableLower(s2[i])) return XR_FALSE;
    return XR_TRUE;
}

// Negative lengths count as empty strings.
int32_t xrzsncmp(const XRChar* s1, XRStrSize len1, const XRChar* s2, XRStrSize len2) {
    if (len1 < 0) len1 = 0;
    if (len2 < 0) len2 = 0;
    XRStrSize n = len1 < len2 ? len1 : len2;
    int32_t cmprc = 0;
    for (XRStrSize i = 0; i < n; ++i) {
        if (s1[i] == s2[i]) continue;
        if (cmprc == 0) cmprc = s1[i] < s2[i] ? -1 : 1;
        XRChar a = tableLower(s1[i]), b = tableLower(s2[i]);
        if (a < b) return -2;
        if (a > b) return 2;
    }
    if (len1 == len2) return cmprc;
    if (len2 > len1) return compareTail(s2 + n, len2 - n, cmprc, -2);
    return compareTail(s1 + n, len1 - n, cmprc, 2);
}

void xrzstmin(XRChar* string, XRStrSize slen) {
    mapAll<classMin>(string, slen);
}

void xrzstmax(XRChar* string, XRStrSize slen) {
    mapAll<classMax>(string, slen);
}

} // extern "C"
