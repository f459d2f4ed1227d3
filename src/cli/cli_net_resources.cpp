// The network path of quillon-cli: a printer reached over TCP, one connection per command.
#include "cli/cli_link_resources.h"
#include "link/tcp_link.h"

namespace quillon::cli {
namespace {

class NoUsbDevices final : public UsbBackend {
 public:
  void ListDevicePaths(std::vector<std::string>&) override {}
  UsbOpenResult Open(const std::string& path) override {
    UsbOpenResult r;
    r.error = UsbError::kNotFound;
    r.message = "no USB device on the network path (" + path + ")";
    return r;
  }
};

class NetResources final : public LinkResources {
 public:
  explicit NetResources(const NetAddress& address) : net_(SystemClock(), pump_) {
    net_.SetAddress(address);
  }
  ~NetResources() override { net_.Close(); }
  UsbBackend& usb() override { return usb_; }
  MessagePump& pump() override { return pump_; }
  bool Attach(PrinterLink& link, std::string* error) override {
    link.SetNetLink(&net_);
    link.SetUseNetwork(true);
    // The connection made here serves the command's first exchange.
    if (!net_.Open()) {
      *error = net_.LastError();
      return false;
    }
    return true;
  }
  bool NetConnected() const override { return net_.connected(); }

 private:
  NoUsbDevices usb_;
  SleepingPump pump_;
  TcpLink net_;
};

}  // namespace

std::unique_ptr<LinkResources> MakeNetResources(const LinkOptions& options, std::string* error) {
  auto address = ParseNetAddress(options.tcp, *error);
  if (!address) return nullptr;
  return std::make_unique<NetResources>(*address);
}

}  // namespace quillon::cli
