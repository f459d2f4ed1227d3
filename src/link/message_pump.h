// "Process pending messages" for the waits of the exchange, the serial read and Delay.
// The GUI pumps Qt events; the CLI and tests drain the serial notification queue.
#pragma once

#include <cstdint>

namespace quillon {

class MessagePump {
 public:
  virtual ~MessagePump() = default;
  // Handles every pending message. When none is pending, blocks for at most max_wait_ms
  // for one to arrive (0: do not block). Never spins.
  virtual void ProcessMessages(uint32_t max_wait_ms) = 0;
};

// A pump with no messages of its own: it only blocks for the slice it is given.
class SleepingPump final : public MessagePump {
 public:
  void ProcessMessages(uint32_t max_wait_ms) override;
};

}  // namespace quillon
