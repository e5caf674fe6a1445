// The reference host's journal: one line per message, written to a FILE* or kept in
// memory. Messages of severity Note, Warning and Error begin with "note: ",
// "warning: " and "error: "; Null and None are written bare.
//
// Buffer operations write at most msgL units; a longer message is cut at msgL,
// *cnvL says how many units were written and the status is XRStatusBufferTooSmall.
// A status code that the catalog lacks is written as Catalog::fallback and its
// values are not read.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "xr/xrhost.h"
#include "xrhost/catalog.h"

namespace xrhost {

class Journal {
  public:
    // Writes to out; with a null out the lines are kept in memory (lines()).
    explicit Journal(const Catalog& catalog, std::FILE* out = nullptr, XRLocaleh locale = nullptr);
    Journal(const Journal&) = delete;
    Journal& operator=(const Journal&) = delete;

    XRJnlh handle() { return &rec_; }
    static Journal* from(XRJnlh h) { return reinterpret_cast<Journal*>(h); }

    const std::vector<std::string>& lines() const { return lines_; }
    // Fails every write from the given count of written lines on (0: never), with status.
    void failAfter(std::size_t lines, XRStatus status) {
        failAfter_ = lines;
        failStatus_ = status;
    }

    // The journal operations.
    XRStatus write(XRSeverity sev, const XRText& text);
    XRStatus flush();
    const Catalog& catalog() const { return catalog_; }
    XRLocaleh locale() const { return locale_; }

  private:
    XR_JNL_S rec_; // first member: the handle is the object's address
    const Catalog& catalog_;
    std::FILE* out_;
    XRLocaleh locale_;
    std::vector<std::string> lines_;
    std::size_t written_ = 0;
    std::size_t failAfter_ = 0;
    XRStatus failStatus_ = 0;
};

// Formats a catalog message (or the fallback) with args.
XRText catalogMessage(const Catalog& catalog, XRStatus code, va_list args);
// Copies text into dest (destL units), setting *cnvL; XRStatusBufferTooSmall if cut.
XRStatus copyOut(const XRText& text, XRChar* dest, XRStrSize destL, XRStrSize* cnvL);

} // namespace xrhost
