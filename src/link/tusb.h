// TUSB, the state of the USB printer link, and the device search over a UsbBackend.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "link/usb_backend.h"

namespace quillon {

struct TUSB {
  std::string VID;  // as in config.ini USB_VID: four hex digits, lower case
  std::string PID;  // USB_PID
  bool isFindPrint = false;
  std::string PrintAddr;  // device path of the printer found at the last search
  // Which of several matching printers to use: its port path ("1-2.3") or serial number;
  // empty: the first in enumeration order.
  std::string Choice;
  std::unique_ptr<UsbDevice> hDevHandle;  // open device, or null
};

class TUSBHelper {
 public:
  explicit TUSBHelper(UsbBackend& backend) : backend_(backend) {}
  // Appends the path of every present USB device interface, in enumeration order.
  void SearchDevice(std::vector<std::string>& vDevicePaths) {
    backend_.ListDevicePaths(vDevicePaths);
  }

 private:
  UsbBackend& backend_;
};

}  // namespace quillon
