#include "link/message_pump.h"

#include "link/precise_pause.h"

namespace quillon {

void SleepingPump::ProcessMessages(uint32_t max_wait_ms) {
  PauseMs(max_wait_ms);
}

}  // namespace quillon
