// The modem-line seam on Windows: the driver's modem status and the DTR/RTS escapes. Line
// errors and modem changes come as line events (WaitCommEvent), so no counters are kept.
#include "link/serial/windows_serial.h"

#include <map>
#include <mutex>

#include "link/serial/comm_types.h"
#include "link/serial/serial_io.h"

namespace quillon {
namespace {

class SystemLineIo final : public SerialLineIo {
 public:
  // The MS_ bits of GetCommModemStatus.
  bool GetModemBits(NativeHandle port, int& bits) override {
    DWORD status = 0;
    if (!GetCommModemStatus(port, &status)) return false;
    bits = static_cast<int>(status);
    return true;
  }
  // set and clear hold SETDTR/SETRTS-style requests as MS-independent flags: 1 DTR, 2 RTS.
  bool SetModemBits(NativeHandle port, int set, int clear) override {
    bool ok = true;
    if ((set & 1) && !EscapeCommFunction(port, SETDTR)) ok = false;
    if ((set & 2) && !EscapeCommFunction(port, SETRTS)) ok = false;
    if ((clear & 1) && !EscapeCommFunction(port, CLRDTR)) ok = false;
    if ((clear & 2) && !EscapeCommFunction(port, CLRRTS)) ok = false;
    return ok;
  }
  bool GetCounters(NativeHandle, LineCounters&) override { return false; }
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

uint32_t ModemStatusFromDriver(int bits) {
  return static_cast<uint32_t>(bits);  // the driver's MS_ bits as they are
}

}  // namespace quillon
