// The console's stop requests through SetConsoleCtrlHandler: Ctrl+C, Ctrl+Break and the
// console being closed stand for SIGINT and SIGTERM. The handler runs on a thread of its
// own that the system starts for each request.
#include <windows.h>

#include "cli/cli_output.h"
#include "cli/cli_stop.h"

namespace quillon::cli {
namespace {

// Windows waits about 5 s for a close handler before it ends the program itself.
constexpr DWORD kCloseGraceMs = 4500;

BOOL WINAPI OnConsoleEvent(DWORD event) {
  // The request's code is the console event plus one (0 stands for none).
  if (!TakeStopRequest(static_cast<int>(event) + 1)) {
    ExitProcess(kExitPrinterFailed);  // the second one: at once
  }
  // The system ends the program as soon as a close or shutdown handler returns: give the
  // command its grace time to release the port (the program's own end cuts this short).
  if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT)
    Sleep(kCloseGraceMs);
  return TRUE;  // handled: the command stops on its own
}

}  // namespace

void InstallStopSignals() {
  SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

std::string StopRequestName(int code) {
  switch (code - 1) {
    case CTRL_C_EVENT:
      return "Ctrl+C";
    case CTRL_BREAK_EVENT:
      return "Ctrl+Break";
    case CTRL_CLOSE_EVENT:
      return "closing the console";
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
      return "the system shutting down";
    default:
      return "a console event";
  }
}

}  // namespace quillon::cli
