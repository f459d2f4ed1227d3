// The GUI's MessagePump: handles pending Qt events; when none is pending, waits for at most
// the given time in a nested event loop (events arriving meanwhile are handled), never
// spinning.
#pragma once

#include "link/message_pump.h"

namespace quillon {

class QtMessagePump final : public MessagePump {
 public:
  void ProcessMessages(uint32_t max_wait_ms) override;
};

}  // namespace quillon
