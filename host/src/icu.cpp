#include "xrhost/icu.h"

#include <unicode/unorm.h>
#include <unicode/unorm2.h>
#include <unicode/ustring.h>

#include <cstring>
#include <vector>

namespace xrhost {
namespace {

using U16 = std::vector<UChar>;

// Strict UTF-8 to UTF-16: false for an ill-formed or oversized text.
bool toUtf16(UTF8ConstStr s, UTF8ByteLength n, U16& out) {
    if (n > INT32_MAX || (!s && n)) return false;
    UErrorCode err = U_ZERO_ERROR;
    int32_t len = 0;
    const char* src = reinterpret_cast<const char*>(s);
    u_strFromUTF8(nullptr, 0, &len, src, static_cast<int32_t>(n), &err);
    if (err != U_BUFFER_OVERFLOW_ERROR && U_FAILURE(err)) return false;
    out.resize(static_cast<std::size_t>(len) + 1);
    err = U_ZERO_ERROR;
    u_strFromUTF8(out.data(), len + 1, &len, src, static_cast<int32_t>(n), &err);
    out.resize(static_cast<std::size_t>(len));
    return U_SUCCESS(err);
}

const UNormalizer2* normalizer(XRNLSUNormMode mode) {
    UErrorCode err = U_ZERO_ERROR;
    const UNormalizer2* n = nullptr;
    switch (mode) {
    case XRNLS_UNORM_NFC:
        n = unorm2_getNFCInstance(&err);
        break;
    case XRNLS_UNORM_NFD:
        n = unorm2_getNFDInstance(&err);
        break;
    case XRNLS_UNORM_NFKC:
        n = unorm2_getNFKCInstance(&err);
        break;
    case XRNLS_UNORM_NFKD:
        n = unorm2_getNFKDInstance(&err);
        break;
    case XRNLS_UNORM_FCD:
        n = unorm2_getInstance(nullptr, "nfc", UNORM2_FCD, &err);
        break;
    default:
        break;
    }
    return U_SUCCESS(err) ? n : nullptr;
}

XRStatus deliver(const char* bytes, std::size_t n, UTF8Str out, UTF8ByteLength outL,
                 UTF8ByteLength* cvtL) {
    if (cvtL) *cvtL = n;
    if (n > outL) return XRStatusBufferTooSmall;
    if (n) std::memcpy(out, bytes, n);
    return 0;
}

XRStatus normalize(XRNLSIcup, UTF8ConstStr in, UTF8ByteLength inL, XRNLSUNormMode mode, int32_t,
                   UTF8Str out, UTF8ByteLength outL, UTF8ByteLength* cvtL) {
    U16 text;
    if (!toUtf16(in, inL, text)) {
        if (cvtL) *cvtL = 0;
        return XRStatusIllegalSequence;
    }
    if (mode == XRNLS_UNORM_NONE)
        return deliver(reinterpret_cast<const char*>(in), inL, out, outL, cvtL);
    const UNormalizer2* n = normalizer(mode);
    if (!n) return XRStatusUnsupported;
    UErrorCode err = U_ZERO_ERROR;
    const auto len = static_cast<int32_t>(text.size());
    U16 norm(text.size() * 3 + 16);
    int32_t got =
        unorm2_normalize(n, text.data(), len, norm.data(), static_cast<int32_t>(norm.size()), &err);
    if (err == U_BUFFER_OVERFLOW_ERROR) {
        norm.resize(static_cast<std::size_t>(got));
        err = U_ZERO_ERROR;
        got = unorm2_normalize(n, text.data(), len, norm.data(), got, &err);
    }
    if (U_FAILURE(err)) return XRStatusUnsupported;
    std::vector<char> utf8(static_cast<std::size_t>(got) * 3 + 1);
    int32_t bytes = 0;
    u_strToUTF8(utf8.data(), static_cast<int32_t>(utf8.size()), &bytes, norm.data(), got, &err);
    if (U_FAILURE(err)) return XRStatusIllegalSequence;
    return deliver(utf8.data(), static_cast<std::size_t>(bytes), out, outL, cvtL);
}

XRStatus compare(XRNLSIcup, UTF8ConstStr s1, UTF8ByteLength l1, UTF8ConstStr s2, UTF8ByteLength l2,
                 uint32_t opts, int32_t* result) {
    U16 a, b;
    if (!toUtf16(s1, l1, a) || !toUtf16(s2, l2, b)) return XRStatusIllegalSequence;
    UErrorCode err = U_ZERO_ERROR;
    const int32_t r = unorm_compare(a.data(), static_cast<int32_t>(a.size()), b.data(),
                                    static_cast<int32_t>(b.size()), opts, &err);
    if (U_FAILURE(err)) return XRStatusUnsupported;
    *result = r < 0 ? -1 : r > 0 ? 1 : 0;
    return 0;
}

const ICURawFuncVtbl kVtbl = {&normalize, &compare};

} // namespace

Icu::Icu() : rec_{{1, "xrhost.icu", nullptr}, &kVtbl} {}

} // namespace xrhost
