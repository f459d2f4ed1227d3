// The stop request of quillon-cli, whichever way the system delivers it: the first one is
// passed to the running command's link, a second one ends the program at once.
#include <atomic>

#include "cli/cli_stop.h"

namespace quillon::cli {
namespace {

// The system's code of the request that asked to stop (0: none came).
std::atomic<int> g_signal{0};
std::atomic<StopRequest*> g_target{nullptr};
static_assert(std::atomic<int>::is_always_lock_free);
static_assert(std::atomic<StopRequest*>::is_always_lock_free);

}  // namespace

bool TakeStopRequest(int code) {
  if (g_signal.exchange(code) != 0) return false;
  if (StopRequest* target = g_target.load()) target->Request();
  return true;
}

void WatchStop(StopRequest* target) {
  g_target.store(target);
  if (target && g_signal.load() != 0) target->Request();
}

int StopSignal() {
  return g_signal.load();
}

std::string StopSignalName() {
  return StopRequestName(g_signal.load());
}

}  // namespace quillon::cli
