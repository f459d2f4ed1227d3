#include "link/usb_backend.h"

#include <algorithm>
#include <cstdio>

namespace quillon {

void CompositeUsbBackend::ListDevicePaths(std::vector<std::string>& paths) {
  for (UsbBackend* b : backends_) b->ListDevicePaths(paths);
}

void UsbBackend::ListDevices(std::vector<UsbDeviceInfo>& devices) {
  std::vector<std::string> paths;
  ListDevicePaths(paths);
  for (std::string& p : paths) devices.push_back(UsbDeviceInfo{std::move(p), {}, {}, {}});
}

void CompositeUsbBackend::ListDevices(std::vector<UsbDeviceInfo>& devices) {
  for (UsbBackend* b : backends_) b->ListDevices(devices);
}

UsbOpenResult CompositeUsbBackend::Open(const std::string& path) {
  for (UsbBackend* b : backends_) {
    std::vector<std::string> listed;
    b->ListDevicePaths(listed);
    if (std::find(listed.begin(), listed.end(), path) != listed.end()) return b->Open(path);
  }
  UsbOpenResult r;
  r.error = UsbError::kNotFound;
  r.message = "the printer is no longer connected (" + path + ")";
  return r;
}

std::string UsbIdText(uint16_t vid, uint16_t pid) {
  char text[32];
  std::snprintf(text, sizeof text, "vid_%04x&pid_%04x", vid, pid);
  return text;
}

std::vector<UsbDeviceInfo> MatchingPrinters(const std::vector<UsbDeviceInfo>& devices,
                                            const std::string& id_text) {
  std::vector<UsbDeviceInfo> found;
  for (const UsbDeviceInfo& d : devices) {
    if (d.path.find(id_text) != std::string::npos) found.push_back(d);
  }
  return found;
}

const UsbDeviceInfo* ChooseUsbPrinter(const std::vector<UsbDeviceInfo>& devices,
                                      const std::string& id_text, const std::string& selector) {
  for (const UsbDeviceInfo& d : devices) {
    if (d.path.find(id_text) == std::string::npos) continue;
    if (selector.empty() || d.port_path == selector || d.serial == selector || d.path == selector)
      return &d;
  }
  return nullptr;
}

}  // namespace quillon
