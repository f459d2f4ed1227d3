// A clock that moves only when told to, for waits measured without real time.
#pragma once

#include <cstdint>

#include "link/clock.h"
#include "link/message_pump.h"

namespace quillon::testing {

class FakeClock final : public Clock {
 public:
  explicit FakeClock(uint32_t start = 0) : now_(start) {}
  uint32_t NowMs() override { return now_; }
  void Advance(uint32_t ms) { now_ += ms; }
  void Set(uint32_t ms) { now_ = ms; }

 private:
  uint32_t now_;
};

// A pump whose waits advance the fake clock instead of sleeping.
class FakeClockPump final : public MessagePump {
 public:
  explicit FakeClockPump(FakeClock& clock) : clock_(clock) {}
  void ProcessMessages(uint32_t max_wait_ms) override {
    ++calls;
    clock_.Advance(max_wait_ms);
  }
  int calls = 0;

 private:
  FakeClock& clock_;
};

}  // namespace quillon::testing
