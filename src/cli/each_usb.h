// --each-usb: one command on every attached printer at once, one thread and one link per
// printer, one progress line each, then a summary of who succeeded.
#pragma once

#include <string>

#include "cli/commands.h"

namespace quillon::cli {

// Runs command (its words in args, a copy for each printer) on every printer with the
// configured identifiers. Returns 0 when every run succeeded, 1 when any failed, 3 when no
// printer is attached.
int RunEachUsb(Command command, const std::string& name, const Args& args, LinkOptions link,
               const OutputMode& mode);

}  // namespace quillon::cli
