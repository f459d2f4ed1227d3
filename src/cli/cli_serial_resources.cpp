// The serial path of quillon-cli: the serial component with the main window's settings,
// its notifications drained by the waits of the exchange.
#include "cli/cli_link_resources.h"
#include "cli/cli_stop.h"
#include "link/serial/comm_notifier.h"
#include "link/serial/serial_path.h"
#include "link/serial/tcomm.h"

namespace quillon::cli {
namespace {

// No USB devices: the serial path never looks for one.
class NoUsb final : public UsbBackend {
 public:
  void ListDevicePaths(std::vector<std::string>&) override {}
  UsbOpenResult Open(const std::string& path) override {
    UsbOpenResult r;
    r.error = UsbError::kNotFound;
    r.message = "no USB device on the serial path (" + path + ")";
    return r;
  }
};

class SerialResources final : public LinkResources {
 public:
  explicit SerialResources(const LinkOptions& o) : options_(o) { ConfigureMainWindowPort(comm_); }
  // The port closes only after what was handed over has been delivered (or could not be),
  // unless the user stopped the command.
  ~SerialResources() override { comm_.StopCommDelivered(Stopped()); }
  UsbBackend& usb() override { return usb_; }
  MessagePump& pump() override { return notifier_; }
  bool Attach(PrinterLink& link, std::string* error) override {
    AttachSerialPort(link, comm_);
    std::string why = ApplySerialChoice(link, comm_, options_.port, std::to_string(options_.baud),
                                        true, options_.connect_timeout_ms);
    if (!why.empty()) {
      *error = "cannot open " + options_.port + ": " + why;
      return false;
    }
    return true;
  }
  bool SerialOpen() const override { return comm_.IsOpen(); }
  bool RestartSerial(std::string& error) override {
    comm_.StopCommDelivered(Stopped());
    try {
      comm_.StartComm();
    } catch (const ECommsError& e) {
      error = e.what();
      return false;
    }
    return true;
  }
  void CloseSerial() override { comm_.StopCommDelivered(Stopped()); }
  std::string Deliver() override {
    const CommDelivery d = comm_.WaitDelivered(Stopped());
    if (d.ok()) return "";
    return std::to_string(d.undelivered) + " of " + std::to_string(d.handed) +
           " bytes were not delivered to the printer";
  }

 private:
  std::function<bool()> Stopped() {
    return [this] { return notifier_.stop().Requested() || StopSignal() != 0; };
  }
  LinkOptions options_;
  NoUsb usb_;
  QueueNotifier notifier_;
  TComm comm_{notifier_};  // declared last: stopped before the notifier goes
};

}  // namespace

std::unique_ptr<LinkResources> MakeSerialResources(const LinkOptions& options, std::string* error) {
  return std::make_unique<SerialResources>(options);
}

}  // namespace quillon::cli
