// The xrkit commands; each lives in its own cmd_*.cpp.
#pragma once

#include "cli.h"

namespace xrkit {

extern const Command kInfoCommand;
extern const Command kDumpCommand;
extern const Command kCaseCommand;
extern const Command kConvertCommand;
extern const Command kValidateCommand;
extern const Command kCountCommand;
extern const Command kNormalizeCommand;

// The encodings with their other names, one per line (xrkit --list).
void listEncodings(Output& out);

} // namespace xrkit
