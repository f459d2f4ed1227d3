// Whether an open serial port's line is gone now (device unplugged, the other side
// closed), asked when a worker requests a hang-up: the request may come from a port since
// closed and reopened, and only a line that is gone now should be closed.
#pragma once

#include "link/serial/native_handle.h"

namespace quillon {

// handle: TComm::Handle() of an open port.
bool SerialLineGone(NativeHandle handle);

}  // namespace quillon
