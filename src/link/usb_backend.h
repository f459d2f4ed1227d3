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

// An open USB printer. Closing happens in the destructor.
class UsbDevice {
 public:
  virtual ~UsbDevice() = default;
  // Sends the whole block; false when the device refused or vanished.
  virtual bool Write(const uint8_t* data, size_t len) = 0;
  // One read of up to cap bytes (cap <= 4096). Blocks at most timeout_ms for bytes to
  // arrive; returns their count, 0 when nothing was pending, -1 when the device is gone.
  virtual int Read(uint8_t* buf, size_t cap, uint32_t timeout_ms) = 0;
};

struct UsbOpenResult {
  std::unique_ptr<UsbDevice> device;
  UsbError error = UsbError::kNone;
  std::string message;  // human-readable reason when device is null
};

class UsbBackend {
 public:
  virtual ~UsbBackend() = default;
  // Appends the path of every present USB device, in enumeration order. Each path contains
  // "vid_" + 4 lower-case hex digits + "&pid_" + 4 lower-case hex digits.
  virtual void ListDevicePaths(std::vector<std::string>& paths) = 0;
  // Opens the device with that path (as listed by ListDevicePaths).
  virtual UsbOpenResult Open(const std::string& path) = 0;
};

// Several backends seen as one: paths are listed backend by backend and opened by the
// backend that listed them.
class CompositeUsbBackend final : public UsbBackend {
 public:
  void Add(UsbBackend* backend) { backends_.push_back(backend); }
  void ListDevicePaths(std::vector<std::string>& paths) override;
  UsbOpenResult Open(const std::string& path) override;

 private:
  std::vector<UsbBackend*> backends_;
};

// "vid_1fc9&pid_2016" for the numbers 0x1fc9, 0x2016.
std::string UsbIdText(uint16_t vid, uint16_t pid);

}  // namespace quillon
