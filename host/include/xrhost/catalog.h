// The reference host's message catalog: a format template (see format.h) for each
// status code it knows.
//
// The 64 dump codes render a line the way `hexdump -C` does, with the absolute
// address of the line in 16 hex digits in place of the offset:
//
//   0000559f3a1c2e40  48 65 6c 6c 6f 20 77 6f  72 6c 64 0a              |Hello world.|
//
// The prefix layouts put the prefix text and a blank in front, the owner layouts
// "(owner 0x...)" and a blank.
#pragma once

#include <map>

#include "xrhost/text.h"

namespace xrhost {

class Catalog {
  public:
    Catalog(); // the dump lines and the library's status texts
    // The template of code, or null when the catalog has none.
    const XRText* find(XRStatus code) const;
    void add(XRStatus code, std::string_view utf8Template);
    // The text shown for a code the catalog lacks; takes no argument.
    static XRText fallback(XRStatus code);

  private:
    std::map<XRStatus, XRText> templates_;
};

} // namespace xrhost
