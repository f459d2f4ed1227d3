// The link kinds of quillon-cli: a real USB printer through the system's backend, the built-in
// virtual printer, or a serial port.
#include "cli/cli_link_resources.h"

#include <filesystem>
#include <system_error>

#include "core/utf8_path.h"
#include "link/usb_backend_system.h"
#include "virtualprinter/virtual_printer.h"
#include "virtualprinter/virtual_usb.h"

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

bool FileExists(const std::string& path) {
  std::error_code ec;
  return std::filesystem::exists(Utf8Path(path), ec);
}

class VirtualResources final : public LinkResources {
 public:
  explicit VirtualResources(const LinkOptions& o)
      : printer_(vp::VirtualPrinter::Options{}), backend_(printer_, Vid(o), Pid(o)) {}

  bool Load(const LinkOptions& o, std::string* error) {
    if (o.state.empty() || !FileExists(o.state)) return true;  // a new state file starts fresh
    std::string why;
    if (!printer_.LoadState(o.state, why)) {
      *error = "cannot load the virtual printer's state from " + o.state + ": " + why +
               " (--factory-state starts from the factory state)";
      return false;
    }
    return true;
  }
  UsbBackend& usb() override { return backend_; }
  MessagePump& pump() override { return pump_; }
  bool Finish(const LinkOptions& o, std::string* error) override {
    std::string why;
    if (!o.state.empty()) {
      std::error_code ec;  // the default state folder may not exist yet
      std::filesystem::create_directories(std::filesystem::path(o.state).parent_path(), ec);
    }
    if (!o.state.empty() && !printer_.SaveState(o.state, why)) {
      *error = "cannot save the virtual printer's state to " + o.state + ": " + why;
      return false;
    }
    if (!o.paper.empty() && !printer_.SavePng(o.paper, why)) {
      *error = "cannot save the paper to " + o.paper + ": " + why;
      return false;
    }
    return true;
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

  vp::VirtualPrinter printer_;
  vp::VirtualUsbBackend backend_;
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
