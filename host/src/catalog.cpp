#include "xrhost/catalog.h"

#include <cstdio>
#include <string>

namespace xrhost {
namespace {

// "%016p  xx xx ... |cc..|" for n bytes, spaced like hexdump -C.
std::string dumpTemplate(int n) {
    std::string t = "%016p  ";
    for (int i = 0; i < 16; ++i) {
        t += i < n ? "%02x " : "   ";
        if (i == 7) t += ' ';
    }
    t += " |";
    for (int i = 0; i < n; ++i)
        t += "%c";
    t += '|';
    return t;
}

} // namespace

Catalog::Catalog() {
    for (int n = 1; n <= 16; ++n) {
        const std::string line = dumpTemplate(n);
        add(XRDumpCodeNeither + (n - 1), line);
        add(XRDumpCodePrefixOwner + (n - 1), "%s (owner %#p) " + line);
        add(XRDumpCodeOwner + (n - 1), "(owner %#p) " + line);
        add(XRDumpCodePrefix + (n - 1), "%s " + line);
    }
    add(XRStatusFailed, "The ICU service object is not available.");
    add(XRStatusUnsupported, "The operation is not supported.");
    add(XRStatusNotAvailable, "No default locale is available for the status message.");
    add(XRStatusBufferTooSmall, "The output buffer has no room for the next character.");
    add(XRStatusIllegalSequence, "The input holds an illegal character sequence.");
    add(XRStatusTruncatedSequence, "The input ends inside a multi-unit character.");
}

const XRText* Catalog::find(XRStatus code) const {
    auto it = templates_.find(code);
    return it == templates_.end() ? nullptr : &it->second;
}

void Catalog::add(XRStatus code, std::string_view utf8Template) {
    templates_[code] = fromUtf8(utf8Template);
}

XRText Catalog::fallback(XRStatus code) {
    char text[64];
    std::snprintf(text, sizeof text, "status 0x%08X (no catalog text)",
                  static_cast<unsigned>(code));
    return fromUtf8(text);
}

} // namespace xrhost
