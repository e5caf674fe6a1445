// xrkit normalize: UTF-8 text through the library's ICU normalization, in chunks cut
// where the form allows it, so that any size of input streams through.
#include <unicode/unorm2.h>
#include <unicode/utf8.h>

#include <cstdio>
#include <string>
#include <vector>

#include "commands.h"
#include "xr/xrlocale.h"
#include "xrhost/icu.h"
#include "xrhost/nls.h"

namespace xrkit {
namespace {

constexpr std::uint64_t kChunk = 1 << 20;

struct Form {
    const char* name;
    XRNLSUNormMode mode;
    const UNormalizer2* (*instance)(UErrorCode*);
};
constexpr Form kForms[] = {
    {"nfc", XRNLS_UNORM_NFC, &unorm2_getNFCInstance},
    {"nfd", XRNLS_UNORM_NFD, &unorm2_getNFDInstance},
    {"nfkc", XRNLS_UNORM_NFKC, &unorm2_getNFKCInstance},
    {"nfkd", XRNLS_UNORM_NFKD, &unorm2_getNFKDInstance},
};

// Where the chunk that starts at from should end: the start of a character that has
// a normalization boundary before it, at or after from + kChunk (or the end).
std::uint64_t cutPoint(const UNormalizer2* n, const std::uint8_t* p, std::uint64_t from,
                       std::uint64_t size) {
    std::uint64_t at = from + kChunk;
    for (; at < size; ++at) {
        if ((p[at] & 0xC0) == 0x80) continue;
        int32_t i = 0;
        UChar32 c;
        const auto rest = static_cast<int32_t>(std::min<std::uint64_t>(size - at, 4));
        U8_NEXT(p + at, i, rest, c);
        if (c < 0 || unorm2_hasBoundaryBefore(n, c)) return at;
    }
    return size;
}

int runNormalize(Args& args) {
    if (args.empty()) throw UsageError("which form: nfc, nfd, nfkc or nfkd");
    const Form* form = nullptr;
    for (const Form& f : kForms)
        if (args.front() == f.name) form = &f;
    if (!form) throw UsageError("unknown form " + args.front());
    args.erase(args.begin());
    const std::string name = takeInputName(args);

    Runtime rt;
    xrhost::Nls nls(rt.host);
    nls.attach();
    xrhost::Icu icu;
    nls.setIcuService(icu.handle());
    auto normalize = rt.lib.fn<decltype(xrzsu8ICUNormalize)>("xrzsu8ICUNormalize");
    UErrorCode err = U_ZERO_ERROR;
    const UNormalizer2* n = form->instance(&err);
    MappedInput input(name);
    const std::uint8_t* p = input.data();
    std::vector<std::uint8_t> out(kChunk);
    for (std::uint64_t from = 0; from < input.size();) {
        const std::uint64_t to = cutPoint(n, p, from, input.size());
        UTF8ByteLength got = 0;
        XRStatus rc = normalize(p + from, to - from, form->mode, 0, out.data(), out.size(), &got);
        if (rc == XRStatusBufferTooSmall && got > out.size()) {
            out.resize(got);
            rc = normalize(p + from, to - from, form->mode, 0, out.data(), out.size(), &got);
        }
        if (rc == XRStatusIllegalSequence)
            throw DataError(input.displayName() + ": ill-formed UTF-8 in bytes " +
                            std::to_string(from) + " to " + std::to_string(to));
        if (rc != 0) throw DataError("normalization failed (status " + std::to_string(rc) + ")");
        if (std::fwrite(out.data(), 1, got, stdout) != got) throw DataError("cannot write output");
        from = to;
    }
    if (std::fflush(stdout) != 0) throw DataError("cannot write output");
    return 0;
}

} // namespace

const Command kNormalizeCommand = {
    "normalize",
    "normalize nfc|nfd|nfkc|nfkd [FILE|-]\n"
    "Writes FILE (standard input for - or none), UTF-8, to standard output in the given\n"
    "Unicode normalization form, through the library's ICU normalization. Large inputs\n"
    "go in chunks cut only where the form allows. Ill-formed UTF-8 is an error (exit 1).",
    &runNormalize};

} // namespace xrkit
