// The locked notification queue of the serial port and its dispatch on the owner's thread.
#include "link/serial/comm_notifier.h"

#include <chrono>
#include <utility>

#include "link/serial/tcomm.h"

namespace quillon {

CommMessage CommMessage::Received(const uint8_t* data, size_t count) {
  CommMessage m(PWM_GOTCOMMDATA, static_cast<uint32_t>(count));
  m.bytes_.assign(data, data + count);
  m.bytes_.push_back(0);
  return m;
}

bool QueueNotifier::post(TComm* target, CommMessage message) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    queue_.push_back(Message{target, std::move(message)});
  }
  arrived_.notify_one();
  return true;
}

void QueueNotifier::forget(TComm* target) {
  std::lock_guard<std::mutex> lock(mutex_);
  for (auto it = queue_.begin(); it != queue_.end();) {
    if (it->target == target) {
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
      m = std::move(queue_.front());
      queue_.pop_front();
    }
    m.target->CommWndProc(m.message);
  }
}

}  // namespace quillon
