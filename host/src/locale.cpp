#include "xrhost/locale.h"

#include <unicode/ucal.h>
#include <unicode/udat.h>
#include <unicode/unum.h>
#include <unicode/ustring.h>
#include <unicode/utf8.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "xrhost/nls.h"

namespace xrhost {
namespace {

using U16 = std::vector<UChar>;
constexpr XRFlags kStyleBits = 0x3;

const char* icuName(XRLocaleh l) {
    const std::string& n = Locale::from(l)->name();
    return n.empty() ? nullptr : n.c_str();
}

// UTF-8 to UTF-16, with the UTF-8 offset of every UTF-16 index (and of the end).
bool decode(UTF8ConstStr s, UTF8ByteLength n, U16& text, std::vector<std::size_t>& at) {
    if (n > INT32_MAX || (!s && n)) return false;
    for (int32_t i = 0, len = static_cast<int32_t>(n); i < len;) {
        const int32_t start = i;
        UChar32 c;
        U8_NEXT(s, i, len, c);
        if (c < 0) return false;
        if (c > 0xFFFF) {
            text.push_back(U16_LEAD(c));
            at.push_back(static_cast<std::size_t>(start));
            c = U16_TRAIL(c);
        }
        text.push_back(static_cast<UChar>(c));
        at.push_back(static_cast<std::size_t>(start));
    }
    at.push_back(n);
    return true;
}

// Runs an ICU call that fills a UChar buffer, growing the buffer once if needed.
template <class F> bool produce(U16& out, F&& fill) {
    out.resize(64);
    UErrorCode err = U_ZERO_ERROR;
    int32_t n = fill(out.data(), static_cast<int32_t>(out.size()), err);
    if (err == U_BUFFER_OVERFLOW_ERROR) {
        out.resize(static_cast<std::size_t>(n));
        err = U_ZERO_ERROR;
        n = fill(out.data(), n, err);
    }
    out.resize(U_SUCCESS(err) ? static_cast<std::size_t>(n) : 0);
    return U_SUCCESS(err);
}

XRStatus deliver(const U16& text, UTF8Str s, UTF8ByteLength sL, UTF8ByteLength* cvtL) {
    std::string utf8;
    for (int32_t i = 0, n = static_cast<int32_t>(text.size()); i < n;) {
        UChar32 c;
        U16_NEXT(text.data(), i, n, c);
        char b[4];
        int32_t k = 0;
        U8_APPEND_UNSAFE(b, k, c);
        utf8.append(b, static_cast<std::size_t>(k));
    }
    if (cvtL) *cvtL = utf8.size();
    if (utf8.size() > sL) return XRStatusBufferTooSmall;
    if (!utf8.empty()) std::memcpy(s, utf8.data(), utf8.size());
    return 0;
}

// The three ICU handle types are one C type, so each gets its own deleter.
template <class T, auto Close> struct Closer {
    void operator()(T* p) const { Close(p); }
};
using OwnedNumber = std::unique_ptr<UNumberFormat, Closer<UNumberFormat, &unum_close>>;
using OwnedDate = std::unique_ptr<UDateFormat, Closer<UDateFormat, &udat_close>>;
using OwnedCalendar = std::unique_ptr<UCalendar, Closer<UCalendar, &ucal_close>>;

OwnedNumber openNumber(XRLocaleh l, int32_t w, int32_t p, XRFlags opt, bool integer) {
    UErrorCode err = U_ZERO_ERROR;
    OwnedNumber f(unum_open(UNUM_DECIMAL, nullptr, 0, icuName(l), nullptr, &err));
    if (U_FAILURE(err)) return nullptr;
    if (opt & XRHOST_NUM_NO_GROUPING) unum_setAttribute(f.get(), UNUM_GROUPING_USED, 0);
    if (p >= 0) {
        unum_setAttribute(f.get(), UNUM_MIN_FRACTION_DIGITS, p);
        unum_setAttribute(f.get(), UNUM_MAX_FRACTION_DIGITS, p);
    } else if (integer) {
        unum_setAttribute(f.get(), UNUM_MAX_FRACTION_DIGITS, 0);
    }
    if (w > 0) {
        static const UChar blank[] = {' '};
        unum_setAttribute(f.get(), UNUM_FORMAT_WIDTH, w);
        unum_setTextAttribute(f.get(), UNUM_PADDING_CHARACTER, blank, 1, &err);
        unum_setAttribute(f.get(), UNUM_PADDING_POSITION, UNUM_PAD_BEFORE_PREFIX);
    }
    return U_SUCCESS(err) ? std::move(f) : nullptr;
}

template <class T>
XRStatus formatNumber(XRLocaleh l, T v, int32_t w, int32_t p, XRFlags opt, UTF8Str s,
                      UTF8ByteLength sL, UTF8ByteLength* cvtL) {
    if (opt & ~XRHOST_NUM_NO_GROUPING) return XRStatusUnsupported;
    auto f = openNumber(l, w, p, opt, std::is_integral_v<T>);
    if (!f) return XRStatusUnsupported;
    U16 text;
    const bool ok = produce(text, [&](UChar* buf, int32_t cap, UErrorCode& err) {
        if constexpr (std::is_floating_point_v<T>) {
            return unum_formatDouble(f.get(), v, buf, cap, nullptr, &err);
        } else if constexpr (std::is_unsigned_v<T> && sizeof(T) == 8) {
            const std::string digits = std::to_string(v);
            return unum_formatDecimal(f.get(), digits.c_str(), -1, buf, cap, nullptr, &err);
        } else {
            return unum_formatInt64(f.get(), static_cast<int64_t>(v), buf, cap, nullptr, &err);
        }
    });
    return ok ? deliver(text, s, sL, cvtL) : XRStatusUnsupported;
}

// Leading blanks count as consumed.
int32_t skipBlanks(const U16& text) {
    int32_t i = 0;
    while (i < static_cast<int32_t>(text.size()) && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    return i;
}

// The integer value of ICU's decimal text ("-12", "1.5E+3"), truncated; false if it
// needs more than 20 digits.
bool decimalValue(const char* dec, bool& negative, unsigned __int128& value) {
    negative = *dec == '-';
    if (*dec == '-' || *dec == '+') ++dec;
    int digits = 0, exponent = 0;
    char kept[64];
    bool fraction = false;
    for (; *dec && *dec != 'E' && *dec != 'e'; ++dec) {
        if (*dec == '.') {
            fraction = true;
            continue;
        }
        if (digits == 0 && *dec == '0' && !fraction) continue;
        if (digits == static_cast<int>(sizeof kept)) return false;
        kept[digits++] = *dec;
        if (fraction) --exponent;
    }
    if (*dec) exponent += std::atoi(dec + 1);
    const int whole = digits + exponent; // digits before the decimal point
    if (whole > 20) return false;
    value = 0;
    for (int i = 0; i < whole; ++i)
        value = value * 10 + static_cast<unsigned>(i < digits ? kept[i] - '0' : 0);
    return true;
}

template <class T> bool fits(bool negative, unsigned __int128 v, T& out) {
    using Lim = std::numeric_limits<T>;
    if (negative) {
        if (!Lim::is_signed) return v == 0 && (out = 0, true);
        if (v > static_cast<unsigned __int128>(Lim::max()) + 1) return false;
        out = static_cast<T>(-static_cast<__int128>(v));
        return true;
    }
    if (v > static_cast<unsigned __int128>(Lim::max())) return false;
    out = static_cast<T>(v);
    return true;
}

template <class T>
XRStatus parseNumber(XRLocaleh l, UTF8ConstStr b, UTF8ByteLength bL, XRFlags o, T* out,
                     UTF8ByteLength* cvtL) {
    if (o & ~XRHOST_NUM_NO_GROUPING) return XRStatusUnsupported;
    U16 text;
    std::vector<std::size_t> at;
    if (!decode(b, bL, text, at)) return XRStatusIllegalSequence;
    auto f = openNumber(l, 0, -1, o, std::is_integral_v<T>);
    if (!f) return XRStatusUnsupported;
    const int32_t start = skipBlanks(text);
    int32_t pos = start;
    UErrorCode err = U_ZERO_ERROR;
    T value{};
    bool inRange = true;
    if constexpr (std::is_floating_point_v<T>) {
        value =
            unum_parseDouble(f.get(), text.data(), static_cast<int32_t>(text.size()), &pos, &err);
    } else {
        unum_setAttribute(f.get(), UNUM_PARSE_INT_ONLY, 1);
        char dec[96];
        unum_parseDecimal(f.get(), text.data(), static_cast<int32_t>(text.size()), &pos, dec,
                          sizeof dec, &err);
        bool negative = false;
        unsigned __int128 v = 0;
        inRange = U_SUCCESS(err) && decimalValue(dec, negative, v) && fits(negative, v, value);
    }
    if (U_FAILURE(err) || pos <= start) {
        if (cvtL) *cvtL = 0;
        return kStatusNotANumber;
    }
    if (cvtL) *cvtL = at[static_cast<std::size_t>(pos)];
    if (!inRange) return kStatusOutOfRange;
    *out = value;
    return 0;
}

UDateFormatStyle styleOf(XRFlags options) {
    static constexpr UDateFormatStyle kStyles[] = {UDAT_MEDIUM, UDAT_SHORT, UDAT_LONG, UDAT_FULL};
    return kStyles[options & kStyleBits];
}

const UChar kGmt[] = {'G', 'M', 'T', 0};

OwnedDate openDate(XRLocaleh l, UDateFormatStyle time, UDateFormatStyle date) {
    UErrorCode err = U_ZERO_ERROR;
    OwnedDate f(udat_open(time, date, icuName(l), kGmt, -1, nullptr, 0, &err));
    if (U_FAILURE(err)) return nullptr;
    udat_setLenient(f.get(), false);
    return f;
}

OwnedCalendar gmtCalendar(XRLocaleh l) {
    UErrorCode err = U_ZERO_ERROR;
    OwnedCalendar c(ucal_open(kGmt, -1, icuName(l), UCAL_GREGORIAN, &err));
    if (U_FAILURE(err)) return nullptr;
    ucal_setAttribute(c.get(), UCAL_LENIENT, 0);
    return c;
}

XRStatus formatDate(XRLocaleh l, UDateFormatStyle time, UDateFormatStyle date, UDate when,
                    UTF8Str s, UTF8ByteLength sL, UTF8ByteLength* cnvL) {
    auto f = openDate(l, time, date);
    if (!f) return XRStatusUnsupported;
    U16 text;
    const bool ok = produce(text, [&](UChar* buf, int32_t cap, UErrorCode& err) {
        return udat_format(f.get(), when, buf, cap, nullptr, &err);
    });
    return ok ? deliver(text, s, sL, cnvL) : kStatusBadDate;
}

// Parses a date, a date-time or a time; the instant in milliseconds.
XRStatus parseDate(XRLocaleh l, UDateFormatStyle time, UDateFormatStyle date, UTF8ConstStr src,
                   UTF8ByteLength srcL, UDate& when, UTF8ByteLength* usedL) {
    U16 text;
    std::vector<std::size_t> at;
    if (!decode(src, srcL, text, at)) return XRStatusIllegalSequence;
    auto f = openDate(l, time, date);
    if (!f) return XRStatusUnsupported;
    const int32_t start = skipBlanks(text);
    int32_t pos = start;
    UErrorCode err = U_ZERO_ERROR;
    when = udat_parse(f.get(), text.data(), static_cast<int32_t>(text.size()), &pos, &err);
    if (U_FAILURE(err) || pos <= start) {
        if (usedL) *usedL = 0;
        return kStatusBadDate;
    }
    if (usedL) *usedL = at[static_cast<std::size_t>(pos)];
    return 0;
}

XRStatus dateFormatU(XRLocaleh l, uint32_t month, uint32_t day, uint32_t year, XRFlags options,
                     UTF8Str s, UTF8ByteLength sL, UTF8ByteLength* cnvL) {
    if (options & ~kStyleBits) return XRStatusUnsupported;
    if (month < 1 || month > 12 || day < 1 || day > 31 || year > 999999) return kStatusBadDate;
    auto cal = gmtCalendar(l);
    if (!cal) return XRStatusUnsupported;
    UErrorCode err = U_ZERO_ERROR;
    ucal_clear(cal.get());
    ucal_setDate(cal.get(), static_cast<int32_t>(year), static_cast<int32_t>(month - 1),
                 static_cast<int32_t>(day), &err);
    const UDate when = ucal_getMillis(cal.get(), &err);
    if (U_FAILURE(err)) return kStatusBadDate;
    return formatDate(l, UDAT_NONE, styleOf(options), when, s, sL, cnvL);
}

XRStatus instantFormat(XRLocaleh l, double value, XRFlags options, bool withDate, UTF8Str s,
                       UTF8ByteLength sL, UTF8ByteLength* cnvL) {
    if (options & ~kStyleBits) return XRStatusUnsupported;
    if (!std::isfinite(value)) return kStatusBadDate;
    const UDateFormatStyle style = styleOf(options);
    return formatDate(l, style, withDate ? style : UDAT_NONE, value * 1000.0, s, sL, cnvL);
}

XRStatus datetimeFormatU(XRLocaleh l, double value, XRFlags options, UTF8Str s, UTF8ByteLength sL,
                         UTF8ByteLength* cnvL) {
    return instantFormat(l, value, options, true, s, sL, cnvL);
}

XRStatus timeFormatU(XRLocaleh l, double value, XRFlags options, UTF8Str s, UTF8ByteLength sL,
                     UTF8ByteLength* cnvL) {
    return instantFormat(l, value, options, false, s, sL, cnvL);
}

XRStatus instantParse(XRLocaleh l, const UTF8Str src, UTF8ByteLength srcL, XRFlags options,
                      bool withDate, double* value, UTF8ByteLength* usedL) {
    if (options & ~kStyleBits) return XRStatusUnsupported;
    const UDateFormatStyle style = styleOf(options);
    UDate when = 0;
    XRStatus rc = parseDate(l, style, withDate ? style : UDAT_NONE, src, srcL, when, usedL);
    if (rc == 0) *value = when / 1000.0;
    return rc;
}

XRStatus bufToDatetimeU(XRLocaleh l, const UTF8Str src, UTF8ByteLength srcL, XRFlags options,
                        double* value, UTF8ByteLength* usedL) {
    return instantParse(l, src, srcL, options, true, value, usedL);
}

XRStatus bufToTimeU(XRLocaleh l, const UTF8Str src, UTF8ByteLength srcL, XRFlags options,
                    double* value, UTF8ByteLength* usedL) {
    return instantParse(l, src, srcL, options, false, value, usedL);
}

XRStatus bufToDateU(XRLocaleh l, const UTF8Str src, UTF8ByteLength srcL, XRFlags options,
                    uint32_t* month, uint32_t* day, uint32_t* year, UTF8ByteLength* usedL) {
    if (options & ~kStyleBits) return XRStatusUnsupported;
    UDate when = 0;
    if (XRStatus rc = parseDate(l, UDAT_NONE, styleOf(options), src, srcL, when, usedL)) return rc;
    auto cal = gmtCalendar(l);
    if (!cal) return XRStatusUnsupported;
    UErrorCode err = U_ZERO_ERROR;
    ucal_setMillis(cal.get(), when, &err);
    const int32_t y = ucal_get(cal.get(), UCAL_EXTENDED_YEAR, &err);
    const int32_t m = ucal_get(cal.get(), UCAL_MONTH, &err);
    const int32_t d = ucal_get(cal.get(), UCAL_DATE, &err);
    if (U_FAILURE(err) || y < 0) return kStatusBadDate;
    *month = static_cast<uint32_t>(m + 1);
    *day = static_cast<uint32_t>(d);
    *year = static_cast<uint32_t>(y);
    return 0;
}

XRStatus doubleFormat(XRLocaleh l, double v, int32_t w, int32_t p, XRFlags opt, UTF8Str s,
                      UTF8ByteLength sL, UTF8ByteLength* cvtL, const void*) {
    return formatNumber(l, v, w, p, opt, s, sL, cvtL);
}

XRStatus doubleParse(XRLocaleh l, UTF8Str s, UTF8ByteLength sL, double* v, UTF8ByteLength* cvtL,
                     void*) {
    return parseNumber(l, s, sL, 0, v, cvtL);
}

} // namespace

Locale::Locale(Nls& nls, std::string name)
    : rec_{{1, "xrhost.locale", nullptr},
           nls.handle(),
           &doubleFormat,
           &formatNumber<intfast_t>,
           &formatNumber<intmax_t>,
           &formatNumber<uintfast_t>,
           &formatNumber<uintmax_t>,
           &formatNumber<long>,
           &formatNumber<unsigned long>,
           &formatNumber<int>,
           &formatNumber<unsigned int>,
           &parseNumber<intfast_t>,
           &parseNumber<intmax_t>,
           &parseNumber<uintfast_t>,
           &parseNumber<uintmax_t>,
           &parseNumber<long>,
           &parseNumber<unsigned long>,
           &parseNumber<int>,
           &parseNumber<unsigned int>,
           &doubleParse,
           &dateFormatU,
           &datetimeFormatU,
           &timeFormatU,
           &bufToDatetimeU,
           &bufToDateU,
           &bufToTimeU},
      name_(std::move(name)) {}

} // namespace xrhost
