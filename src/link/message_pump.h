// "Process pending messages" for the waits of the exchange, the serial read and Delay.
// The GUI pumps Qt events; the CLI and tests drain the serial notification queue.
#pragma once

#include <atomic>
#include <cstdint>

namespace quillon {

// A request to stop whatever waits on the pump: the window's Stop button and Esc, or
// SIGINT/SIGTERM in the CLI. Request() is async-signal-safe (one lock-free store); every
// wait looks at it between its slices, so a wait ends within one slice of a request.
class StopRequest {
 public:
  void Request() { requested_.store(true, std::memory_order_relaxed); }
  void Clear() { requested_.store(false, std::memory_order_relaxed); }
  bool Requested() const { return requested_.load(std::memory_order_relaxed); }

 private:
  std::atomic<bool> requested_{false};
  static_assert(std::atomic<bool>::is_always_lock_free);
};

class MessagePump {
 public:
  virtual ~MessagePump() = default;
  // Handles every pending message. When none is pending, blocks for at most max_wait_ms
  // for one to arrive (0: do not block). Never spins.
  virtual void ProcessMessages(uint32_t max_wait_ms) = 0;
  // The stop request that the waits running on this pump obey.
  StopRequest& stop() { return stop_; }

 private:
  StopRequest stop_;
};

// A pump with no messages of its own: it only blocks for the slice it is given.
class SleepingPump final : public MessagePump {
 public:
  void ProcessMessages(uint32_t max_wait_ms) override;
};

}  // namespace quillon
