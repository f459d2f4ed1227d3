// SIGINT and SIGTERM through sigaction.
#include "cli/cli_stop.h"

#include <signal.h>
#include <unistd.h>

#include <atomic>

#include "cli/cli_output.h"

namespace quillon::cli {
namespace {

std::atomic<int> g_signal{0};
std::atomic<StopRequest*> g_target{nullptr};
std::atomic<StopRequest*> g_second{nullptr};
std::atomic<int> g_count{0};
static_assert(std::atomic<int>::is_always_lock_free);
static_assert(std::atomic<StopRequest*>::is_always_lock_free);

void OnStopSignal(int sig) {
  const int n = ++g_count;
  if (n == 2) {
    if (StopRequest* second = g_second.load()) return second->Request();
  }
  if (n >= 2) _exit(kExitPrinterFailed);  // the second one (or the third): at once
  g_signal.store(sig);
  if (StopRequest* target = g_target.load()) target->Request();
}

}  // namespace

void InstallStopSignals() {
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
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
  switch (g_signal.load()) {
    case SIGINT:
      return "SIGINT";
    case SIGTERM:
      return "SIGTERM";
    default:
      return "a signal";
  }
}

}  // namespace quillon::cli
