// The serial port's two worker threads and what they share with the component: the close
// signal, the write queue and the read time-outs. The system calls they make are those of
// port_system.h; everything here is the same on every system.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "link/serial/comm_notifier.h"
#include "link/serial/comm_types.h"
#include "link/serial/port_system.h"
#include "link/serial/serial_io.h"

namespace quillon {

// How often the read worker looks at the line-error and modem counters while the line is
// idle. Only drivers that keep counters are looked at (Linux has no waitable event for
// them that a close signal could interrupt; Windows announces line events instead).
inline constexpr int kCounterCheckMs = 100;

// Set once by the owner to stop both workers; every wait of the workers includes it.
class CloseSignal {
 public:
  bool Create() { return event_.Create(); }
  void Set() {
    set_.store(true, std::memory_order_release);
    event_.Set();
  }
  bool IsSet() const { return set_.load(std::memory_order_acquire); }
  const PortEvent& event() const { return event_; }

 private:
  PortEvent event_;
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
  using Block = std::vector<uint8_t>;

  explicit WriteQueue(std::atomic<bool>& send_empty) : send_empty_(send_empty) {}
  bool Create() { return wake_.Create(); }
  // False (the block dropped) once the queue is closed.
  bool Push(Block block);
  // The next block, or false (and the send-empty flag set) when none is queued.
  bool TryPop(Block& block);
  // Refuses further blocks and drops those still queued, unsent.
  void Close();
  // Set while blocks wait; the worker clears it before it looks at the queue again.
  const PortEvent& wake() const { return wake_; }
  void ClearWake() { wake_.Clear(); }

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
  std::deque<Block> blocks_;
  bool accepting_ = true;
  std::atomic<uint64_t> unsent_{0};
  PortEvent wake_;
};

// Receives: reads into one 4096-byte buffer and posts blocks of 1 to 4096 bytes. A block
// ends when the buffer is full, when the line has been quiet for the read interval after
// a byte, when the total read time-out (if set) has passed since its first byte, or when
// the driver ended it by its own time-outs.
class TReadThread {
 public:
  TReadThread(NativeHandle port, const CloseSignal& close, PostTarget target, SerialLineIo& io,
              const ReadTimeouts& timeouts)
      : hCommFile(port), close_(close), target_(target), io_(io), timeouts_(timeouts) {
    // Taken on the owner's thread, so that only changes after the open are reported.
    has_counters_ = io_.GetCounters(hCommFile, counters_);
  }
  void Start();  // throws std::system_error when the thread cannot be created
  void Join();

 private:
  void Execute();
  // Reads until the close signal or an end; true when the line hung up.
  bool Receive(PortReader& reader);
  // Posts the block gathered so far and starts a new one; false when it could not be posted.
  bool HandOn();
  bool PostLineEvents(bool error_event, uint32_t errors, uint32_t modem);
  bool CheckCounters(LineCounters& last);

  NativeHandle hCommFile;
  const CloseSignal& close_;
  PostTarget target_;
  SerialLineIo& io_;
  const ReadTimeouts& timeouts_;
  LineCounters counters_;
  bool has_counters_ = false;
  uint8_t buffer_[INPUTBUFFERSIZE] = {};
  size_t count_ = 0;
  ReadBlock block_;
  std::thread thread_;
};

// Sends: takes queued blocks in order and writes each whole before the next.
class TWriteThread {
 public:
  TWriteThread(NativeHandle port, const CloseSignal& close, PostTarget target,
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

  NativeHandle hCommFile;
  const CloseSignal& close_;
  PostTarget target_;
  std::atomic<bool>& pFSendDataEmpty;
  WriteQueue queue_;
  std::atomic<bool> purge_on_exit_{true};
  std::thread thread_;
};

}  // namespace quillon
