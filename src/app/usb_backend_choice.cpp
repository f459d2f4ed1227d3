// MakeUsbBackend: the one place that decides which USB backend the program runs on. The
// virtual printer and the libusb backend are used when the build includes them.
#include <string>
#include <utility>
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
  VirtualPrinterBackend(std::string vid, std::string pid)
      : usb_(printer_, std::move(vid), std::move(pid)) {}
  void ListDevicePaths(std::vector<std::string>& paths) override { usb_.ListDevicePaths(paths); }
  UsbOpenResult Open(const std::string& path) override { return usb_.Open(path); }

 private:
  vp::VirtualPrinter printer_;
  vp::VirtualUsbBackend usb_;
};

// The identifiers the program searches for (config.ini), so the virtual printer is found.
std::string ConfiguredId(const char* key, const char* fallback) {
  std::string id = IniFile(GetApplicationPath() + "config.ini").ReadString("SYSTEM", key, "");
  return id.empty() ? fallback : id;
}
#endif

}  // namespace

std::unique_ptr<UsbBackend> MakeUsbBackend(const ProgramOptions& options) {
#ifdef QUILLON_HAVE_VIRTUAL_USB
  if (options.virtual_printer)
    return std::make_unique<VirtualPrinterBackend>(ConfiguredId("USB_VID", vp::kDefaultVid),
                                                   ConfiguredId("USB_PID", vp::kDefaultPid));
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
