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
//
// A program that dumps a stream piece by piece from one buffer can have each piece's
// line addresses moved by a distance (setDumpAddressShift), so that they go on from piece
// to piece as if the stream lay in memory whole; with 8 digits and the distance that
// makes them offsets from 0, the lines are those of `hexdump -C`.
#pragma once

#include <cstdint>
#include <map>

#include "xrhost/format.h"
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
    // The message of code with its values (the fallback when the catalog lacks it).
    XRText render(XRStatus code, ArgSource& args) const;

    // Dump line addresses in at least this many hex digits (16 unless set).
    void setDumpAddressDigits(int digits);
    // Added to every dump line's address (not to the owner) when it is shown.
    void setDumpAddressShift(std::intptr_t shift) { dumpShift_ = shift; }

  private:
    std::map<XRStatus, XRText> templates_;
    std::intptr_t dumpShift_ = 0;
};

} // namespace xrhost
