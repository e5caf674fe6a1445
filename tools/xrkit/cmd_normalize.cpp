// xrkit normalize: UTF-8 text through the library's ICU normalization, streamed in
// pieces cut where the form allows it.
#include <unicode/unorm2.h>
#include <unicode/utf8.h>

#include <string>
#include <vector>

#include "commands.h"
#include "encodings.h"
#include "xr/xrlocale.h"
#include "xrhost/icu.h"
#include "xrhost/nls.h"

namespace xrkit {
namespace {

const Option kOptions[] = {{"output", 'o', true}};

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

// The start of the last character in p[0, n) (well-formed UTF-8) that has a
// normalization boundary before it, or 0: text before it normalizes alone.
std::size_t lastBoundary(const UNormalizer2* form, const std::uint8_t* p, std::size_t n) {
    for (std::size_t at = n; at-- > 1;) {
        if (utf8::isContinuation(p[at])) continue;
        int32_t i = 0;
        UChar32 c;
        U8_NEXT_UNSAFE(p + at, i, c);
        if (unorm2_hasBoundaryBefore(form, c)) return at;
    }
    return 0;
}

int runNormalize(const Args& args) {
    Options o(args, kOptions);
    if (o.operands.empty())
        throw UsageError("normalize: the form (nfc, nfd, nfkc or nfkd) is missing");
    limitOperands(o, 2);
    const Form* form = nullptr;
    for (const Form& f : kForms)
        if (o.operands[0] == f.name) form = &f;
    if (!form) throw UsageError(o.operands[0] + ": unknown form (nfc, nfd, nfkc or nfkd)");

    Runtime rt;
    xrhost::Nls nls(rt.host);
    nls.attach();
    xrhost::Icu icu;
    nls.setIcuService(icu.handle());
    const auto normalize = rt.lib.fn<decltype(xrzsu8ICUNormalize)>("xrzsu8ICUNormalize");
    UErrorCode err = U_ZERO_ERROR;
    const UNormalizer2* n2 = form->instance(&err);

    Input in(o.operands.size() > 1 ? o.operands[1] : "-");
    Output out(o.value("output", "-"));
    out.refuseSameFile(in);
    std::vector<std::uint8_t> result(1 << 16);
    do {
        in.fill();
        const std::uint8_t* p = in.data();
        const std::size_t n = in.size();
        const std::size_t good = utf8::wellFormedPrefix(p, n);
        const Sequence s = good < n ? utf8::next(p + good, n - good, in.ended())
                                    : Sequence{Verdict::Incomplete, 0, 0};
        const bool stop = in.ended() || s.verdict != Verdict::Incomplete;
        // A piece ends where a segment starts; a segment longer than the buffer (only
        // in contrived text) is cut where the buffer ends.
        std::size_t cut = stop ? good : lastBoundary(n2, p, good);
        if (cut == 0 && in.room() == 0) cut = good;
        for (UTF8ByteLength got = 0; cut;) {
            const XRStatus rc = normalize(const_cast<std::uint8_t*>(p), cut, form->mode, 0,
                                          result.data(), result.size(), &got);
            if (rc == XRStatusBufferTooSmall && got > result.size()) {
                result.resize(got);
                continue;
            }
            if (rc != 0) throw DataError("normalization failed with status " + std::to_string(rc));
            out.write(result.data(), got);
            break;
        }
        out.flush();
        in.consume(cut);
        if (s.verdict != Verdict::Incomplete)
            throw DataError(in.name() + ": " + describeBad("UTF-8", s, p + good, in.offset()));
    } while (!in.ended());
    out.finish();
    return 0;
}

} // namespace

const Command kNormalizeCommand = {
    "normalize",
    "normalize nfc|nfd|nfkc|nfkd [-o OUT] [FILE|-]\n"
    "Writes FILE (standard input for - or none), UTF-8, to OUT (standard output without\n"
    "-o) in the given Unicode normalization form, through the library's ICU\n"
    "normalization, piece by piece, each piece ending where a normalization segment\n"
    "starts. Ill-formed UTF-8 stops the command after the text before it, naming its\n"
    "byte offset (exit 1).\n"
    "  -o, --output OUT  a regular OUT is replaced only when the command succeeds",
    &runNormalize};

} // namespace xrkit
