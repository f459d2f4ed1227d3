// The modem-line seam on Windows: the driver's modem status and the DTR/RTS escapes. Line
// errors and modem changes come as line events (WaitCommEvent), so no counters are kept.
#include "link/serial/windows_serial.h"

#include "link/serial/comm_types.h"
#include "link/serial/comm_workers_windows.h"
#include "link/serial/serial_io.h"

namespace quillon {
namespace {

class SystemLineIo final : public SerialLineIo {
 public:
  // The MS_ bits of GetCommModemStatus.
  bool GetModemBits(int fd, int& bits) override {
    DWORD status = 0;
    if (!GetCommModemStatus(CommHandleOf(fd), &status)) return false;
    bits = static_cast<int>(status);
    return true;
  }
  // set and clear hold SETDTR/SETRTS-style requests as MS-independent flags: 1 DTR, 2 RTS.
  bool SetModemBits(int fd, int set, int clear) override {
    const HANDLE port = CommHandleOf(fd);
    bool ok = true;
    if ((set & 1) && !EscapeCommFunction(port, SETDTR)) ok = false;
    if ((set & 2) && !EscapeCommFunction(port, SETRTS)) ok = false;
    if ((clear & 1) && !EscapeCommFunction(port, CLRDTR)) ok = false;
    if ((clear & 2) && !EscapeCommFunction(port, CLRRTS)) ok = false;
    return ok;
  }
  bool GetCounters(int, LineCounters&) override { return false; }
};

}  // namespace

SerialLineIo& SystemSerialLineIo() {
  static SystemLineIo io;
  return io;
}

}  // namespace quillon
