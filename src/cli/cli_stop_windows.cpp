// The console's stop requests through SetConsoleCtrlHandler: Ctrl+C, Ctrl+Break and the
// console being closed stand for SIGINT and SIGTERM. The handler runs on a thread of its
// own that the system starts for each request.
#include <windows.h>

#include <atomic>

#include "cli/cli_output.h"
#include "cli/cli_stop.h"

namespace quillon::cli {
namespace {

// The console event that asked to stop, plus one (0: none came).
std::atomic<int> g_signal{0};
std::atomic<StopRequest*> g_target{nullptr};
std::atomic<StopRequest*> g_second{nullptr};
std::atomic<int> g_count{0};
// Windows waits about 5 s for a close handler before it ends the program itself.
constexpr DWORD kCloseGraceMs = 4500;
static_assert(std::atomic<int>::is_always_lock_free);
static_assert(std::atomic<StopRequest*>::is_always_lock_free);

BOOL WINAPI OnConsoleEvent(DWORD event) {
  const int n = ++g_count;
  StopRequest* second = n == 2 ? g_second.load() : nullptr;
  if (second) {
    second->Request();
  } else if (n >= 2) {
    ExitProcess(kExitPrinterFailed);  // the second one (or the third): at once
  } else {
    g_signal.store(static_cast<int>(event) + 1);
    if (StopRequest* target = g_target.load()) target->Request();
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

void WatchStop(StopRequest* target) {
  g_target.store(target);
  if (target && g_signal.load() != 0) target->Request();
}

void WatchSecondStop(StopRequest* target) {
  g_second.store(target);
  if (target && g_count.load() >= 2) target->Request();
}

int StopSignal() {
  return g_signal.load();
}

std::string StopSignalName() {
  switch (g_signal.load() - 1) {
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
