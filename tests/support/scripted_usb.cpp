#include "support/scripted_usb.h"

#include <algorithm>
#include <cstring>

namespace quillon::testing {
namespace {

class ScriptedDevice final : public UsbDevice {
 public:
  explicit ScriptedDevice(ScriptedUsb& owner) : owner_(owner) { ++owner_.opens; }
  ~ScriptedDevice() override { ++owner_.closes; }
  bool Write(const uint8_t* data, size_t len) override { return owner_.DoWrite(data, len); }
  void SetWriteHoldOff(uint32_t ms) override { owner_.hold_off_ms = ms; }
  int Read(uint8_t* buf, size_t cap, uint32_t timeout_ms) override {
    return owner_.DoRead(buf, cap, timeout_ms);
  }

 private:
  ScriptedUsb& owner_;
};

}  // namespace

std::vector<uint8_t> ScriptedUsb::AllWritten() const {
  std::vector<uint8_t> all;
  for (const auto& w : writes) all.insert(all.end(), w.begin(), w.end());
  return all;
}

void ScriptedUsb::ListDevicePaths(std::vector<std::string>& out) {
  out.insert(out.end(), paths.begin(), paths.end());
}

UsbOpenResult ScriptedUsb::Open(const std::string& path) {
  UsbOpenResult r;
  if (open_error != UsbError::kNone) {
    r.error = open_error;
    r.holder = open_holder;
    r.node = open_holder == UsbHolder::kKernelDriver ? "/dev/usb/lp3" : "";
    r.message = "scripted open failure";
    return r;
  }
  if (std::find(paths.begin(), paths.end(), path) == paths.end()) {
    r.error = UsbError::kNotFound;
    r.message = "no such device";
    return r;
  }
  r.device = std::make_unique<ScriptedDevice>(*this);
  r.route = route;
  return r;
}

bool ScriptedUsb::DoWrite(const uint8_t* data, size_t len) {
  if (vanished) return false;
  if (accept_writes >= 0 && static_cast<int>(writes.size()) >= accept_writes) return false;
  writes.emplace_back(data, data + len);
  if (on_write) on_write(writes.back(), *this);
  return true;
}

int ScriptedUsb::DoRead(uint8_t* buf, size_t cap, uint32_t timeout_ms) {
  ++reads;
  if (vanished) return -1;
  if (chunks.empty()) {
    if (clock_) clock_->Advance(timeout_ms);
    return 0;
  }
  std::vector<uint8_t> chunk = std::move(chunks.front());
  chunks.pop_front();
  size_t n = std::min(cap, chunk.size());
  if (n > 0) std::memcpy(buf, chunk.data(), n);
  if (n < chunk.size()) chunks.emplace_front(chunk.begin() + static_cast<long>(n), chunk.end());
  if (n == 0 && clock_) clock_->Advance(timeout_ms);
  return static_cast<int>(n);
}

}  // namespace quillon::testing
