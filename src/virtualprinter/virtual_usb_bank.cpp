#include "virtualprinter/virtual_usb_bank.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace quillon::vp {

std::string VirtualSerial(int i) {
  char text[16];
  std::snprintf(text, sizeof text, "VP%04d", i + 1);
  return text;
}

bool ParseFaultSwitch(const std::string& text, std::string* serial, Faults* faults) {
  const auto colon = text.find(':');
  if (colon == std::string::npos || colon == 0) return false;
  const std::string item = text.substr(colon + 1);
  const auto eq = item.find('=');
  const std::string name = item.substr(0, eq);
  const std::string value = eq == std::string::npos ? "" : item.substr(eq + 1);
  *serial = text.substr(0, colon);
  if (name == "refuse-text-sets" && eq == std::string::npos) {
    faults->refuse_text_sets = true;
    return true;
  }
  char* end = nullptr;
  const unsigned long n = std::strtoul(value.c_str(), &end, name == "drop-code" ? 16 : 10);
  if (value.empty() || *end != '\0' || value[0] == '-' || value[0] == '+') return false;
  if (name == "unplug-after" && n >= 1 && n <= 1000000) {
    faults->unplug_after_packets = static_cast<uint32_t>(n);
    return true;
  }
  if (name == "drop-code" && n <= 255) {
    faults->drop_replies_to_code = static_cast<int>(n);
    return true;
  }
  return false;
}

VirtualUsbBank::VirtualUsbBank(int count, const std::string& vid, const std::string& pid,
                               const VirtualPrinter::Options& options) {
  for (int i = 0; i < count; ++i) {
    printers_.push_back(std::make_unique<VirtualPrinter>(options));
    usbs_.push_back(std::make_unique<VirtualUsbBackend>(
        *printers_.back(), vid, pid, VirtualSerial(i), "99-" + std::to_string(i + 1)));
  }
}

void VirtualUsbBank::ListDevicePaths(std::vector<std::string>& paths) {
  for (auto& u : usbs_) u->ListDevicePaths(paths);
}

void VirtualUsbBank::ListDevices(std::vector<UsbDeviceInfo>& devices) {
  for (auto& u : usbs_) u->ListDevices(devices);
}

UsbOpenResult VirtualUsbBank::Open(const std::string& path) {
  for (auto& u : usbs_) {
    if (u->path() == path) return u->Open(path);
  }
  UsbOpenResult r;
  r.error = UsbError::kNotFound;
  r.message = "the virtual printer is not connected (" + path + ")";
  return r;
}

VirtualPrinter* VirtualUsbBank::BySerial(const std::string& serial) {
  for (size_t i = 0; i < usbs_.size(); ++i) {
    if (usbs_[i]->serial() == serial) return printers_[i].get();
  }
  return nullptr;
}

std::string VirtualUsbBank::FileFor(const std::string& name, int i, const char* extension) const {
  if (name.empty() || size() == 1) return name;
  return (std::filesystem::path(name) / (VirtualSerial(i) + extension)).string();
}

// The folder the files go into may not exist yet: several printers' folder, or the folder of
// one printer's file. A failure shows when the file is written.
void VirtualUsbBank::MakeFolderFor(const std::string& name) const {
  std::error_code ec;
  const std::filesystem::path folder =
      size() > 1 ? std::filesystem::path(name) : std::filesystem::path(name).parent_path();
  if (!folder.empty()) std::filesystem::create_directories(folder, ec);
}

bool VirtualUsbBank::LoadStates(const std::string& state, std::string* error) {
  if (state.empty()) return true;
  std::error_code ec;
  for (int i = 0; i < size(); ++i) {
    const std::string file = FileFor(state, i, ".state");
    if (!std::filesystem::exists(file, ec)) continue;  // a new state starts fresh
    std::string why;
    if (!printer(i).LoadState(file, why)) {
      *error = "cannot load the virtual printer's state from " + file + ": " + why;
      return false;
    }
  }
  return true;
}

bool VirtualUsbBank::SaveStates(const std::string& state, std::string* error) {
  if (state.empty()) return true;
  MakeFolderFor(state);
  for (int i = 0; i < size(); ++i) {
    const std::string file = FileFor(state, i, ".state");
    std::string why;
    if (!printer(i).SaveState(file, why)) {
      *error = "cannot save the virtual printer's state to " + file + ": " + why;
      return false;
    }
  }
  return true;
}

bool VirtualUsbBank::SavePapers(const std::string& paper, std::string* error) {
  if (paper.empty()) return true;
  MakeFolderFor(paper);
  for (int i = 0; i < size(); ++i) {
    const std::string file = FileFor(paper, i, ".png");
    std::string why;
    if (!printer(i).SavePng(file, why)) {
      *error = "the paper was not saved: " + why;  // why names the file
      return false;
    }
  }
  return true;
}

}  // namespace quillon::vp
