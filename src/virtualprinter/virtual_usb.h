// The virtual printer as a USB device in the same process: the backend lists one printer
// path with the configured "vid_...&pid_..." and its device feeds the engine.
#pragma once

#include <string>

#include "link/usb_backend.h"
#include "virtualprinter/virtual_printer.h"

namespace quillon::vp {

// Identifiers used when config.ini names none.
inline constexpr const char* kDefaultVid = "c0de";
inline constexpr const char* kDefaultPid = "7001";

class VirtualUsbBackend final : public UsbBackend {
 public:
  // vid and pid are four hex digits (as in config.ini); they are listed in lower case.
  explicit VirtualUsbBackend(VirtualPrinter& printer, std::string vid = kDefaultVid,
                             std::string pid = kDefaultPid);
  // One of several on a virtual hub: its serial number names its path, and it sits on its
  // own port (port_path "99-2").
  VirtualUsbBackend(VirtualPrinter& printer, std::string vid, std::string pid, std::string serial,
                    std::string port_path);

  // Lists the printer's path while it is plugged in.
  void ListDevicePaths(std::vector<std::string>& paths) override;
  void ListDevices(std::vector<UsbDeviceInfo>& devices) override;
  // Opening discards replies nobody read (VirtualPrinter::DiscardReplies).
  UsbOpenResult Open(const std::string& path) override;

  // Pulls the cable / plugs it back in: while unplugged the path is not listed, open
  // fails, writes fail and reads of an open device return -1.
  void Unplug() { printer_.Unplug(); }
  void Plug() { printer_.Plug(); }

  const std::string& path() const { return path_; }
  const std::string& serial() const { return serial_; }
  const std::string& port_path() const { return port_path_; }
  VirtualPrinter& printer() { return printer_; }
  int opens() const { return opens_; }

 private:
  VirtualPrinter& printer_;
  std::string path_;
  std::string serial_;
  std::string port_path_;
  int opens_ = 0;
};

}  // namespace quillon::vp
