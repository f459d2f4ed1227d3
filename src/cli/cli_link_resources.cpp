// The link kinds of quillon-cli: a real USB printer through the system's backend, the built-in
// virtual printer, or a serial port.
#include "cli/cli_link_resources.h"

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
  // "VP0002:unplug-after=5", "VP0002:drop-code=A1" or "VP0002:refuse-text-sets".
  bool ApplyFaults(const std::vector<std::string>& switches, std::string* error) {
    for (const std::string& item : switches) {
      std::string serial;
      vp::Faults wanted;
      vp::VirtualPrinter* printer = nullptr;
      if (vp::ParseFaultSwitch(item, &serial, &wanted)) printer = bank_.BySerial(serial);
      if (!printer) {
        *error = "'" + item +
                 "' is not a fault switch (SERIAL:unplug-after=N, SERIAL:drop-code=HEX or "
                 "SERIAL:refuse-text-sets, SERIAL one of VP0001..." +
                 vp::VirtualSerial(bank_.size() - 1) + ")";
        return false;
      }
      vp::Faults faults = printer->faults();
      vp::ParseFaultSwitch(item, &serial, &faults);
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
