// The serial port's two worker threads and what they share with the component: the close
// signal, the write queue and the read time-outs.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <thread>
#include <utility>

#include "link/serial/comm_notifier.h"
#include "link/serial/comm_types.h"
#include "link/serial/read_block.h"
#include "link/serial/serial_io.h"
#include "link/serial/unique_fd.h"

namespace quillon {

inline constexpr uint32_t PWM_COMMWRITE = 1025;  // write-queue entry: one block to send
// How often the read worker looks at the line-error and modem counters while the line is
// idle. Only drivers that keep counters are looked at; Linux has no waitable event for
// them that a close signal could interrupt.
inline constexpr int kCounterCheckMs = 100;

// Set once by the owner to stop both workers; waitable through fd().
class CloseSignal {
 public:
  bool Create();  // false when the eventfd cannot be made
  void Set();
  bool IsSet() const { return set_.load(std::memory_order_acquire); }
  int fd() const { return fd_.get(); }

 private:
  UniqueFd fd_;
  std::atomic<bool> set_{false};
};

// Where the workers post: the owner's notification queue and the component it serves.
struct PostTarget {
  Notifier* notifier;
  TComm* component;
  bool Post(CommMessage message) const { return notifier->post(component, std::move(message)); }
  void RequestHangup() const { (void)Post(CommMessage(PWM_REQUESTHANGUP)); }
};

// The write worker's own queue: appended to by WriteCommData on the owner's thread, taken
// from in order by the worker. It keeps the component's send-empty flag under its lock, so
// the flag never says "empty" while a block is queued.
class WriteQueue {
 public:
  struct Entry {
    uint32_t kind = 0;
    uint32_t count = 0;
    uint8_t* block = nullptr;  // count + 1 bytes, owned by the entry
  };

  explicit WriteQueue(std::atomic<bool>& send_empty) : send_empty_(send_empty) {}
  ~WriteQueue();
  bool Create();  // false when the wake-up eventfd cannot be made
  // Takes ownership of the block when it returns true.
  bool Push(const Entry& entry);
  // The next entry, or false (and the send-empty flag set) when none is queued.
  bool TryPop(Entry& entry);
  // Refuses further entries and drops those still queued, unsent.
  void Close();
  int wake_fd() const { return wake_.get(); }
  void ClearWake();

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
  UniqueFd wake_;
};

// Receives: reads into one 4096-byte buffer and posts blocks of 1 to 4096 bytes. A block
// ends when the buffer is full, when the line has been quiet for the read interval after
// a byte, or when the total read time-out (if set) has passed since its first byte.
class TReadThread {
 public:
  TReadThread(int fd, const CloseSignal& close, PostTarget target, SerialLineIo& io,
              const ReadTimeouts& timeouts)
      : hCommFile(fd), close_(close), target_(target), io_(io), timeouts_(timeouts) {
    // Taken on the owner's thread, so that only changes after the open are reported.
    has_counters_ = io_.GetCounters(hCommFile, counters_);
  }
  void Start();  // throws std::system_error when the thread cannot be created
  void Join();

 private:
  void Execute();
  bool HandleReadData(const uint8_t* data, size_t count);
  bool CheckCounters(LineCounters& last);

  int hCommFile;
  const CloseSignal& close_;
  PostTarget target_;
  SerialLineIo& io_;
  const ReadTimeouts& timeouts_;
  LineCounters counters_;
  bool has_counters_ = false;
  std::thread thread_;
};

// Sends: takes queued blocks in order and writes each whole before the next.
class TWriteThread {
 public:
  TWriteThread(int fd, const CloseSignal& close, PostTarget target, std::atomic<bool>& send_empty)
      : hCommFile(fd),
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

  int hCommFile;
  const CloseSignal& close_;
  PostTarget target_;
  std::atomic<bool>& pFSendDataEmpty;
  WriteQueue queue_;
  std::atomic<bool> purge_on_exit_{true};
  std::thread thread_;
};

}  // namespace quillon
