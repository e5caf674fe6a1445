#include "xrhost/journal.h"

#include <algorithm>

#include "xrhost/format.h"

namespace xrhost {
namespace {

XRStatus jnlFlush(XRJnlh j) {
    return Journal::from(j)->flush();
}

XRStatus jnlMessageToBuf(XRJnlh, const XRChar* fmt, XRStrSize fmtL, XRChar* msg, XRStrSize msgL,
                         XRStrSize* cnvL, va_list args) {
    XRText text;
    formatTo(text, fmt, static_cast<std::size_t>(std::max<XRStrSize>(fmtL, 0)), args);
    return copyOut(text, msg, msgL, cnvL);
}

XRStatus jnlMessageToJnl(XRJnlh j, XRSeverity sev, const XRChar* fmt, XRStrSize fmtL,
                         va_list args) {
    XRText text;
    formatTo(text, fmt, static_cast<std::size_t>(std::max<XRStrSize>(fmtL, 0)), args);
    return Journal::from(j)->write(sev, text);
}

XRStatus jnlStatusToBuf(XRJnlh j, XRStatus status, XRChar* msg, XRStrSize msgL, XRStrSize* cnvL,
                        va_list args) {
    return copyOut(catalogMessage(Journal::from(j)->catalog(), status, args), msg, msgL, cnvL);
}

XRStatus jnlStatusToJnl(XRJnlh j, XRSeverity sev, XRStatus status, va_list args) {
    Journal* jnl = Journal::from(j);
    return jnl->write(sev, catalogMessage(jnl->catalog(), status, args));
}

XRStatus jnlUnsupported(XRJnlh, XRJnlh) {
    return XRStatusUnsupported;
}
XRBoolean jnlHasData(XRJnlh j) {
    return !Journal::from(j)->lines().empty();
}
XRStatus jnlConfig(XRJnlh, XRFlags, void*) {
    return XRStatusUnsupported;
}
XRLocaleh jnlGetLocale(XRJnlh j) {
    return Journal::from(j)->locale();
}

const char* severityTag(XRSeverity sev) {
    switch (sev) {
    case XRSeverityNote:
        return "note: ";
    case XRSeverityWarning:
        return "warning: ";
    case XRSeverityError:
        return "error: ";
    default:
        return "";
    }
}

} // namespace

Journal::Journal(const Catalog& catalog, std::FILE* out, XRLocaleh locale)
    : rec_{{1, "xrhost.journal", nullptr},
           &jnlFlush,
           &jnlMessageToBuf,
           &jnlMessageToJnl,
           &jnlStatusToBuf,
           &jnlStatusToJnl,
           &jnlUnsupported,
           &jnlUnsupported,
           &jnlHasData,
           &jnlConfig,
           &jnlGetLocale,
           nullptr},
      catalog_(catalog), out_(out), locale_(locale) {}

XRStatus Journal::write(XRSeverity sev, const XRText& text) {
    if (failAfter_ && written_ >= failAfter_) return failStatus_;
    std::string line = severityTag(sev) + toUtf8(text);
    ++written_;
    if (!out_) {
        lines_.push_back(std::move(line));
        return 0;
    }
    line += '\n';
    return std::fwrite(line.data(), 1, line.size(), out_) == line.size() ? 0 : XRStatusFailed;
}

XRStatus Journal::flush() {
    return out_ && std::fflush(out_) ? XRStatusFailed : 0;
}

XRText catalogMessage(const Catalog& catalog, XRStatus code, va_list args) {
    VaArgs values(args);
    return catalog.render(code, values);
}

XRStatus copyOut(const XRText& text, XRChar* dest, XRStrSize destL, XRStrSize* cnvL) {
    const std::size_t room = static_cast<std::size_t>(std::max<XRStrSize>(destL, 0));
    const std::size_t n = std::min(room, text.size());
    std::copy_n(text.data(), n, dest);
    if (cnvL) *cnvL = static_cast<XRStrSize>(n);
    return n < text.size() ? XRStatusBufferTooSmall : 0;
}

} // namespace xrhost
