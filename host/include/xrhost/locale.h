// The reference host's locales: the UTF-8 number and date entries of XRNLS_LOCALE_S
// on ICU (unum, udat, ucal), for an ICU locale name such as "en_US" or "de_DE".
//
// Numbers. Width w is the minimum field width in characters: shorter results are
// padded with blanks on the left (w <= 0: no padding). Precision p is the number of
// fraction digits shown (p < 0: none for integers, ICU's default of up to 3 for
// doubles). Option bits: XRHOST_NUM_NO_GROUPING (0x1) leaves out grouping separators.
// Any other bit gives XRStatusUnsupported.
//
// Dates and times use the Gregorian calendar in GMT. A date is month (1-12), day and
// year; a date-time is seconds since 1970-01-01 00:00:00 GMT, the host's date-time
// scale (host.h); a time is formatted as the time of day of such a value, and a parsed
// time is that time of day on 1970-01-01. Option bits 0-1 choose ICU's style: 0
// medium (four-digit years), 1 short, 2 long, 3 full; any other bit gives
// XRStatusUnsupported. Parsing is strict: it accepts what formatting with the same
// style produces.
//
// Output. When the text fits it is written to the buffer and *cvtL holds its length
// in bytes; otherwise the status is XRStatusBufferTooSmall, the buffer is untouched
// and *cvtL holds the length needed.
//
// Parsing reads from the start of the text (leading blanks are skipped) and stops
// where the number or date ends; *cvtL / *usedL receive the bytes consumed. No number
// or date there: kStatusNotANumber / kStatusBadDate, the result untouched, *cvtL 0. A
// number outside the result's type: kStatusOutOfRange, the result untouched. A date
// that does not exist (month 13, February 30): kStatusBadDate. Ill-formed UTF-8:
// XRStatusIllegalSequence.
#pragma once

#include <string>

#include "xr/xrhost.h"

#define XRHOST_NUM_NO_GROUPING 0x1u

namespace xrhost {

inline constexpr XRStatus kStatusNotANumber = static_cast<XRStatus>(0x807FC301u);
inline constexpr XRStatus kStatusOutOfRange = static_cast<XRStatus>(0x807FC302u);
inline constexpr XRStatus kStatusBadDate = static_cast<XRStatus>(0x807FC303u);

class Nls;

class Locale {
  public:
    // A locale of nls for the ICU locale name (empty: ICU's default locale).
    Locale(Nls& nls, std::string name);
    Locale(const Locale&) = delete;
    Locale& operator=(const Locale&) = delete;

    XRLocaleh handle() { return &rec_; }
    static Locale* from(XRLocaleh l) { return reinterpret_cast<Locale*>(l); }
    const std::string& name() const { return name_; }

  private:
    XRNLS_LOCALE_S rec_; // first member: the handle is the object's address
    std::string name_;
};

} // namespace xrhost
