// The serial port's read and write workers over an overlapped Windows port handle: each
// waits on the close signal and its own completion events, never in a timed loop.
#include "link/serial/windows_serial.h"

#include <chrono>
#include <cstring>
#include <new>

#include "link/serial/comm_workers_windows.h"

namespace quillon {
namespace {

bool InvalidHandle(DWORD error) {
  return error == ERROR_INVALID_HANDLE;
}

// Ends an overlapped operation that may still be pending, so its record and event can go.
void Settle(HANDLE port, OVERLAPPED& ov, bool pending) {
  if (!pending) return;
  CancelIoEx(port, &ov);
  DWORD n = 0;
  (void)GetOverlappedResult(port, &ov, &n, TRUE);
}

}  // namespace

WriteQueue::~WriteQueue() {
  Close();
}

bool WriteQueue::Push(const Entry& entry) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!accepting_) return false;
    entries_.push_back(entry);
    unsent_.fetch_add(entry.count);
    send_empty_.store(false);
  }
  SetEvent(wake_.get());
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

// ---- read worker ----

void TReadThread::Start() {
  thread_ = std::thread([this] { Execute(); });
}

void TReadThread::Join() {
  if (thread_.joinable()) thread_.join();
}

bool TReadThread::HandleReadData(DWORD count) {
  if (count == 0) return true;  // a total time-out passed with nothing: go on reading
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

bool TReadThread::SetupReadEvent() {
  for (;;) {
    if (close_.IsSet()) return false;
    DWORD n = 0;
    if (ReadFile(hCommFile, buffer_, INPUTBUFFERSIZE, &n, &read_ov_)) {
      // Completed at once. Nothing at once means the time-outs ask for an immediate
      // return: reading again would spin, so the worker ends, as the driver asked.
      if (n == 0 || !HandleReadData(n)) return false;
      continue;
    }
    const DWORD error = GetLastError();
    if (error == ERROR_IO_PENDING) return true;
    if (!InvalidHandle(error)) target_.RequestHangup();
    return false;
  }
}

bool TReadThread::HandleReadEvent() {
  DWORD n = 0;
  if (!GetOverlappedResult(hCommFile, &read_ov_, &n, FALSE)) {
    const DWORD error = GetLastError();
    if (error == ERROR_OPERATION_ABORTED && close_.IsSet()) return false;
    if (!InvalidHandle(error)) target_.RequestHangup();
    return false;
  }
  return HandleReadData(n);
}

bool TReadThread::SetupCommEvent(bool first) {
  for (;;) {
    if (close_.IsSet()) return false;
    if (WaitCommEvent(hCommFile, &fdwEvtMask, &event_ov_)) {
      if (!HandleCommEvent(false)) return false;
      first = false;
      continue;
    }
    const DWORD error = GetLastError();
    if (error == ERROR_IO_PENDING) return true;
    if (InvalidHandle(error)) return false;
    if (first) {
      // A driver that cannot watch its modem lines at all (a virtual port without them)
      // still carries data: receive without line events rather than not at all.
      line_events_ = false;
      return true;
    }
    target_.RequestHangup();
    return false;
  }
}

bool TReadThread::HandleCommEvent(bool retrieve) {
  if (retrieve) {
    DWORD n = 0;
    if (!GetOverlappedResult(hCommFile, &event_ov_, &n, FALSE)) {
      if (!InvalidHandle(GetLastError())) target_.RequestHangup();
      return false;
    }
  }
  bool result = false;
  if (fdwEvtMask & EV_ERR) {
    DWORD errors = 0;
    if (!TakeCommErrors(hCommFile, errors)) {
      if (!InvalidHandle(GetLastError())) target_.RequestHangup();
      return false;
    }
    if (!target_.Post(CommMessage(PWM_RECEIVEERROR, errors))) {
      target_.RequestHangup();
      return false;
    }
    result = true;
  }
  uint32_t modem = 0;
  if (fdwEvtMask & EV_RLSD) modem |= ME_RLSD;
  if (fdwEvtMask & EV_RING) modem |= ME_RING;
  if (modem != 0) {
    if (!target_.Post(CommMessage(PWM_MODEMSTATECHANGE, modem))) {
      target_.RequestHangup();
      return false;
    }
    result = true;
  }
  if (!result) target_.RequestHangup();
  return result;
}

void TReadThread::Execute() {
  SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_HIGHEST);
  UniqueEvent read_done, event_done;
  bool read_pending = false, event_pending = false;
  if (!read_done.Create(true, true) || !event_done.Create(true, true)) {
    target_.RequestHangup();
  } else {
    read_ov_.hEvent = read_done.get();
    event_ov_.hEvent = event_done.get();
    bool running = SetCommMask(hCommFile, kWatchedCommEvents) != 0;
    if (!running) target_.RequestHangup();
    running = running && SetupCommEvent(true);
    event_pending = running && line_events_;
    running = running && (read_pending = SetupReadEvent());
    while (running) {
      // The close signal wins over the line event, the line event over the read.
      HANDLE waits[3] = {close_.handle(), event_done.get(), read_done.get()};
      DWORD count = 3;
      if (!line_events_) {
        waits[1] = read_done.get();
        count = 2;
      }
      const DWORD r = WaitForMultipleObjects(count, waits, FALSE, INFINITE);
      if (r == WAIT_OBJECT_0) break;
      const HANDLE fired = r - WAIT_OBJECT_0 < count ? waits[r - WAIT_OBJECT_0] : nullptr;
      if (fired == event_done.get()) {
        event_pending = false;
        running = HandleCommEvent(true) && (event_pending = SetupCommEvent(false));
      } else if (fired == read_done.get()) {
        read_pending = false;
        running = HandleReadEvent() && (read_pending = SetupReadEvent());
      } else {
        target_.RequestHangup();
        break;
      }
    }
  }
  // Abort the pending read and line-event wait, and let both finish with our records.
  (void)PurgeComm(hCommFile, PURGE_RXABORT | PURGE_RXCLEAR);
  (void)SetCommMask(hCommFile, 0);
  Settle(hCommFile, read_ov_, read_pending);
  Settle(hCommFile, event_ov_, event_pending);
}

// ---- write worker ----

void TWriteThread::Start() {
  thread_ = std::thread([this] { Execute(); });
}

void TWriteThread::Join() {
  if (thread_.joinable()) thread_.join();
}

bool TWriteThread::HandleWriteData(const uint8_t* data, uint32_t count) {
  UniqueEvent done;
  if (!done.Create(true, true)) {
    target_.RequestHangup();
    return false;
  }
  uint32_t position = 0;
  while (position < count) {
    OVERLAPPED ov = {};
    ov.hEvent = done.get();
    DWORD written = 0;
    if (!WriteFile(hCommFile, data + position, count - position, &written, &ov)) {
      const DWORD error = GetLastError();
      if (InvalidHandle(error)) return false;
      if (error != ERROR_IO_PENDING) {
        target_.RequestHangup();
        return false;
      }
      const HANDLE waits[2] = {close_.handle(), done.get()};
      const DWORD r = WaitForMultipleObjects(2, waits, FALSE, INFINITE);
      if (r == WAIT_OBJECT_0) {
        Settle(hCommFile, ov, true);
        return false;
      }
      if (r != WAIT_OBJECT_0 + 1) {
        Settle(hCommFile, ov, true);
        target_.RequestHangup();
        return false;
      }
      if (!GetOverlappedResult(hCommFile, &ov, &written, TRUE)) {
        if (!InvalidHandle(GetLastError())) target_.RequestHangup();
        return false;
      }
    }
    position += written;
    queue_.Sent(written);
  }
  return true;
}

void TWriteThread::Execute() {
  SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_ABOVE_NORMAL);
  bool CompleteOneWriteRequire = true;
  for (;;) {
    WriteQueue::Entry entry;
    if (!queue_.TryPop(entry)) {
      if (CompleteOneWriteRequire && !target_.Post(CommMessage(PWM_SENDDATAEMPTY))) {
        target_.RequestHangup();
        break;
      }
      CompleteOneWriteRequire = false;
      const HANDLE waits[2] = {close_.handle(), queue_.wake_handle()};
      const DWORD r = WaitForMultipleObjects(2, waits, FALSE, INFINITE);
      if (r == WAIT_OBJECT_0) break;
      if (r != WAIT_OBJECT_0 + 1) {
        target_.RequestHangup();
        break;
      }
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
  if (purge_on_exit_.load()) (void)PurgeComm(hCommFile, PURGE_TXABORT | PURGE_TXCLEAR);
  queue_.Close();
  pFSendDataEmpty.store(true);
}

}  // namespace quillon
