// The locked notification queue of the serial port and its dispatch on the owner's thread.
#include "link/serial/comm_notifier.h"

#include <chrono>

#include "link/serial/tcomm.h"

namespace quillon {

void ReleaseCommMessage(uint32_t kind, uintptr_t p2) {
  if (kind == PWM_GOTCOMMDATA) delete[] reinterpret_cast<uint8_t*>(p2);
}

QueueNotifier::~QueueNotifier() {
  for (const Message& m : queue_) ReleaseCommMessage(m.kind, m.p2);
}

bool QueueNotifier::post(TComm* target, uint32_t kind, uint32_t p1, uintptr_t p2) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    queue_.push_back(Message{target, kind, p1, p2});
  }
  arrived_.notify_one();
  return true;
}

void QueueNotifier::forget(TComm* target) {
  std::lock_guard<std::mutex> lock(mutex_);
  for (auto it = queue_.begin(); it != queue_.end();) {
    if (it->target == target) {
      ReleaseCommMessage(it->kind, it->p2);
      it = queue_.erase(it);
    } else {
      ++it;
    }
  }
}

size_t QueueNotifier::Pending() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return queue_.size();
}

void QueueNotifier::ProcessMessages(uint32_t max_wait_ms) {
  size_t budget;
  {
    std::unique_lock<std::mutex> lock(mutex_);
    if (queue_.empty() && max_wait_ms > 0) {
      arrived_.wait_for(lock, std::chrono::milliseconds(max_wait_ms),
                        [this] { return !queue_.empty(); });
    }
    budget = queue_.size();
  }
  // One at a time, outside the lock: a handler may pump again (a nested wait) and the
  // nested pump then continues in posting order. Messages posted meanwhile wait for the
  // next call, so a chatty port cannot keep this call from returning.
  for (; budget > 0; --budget) {
    Message m;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (queue_.empty()) return;
      m = queue_.front();
      queue_.pop_front();
    }
    m.target->CommWndProc(m.kind, m.p1, m.p2);
  }
}

}  // namespace quillon
