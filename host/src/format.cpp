#include "xrhost/format.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

namespace xrhost {
namespace {

struct Directive {
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

void pad(XRText& out, std::size_t have, const Directive& dir, XRChar fill = ' ') {
    for (std::size_t i = have; dir.width > 0 && i < static_cast<std::size_t>(dir.width); ++i)
        out.push_back(fill);
}

void appendPadded(XRText& out, const XRChar* s, std::size_t n, const Directive& dir) {
    if (!dir.has('-')) pad(out, n, dir);
    out.insert(out.end(), s, s + n);
    if (dir.has('-')) pad(out, n, dir);
}

// Formats one numeric argument through the C library with the same directive.
template <class T>
void appendPrintf(XRText& out, const Directive& dir, const char* length, T value) {
    char f[64];
    int k = std::snprintf(f, sizeof f, "%%%s", dir.flags.c_str());
    if (dir.width >= 0) k += std::snprintf(f + k, sizeof f - k, "%d", dir.width);
    if (dir.precision >= 0) k += std::snprintf(f + k, sizeof f - k, ".%d", dir.precision);
    std::snprintf(f + k, sizeof f - k, "%s%c", length, dir.conv);
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

void appendSigned(XRText& out, const Directive& dir, ArgSource& args) {
    const std::string& l = dir.length;
    long long v;
    if (l == "l" || l == "ll" || l == "j" || l == "z" || l == "t")
        v = args.nextIntmax();
    else
        v = args.nextInt();
    if (l == "hh") v = static_cast<signed char>(v);
    if (l == "h") v = static_cast<short>(v);
    appendPrintf(out, dir, "ll", v);
}

void appendUnsigned(XRText& out, const Directive& dir, ArgSource& args) {
    const std::string& l = dir.length;
    unsigned long long v;
    if (l == "l" || l == "ll" || l == "j" || l == "z" || l == "t")
        v = static_cast<unsigned long long>(args.nextIntmax());
    else
        v = static_cast<unsigned int>(args.nextInt());
    if (l == "hh") v = static_cast<unsigned char>(v);
    if (l == "h") v = static_cast<unsigned short>(v);
    appendPrintf(out, dir, "ll", v);
}

void appendPointer(XRText& out, Directive dir, ArgSource& args) {
    auto v = reinterpret_cast<std::uintptr_t>(args.nextPointer());
    dir.conv = 'x';
    dir.length.clear();
    appendPrintf(out, dir, "l", static_cast<unsigned long>(v));
}

void appendString(XRText& out, const Directive& dir, ArgSource& args) {
    if (dir.length == "h") {
        const char* s = args.nextCharString();
        XRText t = fromUtf8(s ? s : "(null)");
        std::size_t n = t.size();
        if (dir.precision >= 0 && n > static_cast<std::size_t>(dir.precision))
            n = static_cast<std::size_t>(dir.precision);
        appendPadded(out, t.data(), n, dir);
        return;
    }
    const XRChar* s = args.nextXRString();
    if (!s) {
        XRText t = fromUtf8("(null)");
        appendPadded(out, t.data(), t.size(), dir);
        return;
    }
    std::size_t n = 0;
    while (s[n] && (dir.precision < 0 || n < static_cast<std::size_t>(dir.precision)))
        ++n;
    appendPadded(out, s, n, dir);
}

// Parses the directive after '%' at fmt[i]; returns false when it is incomplete.
bool parse(const XRChar* fmt, std::size_t fmtL, std::size_t& i, Directive& dir, ArgSource& args) {
    auto peek = [&] { return i < fmtL ? fmt[i] : XRChar(0); };
    while (i < fmtL && std::strchr("-0+ #", static_cast<int>(peek())) && peek())
        dir.flags += static_cast<char>(fmt[i++]);
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
    number(dir.width);
    if (dir.width < 0 && dir.width != -1) {
        dir.flags += '-';
        dir.width = -dir.width;
    }
    if (peek() == '.') {
        ++i;
        dir.precision = 0;
        number(dir.precision);
    }
    while (i < fmtL && std::strchr("hljztL", static_cast<int>(peek())) && peek())
        dir.length += static_cast<char>(fmt[i++]);
    if (i >= fmtL) return false;
    dir.conv = static_cast<char>(fmt[i] < 0x80 ? fmt[i] : 0);
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
        Directive dir;
        bool complete = parse(fmt, fmtL, i, dir, ap);
        switch (complete ? dir.conv : 0) {
        case '%':
            out.push_back('%');
            break;
        case 'd':
        case 'i':
            appendSigned(out, dir, ap);
            break;
        case 'u':
        case 'o':
        case 'x':
        case 'X':
            appendUnsigned(out, dir, ap);
            break;
        case 'c': {
            XRChar c = ap.nextChar();
            appendPadded(out, &c, 1, dir);
            break;
        }
        case 's':
            appendString(out, dir, ap);
            break;
        case 'p':
            appendPointer(out, dir, ap);
            break;
        case 'f':
        case 'F':
        case 'e':
        case 'E':
        case 'g':
        case 'G':
        case 'a':
        case 'A':
            if (dir.length == "L")
                appendPrintf(out, dir, "L", ap.nextLongDouble());
            else
                appendPrintf(out, dir, "", ap.nextDouble());
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
