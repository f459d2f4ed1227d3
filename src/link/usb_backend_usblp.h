// The kernel printer driver's side of a USB printer on Linux: what sysfs says about a device
// (serial number, the driver bound to its printer interface, its /dev/usb/lpN node), and a
// device that talks through that node, so the driver stays bound and the system's print
// queues keep their device while we use the printer.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "link/clock.h"
#include "link/usb_backend.h"

namespace quillon {

// Where sysfs and the device nodes are and how a node is opened. Tests point the folders at
// a temporary tree and hand out one end of a socket pair.
struct UsbNodeAccess {
  std::string sysfs_root = "/sys/bus/usb/devices";
  std::string dev_root = "/dev/usb";
  // Opens a node for reading and writing, without blocking; the descriptor or -errno.
  std::function<int(const std::string& path)> open_node;
};

// The real folders and open(2).
UsbNodeAccess& SystemNodeAccess();

// What sysfs tells about one device, found by its port path ("1-2.3").
struct UsbSysfsFacts {
  bool found = false;     // the device has a sysfs entry
  std::string serial;     // its serial number; empty when it has none
  std::string interface;  // its printer-class interface, "1-2.3:1.0"; empty when none
  std::string driver;     // the driver bound to that interface ("usblp", "usbfs"); empty: none
  std::string node;       // "/dev/usb/lp0" when the kernel printer driver made one
};
UsbSysfsFacts ReadUsbSysfs(const UsbNodeAccess& access, const std::string& port_path);

// "1-2.3" for bus 1 and the port chain 2, 3; empty without a port chain (root hubs).
std::string UsbPortPath(uint8_t bus, const uint8_t* ports, int count);

// How the printer is reached: "kernel printer driver /dev/usb/lp0" when the driver's node
// can be read and written, "libusb, driver detached" when the driver is bound but its node
// is not ours to use, "libusb" otherwise.
std::string UsbRouteText(const UsbSysfsFacts& facts);
bool UsblpNodeUsable(const UsbSysfsFacts& facts);

inline constexpr const char* kRouteLibusbDetached = "libusb, driver detached";
inline constexpr const char* kRouteLibusb = "libusb";

// Opens the printer through the kernel printer driver's node. On failure the error says
// why: kAccess (not ours to read and write), kBusy with holder kKernelDriver (another
// program has the node open), kNotFound (the node went away).
UsbOpenResult OpenUsblpNode(const UsbNodeAccess& access, const std::string& node, Clock& clock);

}  // namespace quillon
