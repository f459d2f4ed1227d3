// The modem-line seam on Windows: the driver's modem status and the DTR/RTS escapes. Line
// errors and modem changes come as line events (WaitCommEvent), so no counters are kept.
#include "link/serial/windows_serial.h"

#include <algorithm>
#include <chrono>
#include <map>
#include <mutex>
#include <thread>

#include "link/serial/comm_types.h"
#include "link/serial/comm_workers_windows.h"
#include "link/serial/line_probe.h"
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

// Line errors that a status query cleared before the read worker could report them.
std::mutex g_kept_mutex;
std::map<HANDLE, DWORD> g_kept_errors;

}  // namespace

bool PeekCommStatus(HANDLE port, COMSTAT& status) {
  DWORD errors = 0;
  if (!ClearCommError(port, &errors, &status)) return false;
  if (errors != 0) {
    std::lock_guard<std::mutex> lock(g_kept_mutex);
    g_kept_errors[port] |= errors;
  }
  return true;
}

bool TakeCommErrors(HANDLE port, DWORD& errors) {
  errors = 0;
  const bool ok = ClearCommError(port, &errors, nullptr) != 0;
  std::lock_guard<std::mutex> lock(g_kept_mutex);
  if (auto kept = g_kept_errors.find(port); kept != g_kept_errors.end()) {
    errors |= kept->second;
    g_kept_errors.erase(kept);
  }
  return ok;
}

void ForgetCommErrors(HANDLE port) {
  std::lock_guard<std::mutex> lock(g_kept_mutex);
  g_kept_errors.erase(port);
}

SerialLineIo& SystemSerialLineIo() {
  static SystemLineIo io;
  return io;
}

bool PortHungUp(int port) {
  return SerialLineGone(port);  // a port whose device is gone refuses its status
}

uint64_t PortOutputQueued(int port) {
  COMSTAT status = {};
  if (!PeekCommStatus(CommHandleOf(port), status)) return 0;
  return status.cbOutQue;
}

bool DrainPortOutput(int port, uint32_t timeout_ms) {
  using Steady = std::chrono::steady_clock;
  const Steady::time_point end = Steady::now() + std::chrono::milliseconds(timeout_ms);
  // FlushFileBuffers has no time limit (a line stopped by flow control would keep it
  // forever), so the driver's queue is watched in short slices while the line takes the
  // bytes, and FlushFileBuffers is left only the last few in the UART.
  constexpr auto kSlice = std::chrono::milliseconds(10);
  while (PortOutputQueued(port) > 0) {
    if (PortHungUp(port)) return false;
    const Steady::time_point now = Steady::now();
    if (now >= end) return false;
    std::this_thread::sleep_for(std::min<Steady::duration>(kSlice, end - now));
  }
  if (PortHungUp(port)) return false;
  return FlushFileBuffers(CommHandleOf(port)) != 0;
}

}  // namespace quillon
