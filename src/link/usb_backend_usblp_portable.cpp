// Systems without the kernel printer driver's sysfs entries and /dev/usb/lpN nodes: every
// printer is reached through libusb, and nothing is known about a driver bound to it.
#include <string>

#include "link/usb_backend_usblp.h"

namespace quillon {

UsbNodeAccess& SystemNodeAccess() {
  static UsbNodeAccess access{"", "", nullptr};
  return access;
}

std::string UsbPortPath(uint8_t bus, const uint8_t* ports, int count) {
  if (count <= 0) return {};
  std::string path = std::to_string(bus) + "-";
  for (int i = 0; i < count; ++i) {
    if (i > 0) path += '.';
    path += std::to_string(ports[i]);
  }
  return path;
}

UsbSysfsFacts ReadUsbSysfs(const UsbNodeAccess&, const std::string&) {
  return {};
}

bool UsblpNodeUsable(const UsbSysfsFacts&) {
  return false;
}

std::string UsbRouteText(const UsbSysfsFacts& facts) {
  return facts.driver == "usblp" ? kRouteLibusbDetached : kRouteLibusb;
}

UsbOpenResult OpenUsblpNode(const UsbNodeAccess&, const std::string& node, Clock&) {
  UsbOpenResult r;
  r.node = node;
  r.error = UsbError::kNotFound;
  r.message = "This system has no kernel printer driver node (" + node + ").";
  return r;
}

}  // namespace quillon
