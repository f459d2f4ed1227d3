#include "link/message_pump.h"

#include <chrono>
#include <thread>

namespace quillon {

void SleepingPump::ProcessMessages(uint32_t max_wait_ms) {
  if (max_wait_ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(max_wait_ms));
}

}  // namespace quillon
