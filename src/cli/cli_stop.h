// SIGINT and SIGTERM in quillon-cli: the first one asks the running command to stop (every
// wait of the link ends within one slice, the port and its lock are released on the way
// out); a second one ends the program at once.
#pragma once

#include <string>

#include "link/message_pump.h"

namespace quillon::cli {

void InstallStopSignals();
// The stop request that a signal sets (the session's link pump); null: none any more.
// A signal that came before is passed on at once.
void WatchStop(StopRequest* target);
// For a command that stops in two stages (the production station: the first request lets
// the units in progress finish, the second stops them at once): the second signal requests
// target instead of ending the program, and only a third one ends it. null: none any more.
void WatchSecondStop(StopRequest* target);
// The signal that asked to stop, 0 when none came.
int StopSignal();
// "SIGINT", "SIGTERM" (Windows: "Ctrl+C", "closing the console"...).
std::string StopSignalName();

// For the system's handler (cli_stop_linux.cpp, cli_stop_windows.cpp): records a request
// under the system's code for it and passes it on; false when one came before (the handler
// then ends the program at once). Safe in a signal handler.
bool TakeStopRequest(int code);
// What the system calls the request of that code.
std::string StopRequestName(int code);

}  // namespace quillon::cli
