// The unit test of the textcheck extension: the extension runs against the reference
// host, which loads the library as the framework would and attaches it.
#include <cstdio>
#include <cstdlib>
#include <string>

#include <xrhost/host.h>
#include <xrhost/journal.h>
#include <xrhost/loader.h>
#include <xrhost/text.h>

#include "textcheck.h"

namespace {

int failures = 0;

void expect(bool ok, const std::string& what) {
    if (!ok) {
        std::fprintf(stderr, "FAILED: %s\n", what.c_str());
        ++failures;
    }
}

const std::uint8_t* bytes(const std::string& s) {
    return reinterpret_cast<const std::uint8_t*>(s.data());
}

std::string describe(const std::string& text, XRStatus* rc) {
    XRChar out[100];
    XRStrSize n = 0;
    *rc = textcheck_describe(bytes(text), text.size(), out, 100, &n);
    return xrhost::toUtf8(out, static_cast<std::size_t>(n));
}

} // namespace

int main() {
    const std::string good = "na\xC3\xAFve \xE2\x82\xAC"; // 7 characters
    const std::string bad = "0123456789abcdef"
                            "ok \xC3\x28!"; // a lead byte without its tail
    XRStatus rc = 0;

    // Before a host attached it, the library has no formatter to call.
    describe(good, &rc);
    expect(rc == XRStatusNotAvailable, "describe before attach gives XRStatusNotAvailable");

    xrhost::Host host;
    xrhost::Library library; // $XRKIT_LIBRARY, or libxrkit.so.9 by the system's search
    library.attach(host.handle());
    expect(library.major() == 9 && library.minor() == 1, "interface version 9.1");

    expect(textcheck_scan(bytes(bad), bad.size(), nullptr) == 19, "the bad sequence at byte 19");
    expect(describe(good, &rc) == "7 characters" && rc == 0, "describe a well-formed text");
    expect(describe(bad, &rc) == "19 characters, then an ill-formed sequence at byte 19" && rc == 0,
           "describe an ill-formed text");

    xrhost::Journal journal(host.catalog()); // lines kept in memory
    expect(textcheck_report(journal.handle(), "name", bytes(good), good.size()) == 0 &&
               journal.lines().empty(),
           "a well-formed text reports nothing");
    expect(textcheck_report(journal.handle(), "name", bytes(bad), bad.size()) ==
               XRStatusIllegalSequence,
           "an ill-formed text gives the reader's status");
    const auto& lines = journal.lines();
    expect(lines.size() == 2, "two journal lines");
    if (lines.size() == 2) {
        expect(lines[0] == "error: The input holds an illegal character sequence.",
               "the status message: " + lines[0]);
        // "name", the line's address, then the bytes as hexdump -C shows them.
        expect(lines[1].rfind("name ", 0) == 0 &&
                   lines[1].find("  6f 6b 20 c3 28 21  ") != std::string::npos &&
                   lines[1].find("|ok .(!|") != std::string::npos,
               "the dump line of the bad byte: " + lines[1]);
    }

    std::printf("textcheck: %s\n", failures ? "FAILED" : "ok");
    return failures ? EXIT_FAILURE : EXIT_SUCCESS;
}
