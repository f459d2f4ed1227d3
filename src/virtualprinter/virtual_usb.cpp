#include "virtualprinter/virtual_usb.h"

#include <algorithm>
#include <cctype>

namespace quillon::vp {
namespace {

class VirtualUsbDevice final : public UsbDevice {
 public:
  explicit VirtualUsbDevice(VirtualPrinter& printer) : printer_(printer) {}

  bool Write(const uint8_t* data, size_t len) override {
    if (!printer_.Plugged()) return false;
    printer_.Receive(data, len);
    return true;
  }

  int Read(uint8_t* buf, size_t cap, uint32_t timeout_ms) override {
    return printer_.WaitReply(buf, std::min<size_t>(cap, 4096), timeout_ms);
  }

 private:
  VirtualPrinter& printer_;
};

std::string Lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return s;
}

}  // namespace

VirtualUsbBackend::VirtualUsbBackend(VirtualPrinter& printer, std::string vid, std::string pid)
    : VirtualUsbBackend(printer, std::move(vid), std::move(pid), "", "") {}

VirtualUsbBackend::VirtualUsbBackend(VirtualPrinter& printer, std::string vid, std::string pid,
                                     std::string serial, std::string port_path)
    : printer_(printer),
      path_("\\\\?\\usb#vid_" + Lower(vid) + "&pid_" + Lower(pid) + "#" +
            (serial.empty() ? std::string("quillon-virtual") : serial) +
            "#{28d78fad-5a12-11d1-ae5b-0000f803a8c2}"),
      serial_(std::move(serial)),
      port_path_(std::move(port_path)) {}

void VirtualUsbBackend::ListDevicePaths(std::vector<std::string>& paths) {
  if (printer_.Plugged()) paths.push_back(path_);
}

void VirtualUsbBackend::ListDevices(std::vector<UsbDeviceInfo>& devices) {
  if (printer_.Plugged()) devices.push_back(UsbDeviceInfo{path_, port_path_, serial_, "virtual"});
}

UsbOpenResult VirtualUsbBackend::Open(const std::string& path) {
  UsbOpenResult r;
  if (path != path_ || !printer_.Plugged()) {
    r.error = UsbError::kNotFound;
    r.message = "the virtual printer is not connected (" + path + ")";
    return r;
  }
  ++opens_;
  printer_.DiscardReplies();
  r.device = std::make_unique<VirtualUsbDevice>(printer_);
  return r;
}

}  // namespace quillon::vp
