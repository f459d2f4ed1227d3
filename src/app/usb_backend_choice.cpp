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
#include "virtualprinter/virtual_usb_bank.h"

namespace quillon {
namespace {

// The virtual printers with their in-process USB devices, owned as one backend; state and
// paper are saved when the program ends.
class VirtualPrinterBackend final : public UsbBackend {
 public:
  VirtualPrinterBackend(const std::string& vid, const std::string& pid,
                        const ProgramOptions& options)
      : bank_(options.virtual_count, vid, pid), paper_(options.paper), state_(options.state) {
    std::string error;
    if (!bank_.LoadStates(state_, &error))
      std::fprintf(stderr, "quillon: virtual printer state not loaded: %s\n", error.c_str());
  }
  ~VirtualPrinterBackend() override {
    std::string error;
    if (!bank_.SaveStates(state_, &error))
      std::fprintf(stderr, "quillon: virtual printer state not saved: %s\n", error.c_str());
    if (!bank_.SavePapers(paper_, &error))
      std::fprintf(stderr, "quillon: paper not saved: %s\n", error.c_str());
  }
  void ListDevicePaths(std::vector<std::string>& paths) override { bank_.ListDevicePaths(paths); }
  void ListDevices(std::vector<UsbDeviceInfo>& devices) override { bank_.ListDevices(devices); }
  UsbOpenResult Open(const std::string& path) override { return bank_.Open(path); }

 private:
  vp::VirtualUsbBank bank_;
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
