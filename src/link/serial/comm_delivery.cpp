// The port's orderly end: every byte handed over reaches the line before the port closes,
// a hung-up line closes the port, and the open error says why. Built only on the
// operating system seam of serial_io.h.
#include <algorithm>
#include <chrono>

#ifdef _WIN32
#include "link/serial/comm_workers_windows.h"
#else
#include "link/serial/comm_workers.h"
#endif
#include "link/serial/serial_io.h"
#include "link/serial/tcomm.h"

namespace quillon {
namespace {

constexpr uint32_t kDeliverySliceMs = 10;

}  // namespace

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
  return std::string(kCommOpenFailed) + "\r\n" + reason;
}

CommDelivery TComm::WaitDelivered(const std::function<bool()>& stopped) {
  CommDelivery d;
  d.handed = handed_;
  if (hCommFile == 0 || !WriteThread) return d;
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
  if (hCommFile == 0 || !PortHungUp(hCommFile)) return false;
  StopComm();
  line_lost_ = true;
  return true;
}

}  // namespace quillon
