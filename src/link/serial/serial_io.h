// The seam over the serial port's modem-line and error-counter ioctls, so that the events
// built on them can be tested (a pseudo-terminal answers these ioctls with ENOTTY).
#pragma once

#include <cstdint>

#include "link/serial/native_handle.h"

namespace quillon {

// Transition and error counters of a serial port since the driver loaded (TIOCGICOUNT).
struct LineCounters {
  uint32_t cts = 0, dsr = 0, rng = 0, dcd = 0;
  uint32_t frame = 0, overrun = 0, parity = 0, brk = 0, buf_overrun = 0;
};

// Each call may come from any thread; implementations must be thread-safe.
class SerialLineIo {
 public:
  virtual ~SerialLineIo() = default;
  // TIOCMGET: the TIOCM_ bits of the modem lines (Windows: its MS_ bits); false when the
  // driver does not say.
  virtual bool GetModemBits(NativeHandle fd, int& bits) = 0;
  // TIOCMBIS, then TIOCMBIC: raise the lines in set, drop those in clear.
  virtual bool SetModemBits(NativeHandle fd, int set, int clear) = 0;
  // TIOCGICOUNT; false when the driver keeps no counters (always on Windows).
  virtual bool GetCounters(NativeHandle fd, LineCounters& counters) = 0;
};

// The ioctls themselves.
SerialLineIo& SystemSerialLineIo();

// CE_ flags for the error counters that grew from before to now (wrap-safe).
uint32_t LineErrorFlags(const LineCounters& before, const LineCounters& now);
// ME_RLSD when carrier detect changed, ME_RING when the ring indicator fired.
uint32_t ModemEvents(const LineCounters& before, const LineCounters& now);
// MS_ bits for TIOCM_ bits.
uint32_t ModemStatusFromTiocm(int bits);
// MS_ bits for what GetModemBits gives on this system.
uint32_t ModemStatusFromDriver(int bits);

// Why an open of a serial port failed, as the user is told.
enum class PortOpenFailure { kMissing, kAccess, kBusy, kOther };

}  // namespace quillon
