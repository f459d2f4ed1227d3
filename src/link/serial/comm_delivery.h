// Waiting until what was handed to a serial port has left it: first the write worker's
// queue, then the driver's own buffer, within a deadline set by the line rate. Written once
// over what it needs of the port, so that the component's port and a test's fake share it.
#pragma once

#include <cstdint>
#include <functional>

#include "link/clock.h"
#include "link/serial/comm_types.h"

namespace quillon {

// What became of the bytes handed to the port since it was opened.
struct CommDelivery {
  uint64_t handed = 0;       // bytes handed over
  uint64_t undelivered = 0;  // of those, still queued or in the driver at the deadline
  bool ok() const { return undelivered == 0; }
};
// Extra time a delivery may take beyond what its bytes need at the line rate.
inline constexpr uint32_t kDeliverySlackMs = 2000;

// Bits on the line for each byte: the start bit, the data bits, the parity bit when there
// is one and the stop bits (1.5 counted as 2).
uint32_t LineBitsPerByte(const LineSettings& line);

// What a delivery wait needs of an open port.
class DeliveryLine {
 public:
  virtual ~DeliveryLine() = default;
  // Bytes handed over but not yet taken by the driver (queued, or in the block being
  // written).
  virtual uint64_t Unsent() = 0;
  // Waits at most ms until the write worker has handed everything to the driver; true then.
  virtual bool WaitWritten(uint32_t ms) = 0;
  // Bytes the driver still holds for sending; 0 when it cannot say.
  virtual uint64_t OutputQueued() = 0;
  // Waits at most ms until the driver has sent everything it holds; true then.
  virtual bool DrainOutput(uint32_t ms) = 0;
  // The line behind the port has gone (unplugged, or the other side closed).
  virtual bool HungUp() = 0;
};

// Waits until everything handed to line has been written and sent, at most as long as the
// bytes still to go need at the rate (bits_per_byte bits each) plus kDeliverySlackMs. Both
// waits go in short slices, and stopped (when given) is asked before and after each: a
// stop the user asked for gives up at once, whatever the line still holds. handed is what
// the result reports as handed over.
CommDelivery WaitLineDelivered(DeliveryLine& line, uint64_t handed, uint32_t baud_rate,
                               uint32_t bits_per_byte, Clock& clock,
                               const std::function<bool()>& stopped);

}  // namespace quillon
