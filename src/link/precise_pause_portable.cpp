// Systems without a finer tool: the standard library's sleep to an absolute deadline.
#include <chrono>
#include <thread>

#include "link/precise_pause.h"

namespace quillon {

void PauseMs(uint32_t ms) {
  if (ms == 0) return;
  std::this_thread::sleep_until(std::chrono::steady_clock::now() + std::chrono::milliseconds(ms));
}

FineTimerSlack::FineTimerSlack() = default;
FineTimerSlack::~FineTimerSlack() = default;

}  // namespace quillon
