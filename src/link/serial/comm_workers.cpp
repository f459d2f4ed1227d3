// The serial port's read and write workers: each waits on the port and the close signal,
// never in a timed loop. The waits themselves are the system's (port_system.h).
#include "link/serial/comm_workers.h"

#include <algorithm>
#include <chrono>
#include <new>
#include <optional>

namespace quillon {
namespace {

using Steady = std::chrono::steady_clock;

}  // namespace

uint32_t LineErrorFlags(const LineCounters& before, const LineCounters& now) {
  uint32_t flags = 0;
  if (now.buf_overrun != before.buf_overrun) flags |= CE_RXOVER;
  if (now.overrun != before.overrun) flags |= CE_OVERRUN;
  if (now.parity != before.parity) flags |= CE_RXPARITY;
  if (now.frame != before.frame) flags |= CE_FRAME;
  if (now.brk != before.brk) flags |= CE_BREAK;
  return flags;
}

uint32_t ModemEvents(const LineCounters& before, const LineCounters& now) {
  uint32_t events = 0;
  if (now.dcd != before.dcd) events |= ME_RLSD;
  if (now.rng != before.rng) events |= ME_RING;
  return events;
}

bool WriteQueue::Push(Block block) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!accepting_) return false;
    unsent_.fetch_add(block.size());
    blocks_.push_back(std::move(block));
    send_empty_.store(false);
  }
  wake_.Set();
  return true;
}

bool WriteQueue::TryPop(Block& block) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (blocks_.empty()) {
    send_empty_.store(true);
    emptied_.notify_all();
    return false;
  }
  block = std::move(blocks_.front());
  blocks_.pop_front();
  return true;
}

void WriteQueue::Close() {
  std::lock_guard<std::mutex> lock(mutex_);
  accepting_ = false;
  blocks_.clear();
  emptied_.notify_all();
}

bool WriteQueue::WaitEmpty(uint32_t ms) {
  std::unique_lock<std::mutex> lock(mutex_);
  return emptied_.wait_for(lock, std::chrono::milliseconds(ms),
                           [this] { return send_empty_.load() || !accepting_; });
}

// ---- read worker ----

void TReadThread::Start() {
  thread_ = std::thread([this] { Execute(); });
}

void TReadThread::Join() {
  if (thread_.joinable()) thread_.join();
}

bool TReadThread::HandOn() {
  const size_t count = count_;
  count_ = 0;
  block_.Clear();
  if (count == 0) return true;
  CommMessage block;
  try {
    block = CommMessage::Received(buffer_, count);
  } catch (const std::bad_alloc&) {
    target_.RequestHangup();
    return false;
  }
  if (!target_.Post(std::move(block))) {
    target_.RequestHangup();
    return false;
  }
  return true;
}

// An error and a modem change seen together give two notifications, the error first.
bool TReadThread::PostLineEvents(bool error_event, uint32_t errors, uint32_t modem) {
  if ((error_event && !target_.Post(CommMessage(PWM_RECEIVEERROR, errors))) ||
      (modem != 0 && !target_.Post(CommMessage(PWM_MODEMSTATECHANGE, modem)))) {
    target_.RequestHangup();
    return false;
  }
  return true;
}

bool TReadThread::CheckCounters(LineCounters& last) {
  LineCounters now;
  if (!io_.GetCounters(hCommFile, now)) return true;
  const uint32_t flags = LineErrorFlags(last, now);
  const uint32_t events = ModemEvents(last, now);
  last = now;
  return PostLineEvents(flags != 0, flags, events);
}

bool TReadThread::Receive(PortReader& reader) {
  for (;;) {
    if (close_.IsSet()) return false;

    // When the block in progress ends if nothing more arrives.
    const ReadBlock::Timeouts timeouts{timeouts_.interval.load(), timeouts_.total_multiplier.load(),
                                       timeouts_.total_constant.load()};
    if (count_ > 0 && block_.Ended(Steady::now(), timeouts, INPUTBUFFERSIZE)) {
      if (!HandOn()) return false;
      continue;
    }
    const std::optional<Steady::time_point> deadline =
        count_ > 0 ? block_.Deadline(timeouts, INPUTBUFFERSIZE) : std::nullopt;
    std::optional<std::chrono::nanoseconds> wait;
    if (deadline) wait = std::max(Steady::duration::zero(), *deadline - Steady::now());
    if (has_counters_) {
      const std::chrono::nanoseconds check = std::chrono::milliseconds(kCounterCheckMs);
      wait = wait ? std::min(*wait, check) : check;
    }

    const PortRead r = reader.Wait(buffer_ + count_, INPUTBUFFERSIZE - count_, wait);
    switch (r.kind) {
      case PortRead::kClosed:
      case PortRead::kEnded:
        return false;
      case PortRead::kHungUp:
        return true;
      case PortRead::kBytes:
        block_.Add(Steady::now());
        count_ += r.count;
        if ((count_ == INPUTBUFFERSIZE || r.block_ended) && !HandOn()) return false;
        break;
      case PortRead::kLineEvent:
        if (!PostLineEvents(r.error_event, r.errors, r.modem)) return false;
        break;
      case PortRead::kNothing:
        break;
    }
    if (has_counters_ && !CheckCounters(counters_)) return false;
  }
}

void TReadThread::Execute() {
  RaiseWorkerPriority(PortWorker::kRead);
  {
    PortReader reader(hCommFile, close_.event());
    if (Receive(reader)) {
      // Bytes that came before the line went away are still handed on.
      (void)HandOn();
      target_.RequestHangup();
    }
    PurgePort(hCommFile, PortQueue::kInput);
  }  // the reader settles what is still pending
}

// ---- write worker ----

void TWriteThread::Start() {
  thread_ = std::thread([this] { Execute(); });
}

void TWriteThread::Join() {
  if (thread_.joinable()) thread_.join();
}

bool TWriteThread::HandleWriteData(const uint8_t* data, uint32_t count) {
  uint32_t position = 0;
  while (position < count) {
    const PortWrite w = WritePort(hCommFile, data + position, count - position, close_.event());
    if (w.kind == PortWrite::kHungUp) target_.RequestHangup();
    if (w.kind != PortWrite::kWritten) return false;
    position += w.count;
    queue_.Sent(w.count);
  }
  return true;
}

void TWriteThread::Execute() {
  RaiseWorkerPriority(PortWorker::kWrite);
  bool CompleteOneWriteRequire = true;
  for (;;) {
    WriteQueue::Block block;
    if (!queue_.TryPop(block)) {
      if (CompleteOneWriteRequire && !target_.Post(CommMessage(PWM_SENDDATAEMPTY))) {
        target_.RequestHangup();
        break;
      }
      CompleteOneWriteRequire = false;
      const int woke = WaitForEither(close_.event(), queue_.wake());
      if (woke == 0) break;
      if (woke < 0) {
        target_.RequestHangup();
        break;
      }
      queue_.ClearWake();
      continue;
    }
    if (close_.IsSet()) break;
    if (!HandleWriteData(block.data(), static_cast<uint32_t>(block.size()))) break;
    CompleteOneWriteRequire = true;
  }
  if (purge_on_exit_.load()) PurgePort(hCommFile, PortQueue::kOutput);
  queue_.Close();
  pFSendDataEmpty.store(true);
}

}  // namespace quillon
