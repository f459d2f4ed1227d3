// The port's orderly end: every byte handed over reaches the line before the port closes,
// a hung-up line closes the port, and the open error says why. Built only on the
// operating system seam of port_system.h.
#include "link/serial/comm_delivery.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "link/serial/comm_workers.h"
#include "link/serial/line_probe.h"
#include "link/serial/port_system.h"
#include "link/serial/tcomm.h"

namespace quillon {
namespace {

// How long one wait of a delivery may go without asking whether the user has stopped.
constexpr uint32_t kDeliverySliceMs = 10;
// A deadline the 32-bit millisecond tick can still measure.
constexpr uint64_t kLongestDeliveryMs = 0x7fffffff;

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
  return std::string(kCommOpenFailed) + "\r\n" + reason;
}

uint32_t LineBitsPerByte(const LineSettings& line) {
  const uint32_t data = static_cast<uint32_t>(line.ByteSize) + 5;
  const uint32_t parity = line.Parity == TParity::None ? 0 : 1;
  const uint32_t stop = line.StopBits == TStopBits::_1 ? 1 : 2;
  return 1 + data + parity + stop;
}

CommDelivery WaitLineDelivered(DeliveryLine& line, uint64_t handed, uint32_t baud_rate,
                               uint32_t bits_per_byte, Clock& clock,
                               const std::function<bool()>& stopped) {
  CommDelivery d;
  d.handed = handed;
  const uint64_t queued = line.Unsent() + line.OutputQueued();
  const uint64_t rate = std::max<uint32_t>(baud_rate, 1);
  const uint64_t need_ms = (queued * bits_per_byte * 1000 + rate - 1) / rate;
  const uint32_t limit_ms =
      static_cast<uint32_t>(std::min<uint64_t>(need_ms + kDeliverySlackMs, kLongestDeliveryMs));
  const uint32_t start = clock.NowMs();
  auto left_ms = [&] {
    const uint32_t spent = ElapsedMs(start, clock.NowMs());
    return spent >= limit_ms ? 0u : limit_ms - spent;
  };

  // First the write worker's queue ("send data empty"), then the driver's own buffer. A
  // stop is asked for before every slice of either: the user's stop abandons the output.
  bool written = false;
  bool drained = false;
  while (!(stopped && stopped())) {
    const uint32_t slice = std::min(kDeliverySliceMs, left_ms());
    if (!written) {
      written = line.WaitWritten(slice);
      if (written && line.Unsent() != 0) break;  // the worker ended: the rest will not go
      if (written) continue;
    } else if ((drained = line.DrainOutput(slice))) {
      break;
    }
    if (left_ms() == 0 || line.HungUp()) break;
  }
  if (!drained) d.undelivered = std::max<uint64_t>(line.Unsent() + line.OutputQueued(), 1);
  return d;
}

CommDelivery TComm::WaitDelivered(const std::function<bool()>& stopped) {
  if (!IsOpen() || !WriteThread) return CommDelivery{handed_, 0};
  // The component's own port: its write worker's queue and the operating system's driver.
  class PortLine final : public DeliveryLine {
   public:
    PortLine(WriteQueue& queue, NativeHandle port) : queue_(queue), port_(port) {}
    uint64_t Unsent() override { return queue_.Unsent(); }
    bool WaitWritten(uint32_t ms) override { return queue_.WaitEmpty(ms); }
    uint64_t OutputQueued() override { return PortOutputQueued(port_); }
    bool DrainOutput(uint32_t ms) override { return DrainPortOutput(port_, ms); }
    bool HungUp() override { return PortHungUp(port_); }

   private:
    WriteQueue& queue_;
    NativeHandle port_;
  } line(WriteThread->queue(), hCommFile);
  return WaitLineDelivered(line, handed_, line_.BaudRate, LineBitsPerByte(line_), SystemClock(),
                           stopped);
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
