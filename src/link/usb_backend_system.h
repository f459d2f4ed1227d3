// The backend for real USB printers on this system: libusb on Linux, SetupAPI and the
// printer driver's device on Windows.
#pragma once

#include <memory>

#include "link/usb_backend.h"

namespace quillon {

std::unique_ptr<UsbBackend> MakeSystemUsbBackend();

}  // namespace quillon
