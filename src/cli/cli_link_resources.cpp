// The link kinds of quillon-cli: a real USB printer through the system's backend, the built-in
// virtual printer, or a serial port.
#include "cli/cli_link_resources.h"

#include <cstdlib>

#include <filesystem>
#include <system_error>

#include "core/utf8_path.h"
#include "link/usb_backend_system.h"
#include "virtualprinter/virtual_printer.h"
#include "virtualprinter/virtual_usb.h"
#include "virtualprinter/virtual_usb_bank.h"

namespace quillon::cli {
namespace {

class UsbResources final : public LinkResources {
 public:
  UsbBackend& usb() override { return backend_; }
  MessagePump& pump() override { return pump_; }

 private:
  std::unique_ptr<UsbBackend> backend_owner_ = MakeSystemUsbBackend();
  UsbBackend& backend_ = *backend_owner_;
  SleepingPump pump_;
};

class VirtualResources final : public LinkResources {
 public:
  explicit VirtualResources(const LinkOptions& o) : bank_(o.virtual_count, Vid(o), Pid(o)) {}

  bool Load(const LinkOptions& o, std::string* error) {
    if (!bank_.LoadStates(o.state, error)) {
      *error += " (--factory-state starts from the factory state)";
      return false;
    }
    return ApplyFaults(o.vp_faults, error);
  }
  UsbBackend& usb() override { return bank_; }
  MessagePump& pump() override { return pump_; }
  bool Finish(const LinkOptions& o, std::string* error) override {
    return bank_.SaveStates(o.state, error) && bank_.SavePapers(o.paper, error);
  }

 private:
  static std::string Vid(const LinkOptions& o) {
    auto colon = o.usb_id.find(':');
    return o.usb_id.empty() ? vp::kDefaultVid : o.usb_id.substr(0, colon);
  }
  static std::string Pid(const LinkOptions& o) {
    auto colon = o.usb_id.find(':');
    return colon == std::string::npos ? vp::kDefaultPid : o.usb_id.substr(colon + 1);
  }
  // "VP0002:unplug-after=5" or "VP0002:drop-code=A1".
  bool ApplyFaults(const std::vector<std::string>& switches, std::string* error) {
    for (const std::string& item : switches) {
      const auto colon = item.find(':');
      const auto eq = item.find('=', colon == std::string::npos ? 0 : colon);
      vp::VirtualPrinter* printer =
          colon == std::string::npos ? nullptr : bank_.BySerial(item.substr(0, colon));
      const std::string name = colon == std::string::npos || eq == std::string::npos
                                   ? ""
                                   : item.substr(colon + 1, eq - colon - 1);
      const std::string value = eq == std::string::npos ? "" : item.substr(eq + 1);
      char* end = nullptr;
      const unsigned long n = std::strtoul(value.c_str(), &end, name == "drop-code" ? 16 : 10);
      const bool number = !value.empty() && *end == '\0';
      vp::Faults faults = printer ? printer->faults() : vp::Faults{};
      if (printer && number && name == "unplug-after" && n >= 1 && n <= 1000000) {
        faults.unplug_after_packets = static_cast<uint32_t>(n);
      } else if (printer && number && name == "drop-code" && n <= 255) {
        faults.drop_replies_to_code = static_cast<int>(n);
      } else {
        *error = "'" + item +
                 "' is not a fault switch (SERIAL:unplug-after=N or SERIAL:drop-code=HEX, "
                 "SERIAL one of VP0001..." +
                 vp::VirtualSerial(bank_.size() - 1) + ")";
        return false;
      }
      printer->SetFaults(faults);
    }
    return true;
  }

  vp::VirtualUsbBank bank_;
  SleepingPump pump_;
};

}  // namespace

std::unique_ptr<LinkResources> LinkResources::Make(const LinkOptions& options, std::string* error) {
  switch (options.kind) {
    case LinkOptions::Kind::kUsb:
      return std::make_unique<UsbResources>();
    case LinkOptions::Kind::kVirtual: {
      auto res = std::make_unique<VirtualResources>(options);
      if (!res->Load(options, error)) return nullptr;
      return res;
    }
    case LinkOptions::Kind::kSerial:
      return MakeSerialResources(options, error);
    case LinkOptions::Kind::kNetwork:
      return MakeNetResources(options, error);
  }
  return nullptr;
}

}  // namespace quillon::cli
