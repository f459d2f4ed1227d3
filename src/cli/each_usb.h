// --each-usb: one command on every attached printer at once, one thread and one link per
// printer, one progress line each, then a summary of who succeeded.
#pragma once

#include <string>
#include <vector>

#include "cli/commands.h"

namespace quillon::cli {

using Command = int (*)(Args&, CommandEnv&);

// Runs command (its words in words) on every printer with the configured identifiers.
// Returns 0 when every run succeeded, 1 when any failed, 3 when no printer is attached.
int RunEachUsb(Command command, const std::string& name, const std::vector<std::string>& words,
               LinkOptions link, const OutputMode& mode);

}  // namespace quillon::cli
