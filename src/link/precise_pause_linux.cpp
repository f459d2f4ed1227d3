// Linux: clock_nanosleep on an absolute CLOCK_MONOTONIC deadline, and the thread's timer
// slack (50 µs by default) narrowed with PR_SET_TIMERSLACK.
#include <sys/prctl.h>
#include <time.h>

#include <cerrno>

#include "link/precise_pause.h"

namespace quillon {

namespace {
constexpr unsigned long kFineSlackNs = 1000;
}

void PauseMs(uint32_t ms) {
  if (ms == 0) return;
  timespec deadline{};
  clock_gettime(CLOCK_MONOTONIC, &deadline);
  deadline.tv_sec += static_cast<time_t>(ms / 1000);
  deadline.tv_nsec += static_cast<long>(ms % 1000) * 1000000L;
  if (deadline.tv_nsec >= 1000000000L) {
    deadline.tv_sec += 1;
    deadline.tv_nsec -= 1000000000L;
  }
  while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &deadline, nullptr) == EINTR) {
  }
}

FineTimerSlack::FineTimerSlack() {
  const int current = prctl(PR_GET_TIMERSLACK, 0, 0, 0, 0);
  if (current >= 0 && prctl(PR_SET_TIMERSLACK, kFineSlackNs, 0, 0, 0) == 0) previous_ = current;
}

FineTimerSlack::~FineTimerSlack() {
  if (previous_ >= 0) prctl(PR_SET_TIMERSLACK, static_cast<unsigned long>(previous_), 0, 0, 0);
}

}  // namespace quillon
