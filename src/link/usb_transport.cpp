#include "link/usb_transport.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace quillon {

void UsbTransport::SetIds(std::string vid, std::string pid) {
  USB.VID = std::move(vid);
  USB.PID = std::move(pid);
}

void UsbTransport::FindPrinter() {
  std::vector<std::string> paths;
  TUSBHelper(backend_).SearchDevice(paths);
  USB.isFindPrint = false;
  const std::string search = "vid_" + USB.VID + "&pid_" + USB.PID;
  if (!USB.Choice.empty()) {
    std::vector<UsbDeviceInfo> devices;
    backend_.ListDevices(devices);
    if (const UsbDeviceInfo* chosen = ChooseUsbPrinter(devices, search, USB.Choice)) {
      USB.PrintAddr = chosen->path;
      USB.isFindPrint = true;
    }
    return;
  }
  for (const std::string& path : paths) {
    if (path.find(search) != std::string::npos) {
      USB.PrintAddr = path;
      USB.isFindPrint = true;
      return;
    }
  }
}

bool UsbTransport::Open(std::string& error) {
  if (!USB.isFindPrint) {
    // The handle is left as it is; the caller can still tell the user why.
    error_kind_ = UsbError::kNotFound;
    error = "no printer with vid_" + USB.VID + "&pid_" + USB.PID + " is connected";
    return false;
  }
  USB.hDevHandle.reset();  // a handle still open from an earlier open is released first
  UsbOpenResult r = backend_.Open(USB.PrintAddr);
  if (!r.device) {
    error_kind_ = r.error == UsbError::kNone ? UsbError::kIo : r.error;
    error = r.message.empty() ? "the printer could not be opened" : r.message;
    holder_ = r.holder;
    node_ = r.node;
    if (on_open_failed_) on_open_failed_();
    return false;
  }
  error.clear();
  error_kind_ = UsbError::kNone;
  holder_ = UsbHolder::kUnknown;
  node_.clear();
  route_ = r.route;
  vanished_ = false;
  USB.hDevHandle = std::move(r.device);
  return true;
}

bool UsbTransport::DiscardInput(bool drain_device) {
  if (!drain_device) return true;
  uint8_t pending[kUsbReadMax];
  int32_t n = 0;
  ReadUSB(pending, n, 0);
  return IsOpen();
}

bool UsbTransport::Write(const uint8_t* data, size_t len, uint32_t reply_wait_ms) {
  if (USB.hDevHandle) USB.hDevHandle->SetWriteHoldOff(reply_wait_ms);
  return WriteUSB(data, static_cast<int32_t>(len));
}

int UsbTransport::Read(uint8_t* buf, size_t cap, uint32_t wait_ms) {
  // The device is always asked for a whole read; what does not fit is dropped.
  uint8_t chunk[kUsbReadMax];
  int32_t n = 0;
  ReadUSB(chunk, n, wait_ms);
  if (!IsOpen()) return -1;  // unplugged during this read
  n = std::min<int32_t>(n, static_cast<int32_t>(cap));
  std::memcpy(buf, chunk, static_cast<size_t>(n));
  return n;
}

bool UsbTransport::WriteUSB(const uint8_t* wbuf, int32_t wlen) {
  if (!USB.isFindPrint || !USB.hDevHandle) return false;
  return USB.hDevHandle->Write(wbuf, static_cast<size_t>(std::max(wlen, 0)));
}

bool UsbTransport::ReadUSB(uint8_t* buf, int32_t& len, uint32_t wait_ms) {
  len = 0;
  if (!USB.hDevHandle) return true;
  const int n = USB.hDevHandle->Read(buf, kUsbReadMax, wait_ms);
  if (n < 0) {
    USB.hDevHandle.reset();  // unplugged: later waits sleep instead of re-reading
    vanished_ = true;
  }
  len = n > 0 ? n : 0;
  return true;
}

}  // namespace quillon
