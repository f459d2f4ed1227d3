// The USB printer device as a transport: the printer search (FindPrinter), the channel
// (OpenUsb's open, WriteUSB, ReadUSB, CloseUSB's close) and TUSB, the state of the USB link.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "link/transport.h"
#include "link/tusb.h"
#include "link/usb_backend.h"

namespace quillon {

inline constexpr size_t kUsbReadMax = 4096;  // one read asks the device for at most this

class UsbTransport final : public Transport {
 public:
  // on_open_failed is told of every open the device refused (not of a printer not found).
  UsbTransport(UsbBackend& backend, const std::function<void()>& on_open_failed)
      : backend_(backend), on_open_failed_(on_open_failed) {}

  const char* name() const override { return "USB"; }
  ReplyRule reply_rule() const override { return ReplyRule::kAtLeast; }
  bool Open(std::string& error) override;
  void Close() override { USB.hDevHandle.reset(); }
  bool IsOpen() const override { return static_cast<bool>(USB.hDevHandle); }
  bool HungUp() const override { return vanished_; }
  bool DiscardInput(bool drain_device) override;
  bool Write(const uint8_t* data, size_t len, uint32_t reply_wait_ms) override;
  int Read(uint8_t* buf, size_t cap, uint32_t wait_ms) override;

  // Searches the USB devices for "vid_" + VID + "&pid_" + PID (case-sensitive), or the
  // chosen one of several.
  void FindPrinter();
  // The channel's own operations: false when no printer was found or none is open.
  bool WriteUSB(const uint8_t* wbuf, int32_t wlen);
  // One read of up to kUsbReadMax bytes; a device that is gone is released.
  bool ReadUSB(uint8_t* buf, int32_t& len, uint32_t wait_ms);

  const TUSB& usb() const { return USB; }
  void SetIds(std::string vid, std::string pid);
  void SetChoice(std::string selector) { USB.Choice = std::move(selector); }
  UsbBackend& backend() { return backend_; }

  // Why the last open failed: its kind, who holds a busy printer, the kernel driver's node.
  UsbError error_kind() const { return error_kind_; }
  UsbHolder holder() const { return holder_; }
  const std::string& node() const { return node_; }
  // How the open device is reached ("kernel printer driver /dev/usb/lp0", "libusb, ...").
  const std::string& route() const { return route_; }

 private:
  UsbBackend& backend_;
  const std::function<void()>& on_open_failed_;
  TUSB USB;
  bool vanished_ = false;  // the open device went away (a read said so)
  UsbError error_kind_ = UsbError::kNone;
  UsbHolder holder_ = UsbHolder::kUnknown;
  std::string node_;
  std::string route_;
};

}  // namespace quillon
