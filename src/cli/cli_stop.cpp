// The stop request of quillon-cli, whichever way the system delivers it: the first one is
// passed to the running command's link, a second one ends the program at once.
#include <atomic>

#include "cli/cli_stop.h"

namespace quillon::cli {
namespace {

// The system's code of the request that asked to stop (0: none came).
std::atomic<int> g_signal{0};
std::atomic<StopRequest*> g_target{nullptr};
// The two-stage stop of the production station: what the second request stops.
std::atomic<StopRequest*> g_second{nullptr};
std::atomic<int> g_count{0};
static_assert(std::atomic<int>::is_always_lock_free);
static_assert(std::atomic<StopRequest*>::is_always_lock_free);

}  // namespace

bool TakeStopRequest(int code) {
  const int n = ++g_count;
  if (n == 2) {
    if (StopRequest* second = g_second.load()) {
      second->Request();
      return true;
    }
  }
  if (n >= 2) return false;  // the second one (or the third): the program ends at once
  g_signal.store(code);
  if (StopRequest* target = g_target.load()) target->Request();
  return true;
}

void WatchSecondStop(StopRequest* target) {
  g_second.store(target);
  if (target && g_count.load() >= 2) target->Request();
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
