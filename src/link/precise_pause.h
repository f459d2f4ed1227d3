// Pauses of a millisecond or a few that cost what they ask and never less: the flashing
// flows make thousands of them, so a sleep's overshoot adds up to seconds.
#pragma once

#include <cstdint>

namespace quillon {

// Sleeps until ms milliseconds from now have passed on the monotonic clock (an absolute
// deadline, so an interrupted or early wake-up sleeps on to the same instant).
void PauseMs(uint32_t ms);

// For its lifetime, lets the calling thread's timed waits end within a microsecond of their
// deadline instead of the system's default slack; the old slack comes back at the end.
class FineTimerSlack {
 public:
  FineTimerSlack();
  ~FineTimerSlack();
  FineTimerSlack(const FineTimerSlack&) = delete;
  FineTimerSlack& operator=(const FineTimerSlack&) = delete;

 private:
  long previous_ = -1;  // -1: nothing to restore
};

}  // namespace quillon
