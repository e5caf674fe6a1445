// Fixed-field helpers: blank-padded byte fields, their search and case, and the
// conversion between an integer and its right-justified decimal field.
#include <array>
#include <cstring>

#include "internal/memkernels.h"
#include "xr/xrfixed.h"
#include "xr/xrmem.h"

namespace {

using xr::mem::Want;
using Byte = unsigned char;

constexpr char kBlank = ' ';
constexpr char kOverflow = '*';

constexpr const char* alpha = "abcdefghijklmnopqrstuvwxyz";
constexpr const char* ualpha = "ABCDEFGHIJKLMNOPQRSTUVWXYZ";

// Byte -> its upper case by the two alphabets; letters are marked in isLetter.
struct Alphabet {
    std::array<Byte, 256> upper{};
    std::array<bool, 256> isLetter{};
};

constexpr Alphabet makeAlphabet() {
    Alphabet a;
    for (int b = 0; b < 256; ++b)
        a.upper[b] = static_cast<Byte>(b);
    for (int k = 0; k < 26; ++k) {
        const auto lo = static_cast<Byte>(alpha[k]), up = static_cast<Byte>(ualpha[k]);
        a.upper[lo] = up;
        a.isLetter[lo] = a.isLetter[up] = true;
    }
    return a;
}

constexpr Alphabet kAlphabet = makeAlphabet();

bool isByteValue(int c) {
    return c >= 0 && c <= 0xFF;
}
std::size_t width(int l) {
    return l > 0 ? static_cast<std::size_t>(l) : 0;
}
Byte* bytes(char* p) {
    return reinterpret_cast<Byte*>(p);
}

// Index of the first byte equal to / different from c among n, or -1.
template <Want W> int firstIndex(const char* p, std::size_t n, Byte c) {
    std::size_t at = xr::mem::scan<W>(reinterpret_cast<const Byte*>(p), n, c);
    return at < n ? static_cast<int>(at) : -1;
}

void upcase(char* p, int l) {
    Byte* b = bytes(p);
    for (std::size_t i = 0, n = width(l); i < n; ++i)
        b[i] = kAlphabet.upper[b[i]];
}

void moveIntoField(char* p1, int l1, char* p2, int l2) {
    const std::size_t text = width(l1), field = width(l2);
    if (text >= field) {
        vzmi(p1, p2, l2);
        return;
    }
    vzmi(p1, p2, l1);
    std::memset(p2 + text, kBlank, field - text);
}

int overflowField(char* s, int len) {
    std::memset(s, kOverflow, width(len));
    return 1;
}

} // namespace

extern "C" {

void vzmi(char* p1, char* p2, int l) {
    if (l > 0) skMemCpy(p1, p2, static_cast<XRMemSize>(l));
}

void vzbfci(int ch, char* p1, int l) {
    std::memset(p1, static_cast<Byte>(ch), width(l));
}

void vzstmov(char* p1, int l1, char* p2, int l2) {
    moveIntoField(p1, l1, p2, l2);
}
void vzstmv2(char* p1, int l1, char* p2, int l2) {
    moveIntoField(p1, l1, p2, l2);
}

int vzstndx(char* p1, int l1, char* p2, int l2) {
    if (l1 < l2) return -1;
    if (l2 <= 0) return 0;
    const auto n = static_cast<std::size_t>(l1);
    std::size_t at = xr::mem::findToken(bytes(p1), n, bytes(p2), static_cast<std::size_t>(l2));
    return at < n ? static_cast<int>(at) : -1;
}

int wzstpos(char* p1, int l1, int s) {
    return firstIndex<Want::Equal>(p1, width(l1), static_cast<Byte>(s));
}

int vzstnot(char* p, int l, int c) {
    if (!isByteValue(c)) return l > 0 ? 0 : -1;
    return firstIndex<Want::Differ>(p, width(l), static_cast<Byte>(c));
}

int allsame(int c, char* p, int l) {
    if (l < 0) return 0;
    if (l == 0) return 1;
    return isByteValue(c) && firstIndex<Want::Differ>(p, width(l), static_cast<Byte>(c)) < 0;
}

void wzstrup(char* p, int l) {
    upcase(p, l);
}
void UQ(char* p, int l) {
    upcase(p, l);
}

int TOUPPER(int c) {
    return isByteValue(c) ? kAlphabet.upper[c] : c;
}
int ISALPHA(int c) {
    return isByteValue(c) && kAlphabet.isLetter[c];
}

int vzclchr(long lnumber, char* s, int len) {
    if (len < 1) return 1;
    const bool negative = lnumber < 0;
    unsigned long rest =
        negative ? 0ul - static_cast<unsigned long>(lnumber) : static_cast<unsigned long>(lnumber);
    int i = len - 1;
    s[i] = static_cast<char>('0' + rest % 10);
    for (rest /= 10; rest > 0; rest /= 10) {
        if (--i < 0) return overflowField(s, len);
        s[i] = static_cast<char>('0' + rest % 10);
    }
    if (negative) {
        if (--i < 0) return overflowField(s, len);
        s[i] = '-';
    }
    std::memset(s, kBlank, static_cast<std::size_t>(i));
    return 0;
}

int wzrlchr(unsigned char* p, int w, int s, int* ncp, long* lp) {
    *ncp = 0;
    const std::size_t n = width(w);
    std::size_t i = 0;
    while (i < n && p[i] == kBlank)
        ++i;
    if (i == n) return 1;
    const bool negative = s != 0 && p[i] == '-';
    if (negative) ++i;
    const std::size_t firstDigit = i;
    unsigned long value = 0; // unsigned: an over-long field wraps instead of overflowing
    for (; i < n && p[i] >= '0' && p[i] <= '9'; ++i)
        value = value * 10 + (p[i] - '0');
    const auto digits = static_cast<int>(i - firstDigit);
    *ncp = (negative ? 1 : 0) + digits;
    if (!negative && digits == 0) return 1;
    *lp = static_cast<long>(negative ? 0ul - value : value);
    return 0;
}

} // extern "C"
