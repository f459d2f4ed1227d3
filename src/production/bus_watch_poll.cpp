// A bus without hot-plug events (the Windows build): the station looks every second.
#include "production/bus_watch.h"

namespace quillon::production {
namespace {

class PollWatch final : public BusWatch {
 public:
  bool hotplug() const override { return false; }
  void Wait(uint32_t max_wait_ms, const StopRequest& stop) override {
    PauseWatchingStop(max_wait_ms, stop);
  }
};

}  // namespace

std::unique_ptr<BusWatch> MakeBusWatch() {
  return std::make_unique<PollWatch>();
}

}  // namespace quillon::production
