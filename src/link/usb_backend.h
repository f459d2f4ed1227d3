// The seam under the USB printer channel: list device paths, open one, write and read it.
// Implementations: libusb (real printers), the virtual printer's in-process device, test fakes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace quillon {

// Why an open failed, classified where it happened so the user can be told something useful.
enum class UsbError {
  kNone,         // opened
  kNotFound,     // no device with that path (unplugged)
  kAccess,       // the operating system refused access (permissions, udev rule missing)
  kBusy,         // another program holds the printer interface
  kNoInterface,  // the device has no printer or bulk interface
  kIo,           // any other failure of the USB stack
};

// Who holds a printer that is busy, when it can be told.
enum class UsbHolder {
  kUnknown,       // not known (or not busy)
  kKernelDriver,  // a program has the kernel printer driver's node open
  kOtherProgram,  // another program claimed the interface directly (e.g. the print service)
};

// One present USB device as the printer list shows it.
struct UsbDeviceInfo {
  std::string path;       // as ListDevicePaths gives it; what Open takes
  std::string port_path;  // bus and port chain, "1-2.3"; empty when unknown
  std::string serial;     // the device's serial number; empty when it has none
  std::string route;      // how it would be reached: "kernel printer driver /dev/usb/lp0", ...
};

// An open USB printer. Closing happens in the destructor.
class UsbDevice {
 public:
  virtual ~UsbDevice() = default;
  // Sends the whole block; false when the device refused or vanished.
  virtual bool Write(const uint8_t* data, size_t len) = 0;
  // One read of up to cap bytes (cap <= 4096). Blocks at most timeout_ms for bytes to
  // arrive; returns their count, 0 when nothing was pending, -1 when the device is gone.
  virtual int Read(uint8_t* buf, size_t cap, uint32_t timeout_ms) = 0;
  // How long the next writes may wait for a printer that takes nothing (flash erase, out of
  // paper) before they fail; devices that never hold writes off ignore it.
  virtual void SetWriteHoldOff(uint32_t ms) {}
};

// Longest a write waits without progress unless the command's own reply wait is longer. Every
// backend whose device can hold writes off keeps writing that long while the device is present.
inline constexpr uint32_t kMinWriteHoldOffMs = 30000;

struct UsbOpenResult {
  std::unique_ptr<UsbDevice> device;
  UsbError error = UsbError::kNone;
  std::string message;                     // human-readable reason when device is null
  UsbHolder holder = UsbHolder::kUnknown;  // with kBusy: who has the printer
  std::string node;                        // the kernel driver's node involved, if any
  std::string route;                       // with a device: "libusb, driver detached", ...
};

class UsbBackend {
 public:
  virtual ~UsbBackend() = default;
  // Appends the path of every present USB device, in enumeration order. Each path contains
  // "vid_" + 4 lower-case hex digits + "&pid_" + 4 lower-case hex digits.
  virtual void ListDevicePaths(std::vector<std::string>& paths) = 0;
  // Appends every present device with what is known of it. The default knows only paths.
  virtual void ListDevices(std::vector<UsbDeviceInfo>& devices);
  // Opens the device with that path (as listed by ListDevicePaths).
  virtual UsbOpenResult Open(const std::string& path) = 0;
};

// Several backends seen as one: paths are listed backend by backend and opened by the
// backend that listed them.
class CompositeUsbBackend final : public UsbBackend {
 public:
  void Add(UsbBackend* backend) { backends_.push_back(backend); }
  void ListDevicePaths(std::vector<std::string>& paths) override;
  void ListDevices(std::vector<UsbDeviceInfo>& devices) override;
  UsbOpenResult Open(const std::string& path) override;

 private:
  std::vector<UsbBackend*> backends_;
};

// "vid_1fc9&pid_2016" for the numbers 0x1fc9, 0x2016.
std::string UsbIdText(uint16_t vid, uint16_t pid);

// The printer a selection names among the devices whose path contains id_text ("vid_...&pid_..."):
// the first of them when selector is empty, else the one whose port path or serial number
// equals selector. Null when none fits.
const UsbDeviceInfo* ChooseUsbPrinter(const std::vector<UsbDeviceInfo>& devices,
                                      const std::string& id_text, const std::string& selector);
// Every device whose path contains id_text, in enumeration order.
std::vector<UsbDeviceInfo> MatchingPrinters(const std::vector<UsbDeviceInfo>& devices,
                                            const std::string& id_text);

}  // namespace quillon
