#include "link/usb_backend.h"

#include <algorithm>
#include <cstdio>

namespace quillon {

void CompositeUsbBackend::ListDevicePaths(std::vector<std::string>& paths) {
  for (UsbBackend* b : backends_) b->ListDevicePaths(paths);
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

}  // namespace quillon
