// The serial port's two worker threads on Windows and what they share with the component:
// the close signal (an event) and the write queue. Both workers wait on events with
// overlapped I/O, never in a timed loop.
#pragma once

#include "link/serial/windows_serial.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <thread>
#include <utility>

#include "link/serial/comm_notifier.h"
#include "link/serial/comm_types.h"

namespace quillon {

inline constexpr uint32_t PWM_COMMWRITE = 1025;  // write-queue entry: one block to send
// Line events the read worker watches: carrier detect, line errors, ring.
inline constexpr DWORD kWatchedCommEvents = EV_RLSD | EV_ERR | EV_RING;

// The component's port handle as the shared header keeps it (an int): a kernel handle's
// value fits in 32 bits and is sign-extended back.
inline HANDLE CommHandleOf(int value) {
  return reinterpret_cast<HANDLE>(static_cast<intptr_t>(value));
}
inline int CommHandleValue(HANDLE h) {
  return static_cast<int>(reinterpret_cast<intptr_t>(h));
}

// ClearCommError for the queries that only want the port's state (gone or not, bytes in
// the driver's queues): the line errors it clears on the way are kept for the read worker.
// False when the driver refuses (the device is gone).
bool PeekCommStatus(HANDLE port, COMSTAT& status);
// ClearCommError for the read worker: the line errors since it last asked, those cleared
// by PeekCommStatus included.
bool TakeCommErrors(HANDLE port, DWORD& errors);
// Drops what PeekCommStatus kept for a port being closed.
void ForgetCommErrors(HANDLE port);

// An event handle that closes itself.
class UniqueEvent {
 public:
  UniqueEvent() = default;
  UniqueEvent(const UniqueEvent&) = delete;
  UniqueEvent& operator=(const UniqueEvent&) = delete;
  ~UniqueEvent() { reset(); }
  // manual: stays signalled until reset; initially: created signalled.
  bool Create(bool manual, bool initially) {
    reset();
    h_ = CreateEventW(nullptr, manual, initially, nullptr);
    return h_ != nullptr;
  }
  HANDLE get() const { return h_; }
  void reset() {
    if (h_) CloseHandle(h_);
    h_ = nullptr;
  }

 private:
  HANDLE h_ = nullptr;
};

// Set once by the owner to stop both workers (manual reset, never reset again).
class CloseSignal {
 public:
  bool Create() { return event_.Create(true, false); }
  void Set() {
    set_.store(true, std::memory_order_release);
    SetEvent(event_.get());
  }
  bool IsSet() const { return set_.load(std::memory_order_acquire); }
  HANDLE handle() const { return event_.get(); }

 private:
  UniqueEvent event_;
  std::atomic<bool> set_{false};
};

// Where the workers post: the owner's notification queue and the component it serves.
struct PostTarget {
  Notifier* notifier;
  TComm* component;
  bool Post(CommMessage message) const { return notifier->post(component, std::move(message)); }
  void RequestHangup() const { (void)Post(CommMessage(PWM_REQUESTHANGUP)); }
};

// The write worker's own queue, as on Linux: appended to by WriteCommData, taken from in
// order by the worker, the send-empty flag kept under its lock. An auto-reset event wakes
// the worker.
class WriteQueue {
 public:
  struct Entry {
    uint32_t kind = 0;
    uint32_t count = 0;
    uint8_t* block = nullptr;  // count + 1 bytes, owned by the entry
  };

  explicit WriteQueue(std::atomic<bool>& send_empty) : send_empty_(send_empty) {}
  ~WriteQueue();
  bool Create() { return wake_.Create(false, false); }
  bool Push(const Entry& entry);  // takes ownership of the block when it returns true
  bool TryPop(Entry& entry);      // false (and the send-empty flag set) when none is queued
  void Close();                   // refuses further entries and drops those still queued
  HANDLE wake_handle() const { return wake_.get(); }

  // The write worker has handed count more bytes of the current block to the driver.
  void Sent(uint32_t count) { unsent_.fetch_sub(count); }
  // Bytes queued or in the block being written, not yet handed to the driver.
  uint64_t Unsent() const { return unsent_.load(); }
  // Waits at most ms until nothing is left to write (or the worker has ended); true then.
  bool WaitEmpty(uint32_t ms);

 private:
  std::atomic<bool>& send_empty_;
  std::mutex mutex_;
  std::condition_variable emptied_;
  std::deque<Entry> entries_;
  bool accepting_ = true;
  std::atomic<uint64_t> unsent_{0};
  UniqueEvent wake_;
};

// Receives: one overlapped read of up to 4096 bytes and one overlapped line-event wait
// outstanding at all times. The port's time-outs end a read (the interval after a byte).
class TReadThread {
 public:
  TReadThread(HANDLE port, const CloseSignal& close, PostTarget target)
      : hCommFile(port), close_(close), target_(target) {}
  void Start();  // throws std::system_error when the thread cannot be created
  void Join();

 private:
  void Execute();
  bool SetupReadEvent();
  bool HandleReadEvent();
  bool HandleReadData(DWORD count);
  bool SetupCommEvent(bool first);
  bool HandleCommEvent(bool retrieve);

  HANDLE hCommFile;
  const CloseSignal& close_;
  PostTarget target_;
  uint8_t buffer_[INPUTBUFFERSIZE] = {};
  DWORD fdwEvtMask = 0;
  OVERLAPPED read_ov_ = {};
  OVERLAPPED event_ov_ = {};
  bool line_events_ = true;  // false when the driver cannot report line events
  std::thread thread_;
};

// Sends: takes queued blocks in order and writes each whole before the next.
class TWriteThread {
 public:
  TWriteThread(HANDLE port, const CloseSignal& close, PostTarget target,
               std::atomic<bool>& send_empty)
      : hCommFile(port),
        close_(close),
        target_(target),
        pFSendDataEmpty(send_empty),
        queue_(send_empty) {}
  bool Create() { return queue_.Create(); }
  void Start();  // throws std::system_error when the thread cannot be created
  void Join();
  WriteQueue& queue() { return queue_; }
  // Ends without discarding the driver's output queue (everything has been delivered).
  void KeepOutputOnExit() { purge_on_exit_.store(false); }

 private:
  void Execute();
  bool HandleWriteData(const uint8_t* data, uint32_t count);

  HANDLE hCommFile;
  const CloseSignal& close_;
  PostTarget target_;
  std::atomic<bool>& pFSendDataEmpty;
  WriteQueue queue_;
  std::atomic<bool> purge_on_exit_{true};
  std::thread thread_;
};

}  // namespace quillon
