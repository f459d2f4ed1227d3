// The serial port's read and write workers over a non-blocking file descriptor: both wait
// in poll() on the port and the close signal, never in a timed loop.
#include "link/serial/comm_workers.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/resource.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <new>
#include <optional>

namespace quillon {
namespace {

using Steady = std::chrono::steady_clock;

// Best effort: without the privilege to raise priority the thread simply stays normal.
void RaisePriority(int nice_value) {
  (void)setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), nice_value);
}

bool MakeEventFd(UniqueFd& fd) {
  fd.reset(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
  return fd.valid();
}

void Signal(int fd) {
  const uint64_t one = 1;
  ssize_t n;
  do {
    n = write(fd, &one, sizeof one);
  } while (n < 0 && errno == EINTR);
}

}  // namespace

bool CloseSignal::Create() {
  return MakeEventFd(fd_);
}

void CloseSignal::Set() {
  set_.store(true, std::memory_order_release);
  Signal(fd_.get());
}

WriteQueue::~WriteQueue() {
  Close();
}

bool WriteQueue::Create() {
  return MakeEventFd(wake_);
}

bool WriteQueue::Push(const Entry& entry) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!accepting_) return false;
    entries_.push_back(entry);
    unsent_.fetch_add(entry.count);
    send_empty_.store(false);
  }
  Signal(wake_.get());
  return true;
}

bool WriteQueue::TryPop(Entry& entry) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (entries_.empty()) {
    send_empty_.store(true);
    emptied_.notify_all();
    return false;
  }
  entry = entries_.front();
  entries_.pop_front();
  return true;
}

void WriteQueue::Close() {
  std::lock_guard<std::mutex> lock(mutex_);
  accepting_ = false;
  for (const Entry& e : entries_) delete[] e.block;
  entries_.clear();
  emptied_.notify_all();
}

bool WriteQueue::WaitEmpty(uint32_t ms) {
  std::unique_lock<std::mutex> lock(mutex_);
  return emptied_.wait_for(lock, std::chrono::milliseconds(ms),
                           [this] { return send_empty_.load() || !accepting_; });
}

void WriteQueue::ClearWake() {
  uint64_t value;
  while (read(wake_.get(), &value, sizeof value) < 0 && errno == EINTR) {
  }
}

// ---- read worker ----

void TReadThread::Start() {
  thread_ = std::thread([this] { Execute(); });
}

void TReadThread::Join() {
  if (thread_.joinable()) thread_.join();
}

bool TReadThread::HandleReadData(const uint8_t* data, size_t count) {
  if (count == 0) return false;
  CommMessage block;
  try {
    block = CommMessage::Received(data, count);
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

bool TReadThread::CheckCounters(LineCounters& last) {
  LineCounters now;
  if (!io_.GetCounters(hCommFile, now)) return true;
  const uint32_t flags = LineErrorFlags(last, now);
  const uint32_t events = ModemEvents(last, now);
  last = now;
  // An error and a modem change seen together give two notifications, the error first.
  if (flags != 0 && !target_.Post(CommMessage(PWM_RECEIVEERROR, flags))) {
    target_.RequestHangup();
    return false;
  }
  if (events != 0 && !target_.Post(CommMessage(PWM_MODEMSTATECHANGE, events))) {
    target_.RequestHangup();
    return false;
  }
  return true;
}

void TReadThread::Execute() {
  RaisePriority(-10);
  uint8_t buffer[INPUTBUFFERSIZE];
  size_t count = 0;
  ReadBlock block;
  bool hangup = false;

  for (;;) {
    if (close_.IsSet()) break;

    // When the block in progress ends if nothing more arrives.
    const ReadBlock::Timeouts timeouts{timeouts_.interval.load(), timeouts_.total_multiplier.load(),
                                       timeouts_.total_constant.load()};
    if (count > 0 && block.Ended(Steady::now(), timeouts, INPUTBUFFERSIZE)) {
      if (!HandleReadData(buffer, count)) break;
      count = 0;
      block.Clear();
      continue;
    }
    const std::optional<Steady::time_point> deadline =
        count > 0 ? block.Deadline(timeouts, INPUTBUFFERSIZE) : std::nullopt;

    std::optional<Steady::duration> wait;
    if (deadline) wait = std::max(Steady::duration::zero(), *deadline - Steady::now());
    if (has_counters_) {
      const Steady::duration check = std::chrono::milliseconds(kCounterCheckMs);
      wait = wait ? std::min(*wait, check) : check;
    }
    timespec ts{};
    if (wait) {
      const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(*wait).count();
      ts.tv_sec = static_cast<time_t>(ns / 1000000000);
      ts.tv_nsec = static_cast<long>(ns % 1000000000);
    }
    pollfd fds[2] = {{close_.fd(), POLLIN, 0}, {hCommFile, POLLIN, 0}};
    const int r = ppoll(fds, 2, wait ? &ts : nullptr, nullptr);
    if (r < 0) {
      if (errno == EINTR) continue;
      hangup = true;
      break;
    }
    if (fds[0].revents != 0) break;        // the close signal wins
    if (fds[1].revents & POLLNVAL) break;  // the port was closed under us
    if (fds[1].revents != 0) {
      const ssize_t n = read(hCommFile, buffer + count, INPUTBUFFERSIZE - count);
      if (n > 0) {
        block.Add(Steady::now());
        count += static_cast<size_t>(n);
        if (count == INPUTBUFFERSIZE) {
          if (!HandleReadData(buffer, count)) break;
          count = 0;
          block.Clear();
        }
      } else if (n == 0) {
        hangup = true;  // a hung-up terminal reads as end of file
        break;
      } else if (errno == EBADF) {
        break;
      } else if (errno == EAGAIN || errno == EINTR) {
        if (fds[1].revents & (POLLHUP | POLLERR)) {
          hangup = true;
          break;
        }
      } else {
        hangup = true;  // EIO: the device went away or the other side closed
        break;
      }
    }
    if (has_counters_ && !CheckCounters(counters_)) break;
  }

  if (hangup) {
    // Bytes that came before the line went away are still handed on.
    if (count > 0) (void)HandleReadData(buffer, count);
    target_.RequestHangup();
  }
  (void)tcflush(hCommFile, TCIFLUSH);
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
    const ssize_t n = write(hCommFile, data + position, count - position);
    if (n > 0) {
      position += static_cast<uint32_t>(n);
      queue_.Sent(static_cast<uint32_t>(n));
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno == EBADF) return false;
    if (n < 0 && errno != EAGAIN) {
      target_.RequestHangup();
      return false;
    }
    // The driver's output queue is full: wait until it takes more, or for the close signal.
    pollfd fds[2] = {{close_.fd(), POLLIN, 0}, {hCommFile, POLLOUT, 0}};
    const int r = poll(fds, 2, -1);
    if (r < 0) {
      if (errno == EINTR) continue;
      target_.RequestHangup();
      return false;
    }
    if (fds[0].revents != 0) return false;
    if (fds[1].revents & POLLNVAL) return false;
    if ((fds[1].revents & (POLLHUP | POLLERR)) && !(fds[1].revents & POLLOUT)) {
      target_.RequestHangup();
      return false;
    }
  }
  return true;
}

void TWriteThread::Execute() {
  RaisePriority(-5);
  bool CompleteOneWriteRequire = true;
  for (;;) {
    WriteQueue::Entry entry;
    if (!queue_.TryPop(entry)) {
      if (CompleteOneWriteRequire && !target_.Post(CommMessage(PWM_SENDDATAEMPTY))) {
        target_.RequestHangup();
        break;
      }
      CompleteOneWriteRequire = false;
      pollfd fds[2] = {{close_.fd(), POLLIN, 0}, {queue_.wake_fd(), POLLIN, 0}};
      const int r = poll(fds, 2, -1);
      if (r < 0 && errno == EINTR) continue;
      if (r < 0) {
        target_.RequestHangup();
        break;
      }
      if (fds[0].revents != 0) break;
      queue_.ClearWake();
      continue;
    }
    if (close_.IsSet()) {
      delete[] entry.block;
      break;
    }
    if (entry.kind != PWM_COMMWRITE) {
      delete[] entry.block;
      continue;
    }
    const bool sent = HandleWriteData(entry.block, entry.count);
    delete[] entry.block;
    if (!sent) break;
    CompleteOneWriteRequire = true;
  }
  if (purge_on_exit_.load()) (void)tcflush(hCommFile, TCOFLUSH);
  queue_.Close();
  pFSendDataEmpty.store(true);
}

}  // namespace quillon
