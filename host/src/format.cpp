#include "xrhost/format.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

namespace xrhost {
namespace {

struct Spec {
    std::string flags;
    int width = -1;
    int precision = -1;
    std::string length;
    char conv = 0;
    bool has(char f) const { return flags.find(f) != std::string::npos; }
};

void appendAscii(XRText& out, const char* s, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i)
        out.push_back(static_cast<unsigned char>(s[i]));
}

void pad(XRText& out, std::size_t have, const Spec& spec, XRChar fill = ' ') {
    for (std::size_t i = have; spec.width > 0 && i < static_cast<std::size_t>(spec.width); ++i)
        out.push_back(fill);
}

void appendPadded(XRText& out, const XRChar* s, std::size_t n, const Spec& spec) {
    if (!spec.has('-')) pad(out, n, spec);
    out.insert(out.end(), s, s + n);
    if (spec.has('-')) pad(out, n, spec);
}

// Formats one numeric argument through the C library with the same directive.
template <class T> void appendPrintf(XRText& out, const Spec& spec, const char* length, T value) {
    char f[64];
    int k = std::snprintf(f, sizeof f, "%%%s", spec.flags.c_str());
    if (spec.width >= 0) k += std::snprintf(f + k, sizeof f - k, "%d", spec.width);
    if (spec.precision >= 0) k += std::snprintf(f + k, sizeof f - k, ".%d", spec.precision);
    std::snprintf(f + k, sizeof f - k, "%s%c", length, spec.conv);
    char small[128];
    int n = std::snprintf(small, sizeof small, f, value);
    if (n < 0) return;
    if (static_cast<std::size_t>(n) < sizeof small) {
        appendAscii(out, small, static_cast<std::size_t>(n));
        return;
    }
    std::string big(static_cast<std::size_t>(n) + 1, '\0');
    std::snprintf(big.data(), big.size(), f, value);
    appendAscii(out, big.data(), static_cast<std::size_t>(n));
}

void appendSigned(XRText& out, const Spec& spec, ArgSource& args) {
    const std::string& l = spec.length;
    long long v;
    if (l == "l" || l == "ll" || l == "j" || l == "z" || l == "t")
        v = args.nextIntmax();
    else
        v = args.nextInt();
    if (l == "hh") v = static_cast<signed char>(v);
    if (l == "h") v = static_cast<short>(v);
    appendPrintf(out, spec, "ll", v);
}

void appendUnsigned(XRText& out, const Spec& spec, ArgSource& args) {
    const std::string& l = spec.length;
    unsigned long long v;
    if (l == "l" || l == "ll" || l == "j" || l == "z" || l == "t")
        v = static_cast<unsigned long long>(args.nextIntmax());
    else
        v = static_cast<unsigned int>(args.nextInt());
    if (l == "hh") v = static_cast<unsigned char>(v);
    if (l == "h") v = static_cast<unsigned short>(v);
    appendPrintf(out, spec, "ll", v);
}

void appendPointer(XRText& out, Spec spec, ArgSource& args) {
    auto v = reinterpret_cast<std::uintptr_t>(args.nextPointer());
    spec.conv = 'x';
    spec.length.clear();
    appendPrintf(out, spec, "l", static_cast<unsigned long>(v));
}

void appendString(XRText& out, const Spec& spec, ArgSource& args) {
    if (spec.length == "h") {
        const char* s = args.nextCharString();
        XRText t = fromUtf8(s ? s : "(null)");
        std::size_t n = t.size();
        if (spec.precision >= 0 && n > static_cast<std::size_t>(spec.precision))
            n = static_cast<std::size_t>(spec.precision);
        appendPadded(out, t.data(), n, spec);
        return;
    }
    const XRChar* s = args.nextXRString();
    if (!s) {
        XRText t = fromUtf8("(null)");
        appendPadded(out, t.data(), t.size(), spec);
        return;
    }
    std::size_t n = 0;
    while (s[n] && (spec.precision < 0 || n < static_cast<std::size_t>(spec.precision)))
        ++n;
    appendPadded(out, s, n, spec);
}

// Parses the directive after '%' at fmt[i]; returns false when it is incomplete.
bool parse(const XRChar* fmt, std::size_t fmtL, std::size_t& i, Spec& spec, ArgSource& args) {
    auto peek = [&] { return i < fmtL ? fmt[i] : XRChar(0); };
    while (i < fmtL && std::strchr("-0+ #", static_cast<int>(peek())) && peek())
        spec.flags += static_cast<char>(fmt[i++]);
    auto number = [&](int& into) {
        if (peek() == '*') {
            ++i;
            into = args.nextInt();
            return;
        }
        if (peek() < '0' || peek() > '9') return;
        into = 0;
        while (peek() >= '0' && peek() <= '9' && into < 100000)
            into = into * 10 + (fmt[i++] - '0');
    };
    number(spec.width);
    if (spec.width < 0 && spec.width != -1) {
        spec.flags += '-';
        spec.width = -spec.width;
    }
    if (peek() == '.') {
        ++i;
        spec.precision = 0;
        number(spec.precision);
    }
    while (i < fmtL && std::strchr("hljztL", static_cast<int>(peek())) && peek())
        spec.length += static_cast<char>(fmt[i++]);
    if (i >= fmtL) return false;
    spec.conv = static_cast<char>(fmt[i] < 0x80 ? fmt[i] : 0);
    ++i;
    return true;
}

} // namespace

void formatTo(XRText& out, const XRChar* fmt, std::size_t fmtL, ArgSource& ap) {
    for (std::size_t i = 0; i < fmtL;) {
        if (fmt[i] != '%') {
            out.push_back(fmt[i++]);
            continue;
        }
        const std::size_t start = i++;
        Spec spec;
        bool complete = parse(fmt, fmtL, i, spec, ap);
        switch (complete ? spec.conv : 0) {
        case '%':
            out.push_back('%');
            break;
        case 'd':
        case 'i':
            appendSigned(out, spec, ap);
            break;
        case 'u':
        case 'o':
        case 'x':
        case 'X':
            appendUnsigned(out, spec, ap);
            break;
        case 'c': {
            XRChar c = ap.nextChar();
            appendPadded(out, &c, 1, spec);
            break;
        }
        case 's':
            appendString(out, spec, ap);
            break;
        case 'p':
            appendPointer(out, spec, ap);
            break;
        case 'f':
        case 'F':
        case 'e':
        case 'E':
        case 'g':
        case 'G':
        case 'a':
        case 'A':
            if (spec.length == "L")
                appendPrintf(out, spec, "L", ap.nextLongDouble());
            else
                appendPrintf(out, spec, "", ap.nextDouble());
            break;
        default:
            out.insert(out.end(), fmt + start, fmt + i);
            break;
        }
    }
}

void formatTo(XRText& out, const XRChar* fmt, std::size_t fmtL, va_list args) {
    VaArgs source(args);
    formatTo(out, fmt, fmtL, source);
}

XRText format(const char* utf8fmt, ...) {
    XRText fmt = fromUtf8(utf8fmt);
    XRText out;
    va_list args;
    va_start(args, utf8fmt);
    formatTo(out, fmt.data(), fmt.size(), args);
    va_end(args);
    return out;
}

} // namespace xrhost
