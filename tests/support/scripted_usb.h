// A scripted USB printer: records every write and answers with queued reply chunks.
// Reads advance a fake clock by the slice they would have blocked for.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "link/usb_backend.h"
#include "support/fake_clock.h"

namespace quillon::testing {

class ScriptedUsb final : public UsbBackend {
 public:
  explicit ScriptedUsb(FakeClock* clock = nullptr) : clock_(clock) {}

  // Devices the backend lists, in order.
  std::vector<std::string> paths{"\\\\?\\usb#vid_1fc9&pid_2016#5&1&1#{a5dcbf10}"};
  // Reply chunks: each read returns the next chunk (an empty chunk is one empty read).
  std::deque<std::vector<uint8_t>> chunks;
  // Writes received, one entry per Write call.
  std::vector<std::vector<uint8_t>> writes;
  // Called after each write, so a test can queue a reply that depends on the request.
  std::function<void(const std::vector<uint8_t>&, ScriptedUsb&)> on_write;

  UsbError open_error = UsbError::kNone;
  UsbHolder open_holder = UsbHolder::kUnknown;  // with open_error kBusy
  std::string route;                            // how an open device is reached
  bool vanished = false;                        // reads return -1 and writes fail
  int accept_writes = -1;    // writes after this many fail (a printer holding the bus off); -1: all
  uint32_t hold_off_ms = 0;  // what the link last asked the device to wait out
  int opens = 0;
  int closes = 0;
  int reads = 0;

  void QueueReply(std::vector<uint8_t> bytes) { chunks.push_back(std::move(bytes)); }
  // All bytes written so far, concatenated.
  std::vector<uint8_t> AllWritten() const;

  void ListDevicePaths(std::vector<std::string>& out) override;
  UsbOpenResult Open(const std::string& path) override;

  // Used by the device objects.
  bool DoWrite(const uint8_t* data, size_t len);
  int DoRead(uint8_t* buf, size_t cap, uint32_t timeout_ms);

 private:
  FakeClock* clock_;
};

}  // namespace quillon::testing
