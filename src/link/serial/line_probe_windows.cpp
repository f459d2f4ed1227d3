// A port whose device is gone refuses to report its error state.
#include "link/serial/windows_serial.h"

#include "link/serial/comm_workers_windows.h"
#include "link/serial/line_probe.h"

namespace quillon {

bool SerialLineGone(int handle) {
  COMSTAT status = {};
  return !PeekCommStatus(CommHandleOf(handle), status);
}

}  // namespace quillon
