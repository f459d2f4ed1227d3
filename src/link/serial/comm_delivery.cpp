// The port's orderly end: every byte handed over reaches the line before the port closes,
// a hung-up line closes the port, and the open error says why. Built only on the
// operating system seam of port_system.h.
#include <algorithm>
#include <chrono>
#include <thread>

#include "link/serial/comm_workers.h"
#include "link/serial/line_probe.h"
#include "link/serial/port_system.h"
#include "link/serial/tcomm.h"

namespace quillon {
namespace {

constexpr uint32_t kDeliverySliceMs = 10;

// Waits until the driver has sent every byte it holds, at most timeout_ms. True when it
// has; false at the deadline or when the port failed.
bool DrainPortOutput(NativeHandle port, uint32_t timeout_ms) {
  using Steady = std::chrono::steady_clock;
  const Steady::time_point end = Steady::now() + std::chrono::milliseconds(timeout_ms);
  // The system's drain has no time limit (a line stopped by flow control would keep it
  // forever), so the driver's queue is watched in short slices while the line takes the
  // bytes, and the drain is left only the last few in the UART.
  constexpr auto kSlice = std::chrono::milliseconds(kDeliverySliceMs);
  while (PortOutputQueued(port) > 0) {
    if (PortHungUp(port)) return false;
    const Steady::time_point now = Steady::now();
    if (now >= end) return false;
    std::this_thread::sleep_for(std::min<Steady::duration>(kSlice, end - now));
  }
  if (PortHungUp(port)) return false;
  return FlushPortOutput(port);
}

}  // namespace

bool SerialLineGone(NativeHandle handle) {
  return PortHungUp(handle);
}

std::string CommOpenErrorText(PortOpenFailure why, const std::string& path,
                              const std::string& detail) {
  std::string reason;
  switch (why) {
    case PortOpenFailure::kMissing:
      reason = path + " does not exist";
      break;
    case PortOpenFailure::kAccess:
      reason = "no permission to open " + path +
               ": add your user to the dialout group (sudo usermod -aG dialout $USER) and log "
               "in again";
      break;
    case PortOpenFailure::kBusy:
      reason = path + " is in use by another program";
      break;
    case PortOpenFailure::kOther:
      reason = "cannot open " + path + (detail.empty() ? "" : ": " + detail);
      break;
  }
  return std::string(kCommOpenFailedTitle) + "\r\n" + reason;
}

CommDelivery TComm::WaitDelivered(const std::function<bool()>& stopped) {
  CommDelivery d;
  d.handed = handed_;
  if (!IsOpen() || !WriteThread) return d;
  WriteQueue& queue = WriteThread->queue();
  const uint64_t queued = queue.Unsent() + PortOutputQueued(hCommFile);
  const uint64_t rate = std::max<uint32_t>(line_.BaudRate, 1);
  const uint64_t limit_ms = queued * 10 * 1000 / rate + kDeliverySlackMs;
  using Steady = std::chrono::steady_clock;
  const Steady::time_point end = Steady::now() + std::chrono::milliseconds(limit_ms);
  auto left_ms = [&] {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Steady::now());
    return static_cast<uint32_t>(std::max<int64_t>(left.count(), 0));
  };

  // First the write worker's queue ("send data empty"), then the driver's own buffer.
  bool written = false;
  while (!(written = queue.WaitEmpty(std::min(kDeliverySliceMs, left_ms())))) {
    if (left_ms() == 0 || (stopped && stopped()) || PortHungUp(hCommFile)) break;
  }
  bool drained = written && queue.Unsent() == 0;
  if (drained) drained = DrainPortOutput(hCommFile, left_ms());
  if (!drained) d.undelivered = std::max<uint64_t>(queue.Unsent() + PortOutputQueued(hCommFile), 1);
  return d;
}

CommDelivery TComm::StopCommDelivered(const std::function<bool()>& stopped) {
  const CommDelivery d = WaitDelivered(stopped);
  Stop(!d.ok());
  return d;
}

bool TComm::CloseIfHungUp() {
  if (!IsOpen() || !PortHungUp(hCommFile)) return false;
  StopComm();
  line_lost_ = true;
  return true;
}

}  // namespace quillon
