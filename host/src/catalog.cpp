#include "xrhost/catalog.h"

#include <cstdio>
#include <string>

namespace xrhost {
namespace {

// "%016p  xx xx ... |cc..|" for n bytes, spaced like hexdump -C.
std::string dumpTemplate(int n, int digits) {
    std::string t = "%0" + std::to_string(digits) + "p  ";
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

// The values of a dump line with its address moved. The address is the first pointer,
// or the second where an owner comes before it.
class ShiftedAddress final : public ArgSource {
  public:
    ShiftedAddress(ArgSource& in, std::intptr_t shift, int addressAt)
        : in_(in), shift_(shift), addressAt_(addressAt) {}
    int nextInt() override { return in_.nextInt(); }
    long long nextIntmax() override { return in_.nextIntmax(); }
    XRChar nextChar() override { return in_.nextChar(); }
    void* nextPointer() override {
        void* p = in_.nextPointer();
        if (pointers_++ != addressAt_) return p;
        return reinterpret_cast<void*>(reinterpret_cast<std::uintptr_t>(p) +
                                       static_cast<std::uintptr_t>(shift_));
    }
    double nextDouble() override { return in_.nextDouble(); }
    long double nextLongDouble() override { return in_.nextLongDouble(); }
    const XRChar* nextXRString() override { return in_.nextXRString(); }
    const char* nextCharString() override { return in_.nextCharString(); }

  private:
    ArgSource& in_;
    std::intptr_t shift_;
    int addressAt_, pointers_ = 0;
};

bool isDumpCode(XRStatus code) {
    return static_cast<std::uint32_t>(code) >= static_cast<std::uint32_t>(XRDumpCodeFirst) &&
           static_cast<std::uint32_t>(code) <= static_cast<std::uint32_t>(XRDumpCodeLast);
}

bool hasOwner(XRStatus code) {
    const auto base = static_cast<std::uint32_t>(code) & ~0xFu;
    return base == static_cast<std::uint32_t>(XRDumpCodePrefixOwner) ||
           base == static_cast<std::uint32_t>(XRDumpCodeOwner);
}

} // namespace

Catalog::Catalog() {
    setDumpAddressDigits(16);
    add(XRStatusFailed, "The ICU service object is not available.");
    add(XRStatusUnsupported, "The operation is not supported.");
    add(XRStatusNotAvailable, "No default locale is available for the status message.");
    add(XRStatusBufferTooSmall, "The output buffer has no room for the next character.");
    add(XRStatusIllegalSequence, "The input holds an illegal character sequence.");
    add(XRStatusTruncatedSequence, "The input ends inside a multi-unit character.");
}

void Catalog::setDumpAddressDigits(int digits) {
    for (int n = 1; n <= 16; ++n) {
        const std::string line = dumpTemplate(n, digits);
        add(XRDumpCodeNeither + (n - 1), line);
        add(XRDumpCodePrefixOwner + (n - 1), "%s (owner %#p) " + line);
        add(XRDumpCodeOwner + (n - 1), "(owner %#p) " + line);
        add(XRDumpCodePrefix + (n - 1), "%s " + line);
    }
}

XRText Catalog::render(XRStatus code, ArgSource& args) const {
    const XRText* tmpl = find(code);
    if (!tmpl) return fallback(code);
    XRText text;
    if (dumpShift_ && isDumpCode(code)) {
        ShiftedAddress shifted(args, dumpShift_, hasOwner(code) ? 1 : 0);
        formatTo(text, tmpl->data(), tmpl->size(), shifted);
    } else {
        formatTo(text, tmpl->data(), tmpl->size(), args);
    }
    return text;
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
