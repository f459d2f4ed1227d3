// MakeUsbBackend: the one place that decides which USB backend the program runs on: the
// built-in virtual printer with --virtual-printer, otherwise the printers on the USB bus.
#include <cstdio>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "app/program_options.h"
#include "core/file_locations.h"
#include "core/ini_file.h"
#include "link/usb_backend_system.h"
#include "virtualprinter/virtual_printer.h"
#include "virtualprinter/virtual_usb.h"

namespace quillon {
namespace {

// The virtual printer engine together with its in-process USB device, owned as one backend.
class VirtualPrinterBackend final : public UsbBackend {
 public:
  VirtualPrinterBackend(std::string vid, std::string pid, const ProgramOptions& options)
      : usb_(printer_, std::move(vid), std::move(pid)),
        paper_(options.paper),
        state_(options.state) {
    std::string error;
    if (!state_.empty() && std::ifstream(state_).good() && !printer_.LoadState(state_, error)) {
      std::fprintf(stderr, "quillon: virtual printer state not loaded: %s\n", error.c_str());
    }
  }
  ~VirtualPrinterBackend() override {
    std::string error;
    if (!state_.empty() && !printer_.SaveState(state_, error))
      std::fprintf(stderr, "quillon: virtual printer state not saved: %s\n", error.c_str());
    if (!paper_.empty() && !printer_.SavePng(paper_, error))
      std::fprintf(stderr, "quillon: paper not saved: %s\n", error.c_str());
  }
  void ListDevicePaths(std::vector<std::string>& paths) override { usb_.ListDevicePaths(paths); }
  UsbOpenResult Open(const std::string& path) override { return usb_.Open(path); }

 private:
  vp::VirtualPrinter printer_;
  vp::VirtualUsbBackend usb_;
  std::string paper_;
  std::string state_;
};

// The identifiers the program searches for (config.ini), so that the virtual printer is
// the one found.
std::string ConfiguredId(const char* key, const char* fallback) {
  std::string id = IniFile(Files().ConfigFile()).ReadString("SYSTEM", key, "");
  return id.empty() ? fallback : id;
}

}  // namespace

std::unique_ptr<UsbBackend> MakeUsbBackend(const ProgramOptions& options) {
  if (options.virtual_printer)
    return std::make_unique<VirtualPrinterBackend>(ConfiguredId("USB_VID", vp::kDefaultVid),
                                                   ConfiguredId("USB_PID", vp::kDefaultPid),
                                                   options);
  return MakeSystemUsbBackend();
}

}  // namespace quillon
