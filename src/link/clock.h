// The 32-bit millisecond tick that every wait measures against (wraps after ~49 days).
#pragma once

#include <cstdint>

namespace quillon {

class Clock {
 public:
  virtual ~Clock() = default;
  // Milliseconds since an arbitrary start, modulo 2^32.
  virtual uint32_t NowMs() = 0;
};

// The monotonic system tick.
class SteadyClock final : public Clock {
 public:
  uint32_t NowMs() override;
};

// Elapsed milliseconds from start to now, correct across the wrap of the counter.
inline uint32_t ElapsedMs(uint32_t start, uint32_t now) {
  return now - start;
}

Clock& SystemClock();

}  // namespace quillon
