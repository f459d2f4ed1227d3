// MakeUsbBackend: the one place that decides which USB backend the program runs on. The
// virtual printer and the libusb backend are used when the build includes them.
#include <cstdint>
#include <vector>

#include "app/ini_file.h"
#include "app/program_options.h"
#include "app/sfunc.h"

#if __has_include("virtualprinter/virtual_usb.h")
#include "virtualprinter/virtual_usb.h"
#define QUILLON_HAVE_VIRTUAL_USB 1
#endif
#if __has_include("link/usb_backend_libusb.h")
#include "link/usb_backend_libusb.h"
#define QUILLON_HAVE_LIBUSB_BACKEND 1
#endif

namespace quillon {
namespace {

// A build without a USB stack: no device is ever present.
class NoUsbBackend final : public UsbBackend {
 public:
  void ListDevicePaths(std::vector<std::string>&) override {}
  UsbOpenResult Open(const std::string&) override {
    return {nullptr, UsbError::kNotFound, "no USB support in this build"};
  }
};

#ifdef QUILLON_HAVE_VIRTUAL_USB
// The virtual printer engine together with its in-process USB device, owned as one backend.
class VirtualPrinterBackend final : public UsbBackend {
 public:
  VirtualPrinterBackend(uint16_t vid, uint16_t pid) : usb_(printer_, vid, pid) {}
  void ListDevicePaths(std::vector<std::string>& paths) override { usb_.ListDevicePaths(paths); }
  UsbOpenResult Open(const std::string& path) override { return usb_.Open(path); }

 private:
  vp::VirtualPrinter printer_;
  vp::VirtualUsbBackend usb_;
};

// The identifiers the program searches for (config.ini), so the virtual printer is found.
uint16_t ConfiguredId(const char* key, uint16_t fallback) {
  const uint32_t id =
      HexToint(IniFile(GetApplicationPath() + "config.ini").ReadString("SYSTEM", key, ""));
  return id != 0 && id <= 0xFFFF ? static_cast<uint16_t>(id) : fallback;
}
#endif

}  // namespace

std::unique_ptr<UsbBackend> MakeUsbBackend(const ProgramOptions& options) {
#ifdef QUILLON_HAVE_VIRTUAL_USB
  if (options.virtual_printer)
    return std::make_unique<VirtualPrinterBackend>(ConfiguredId("USB_VID", 0xc0de),
                                                   ConfiguredId("USB_PID", 0x7001));
#endif
#ifdef QUILLON_HAVE_LIBUSB_BACKEND
  if (!options.virtual_printer) return std::make_unique<LibusbBackend>();
#endif
  return std::make_unique<NoUsbBackend>();
}

bool VirtualPrinterAvailable() {
#ifdef QUILLON_HAVE_VIRTUAL_USB
  return true;
#else
  return false;
#endif
}

}  // namespace quillon
