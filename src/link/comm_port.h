// What the serial path of the exchange needs from the serial port component (TComm).
#pragma once

#include <cstdint>

namespace quillon {

class CommPort {
 public:
  virtual ~CommPort() = default;
  // Queues one block for the write worker; false when the port is closed.
  virtual bool WriteCommData(const uint8_t* data, uint16_t size) = 0;
  // Idle time after the first byte that ends a received block (ReadIntervalTimeout).
  virtual void SetReadIntervalTimeout(uint32_t ms) = 0;
  virtual bool IsOpen() const = 0;
  // The port was closed because the line behind it hung up (unplugged, other side gone).
  virtual bool LineLost() const { return false; }
};

}  // namespace quillon
