// Cross-thread job queue for window updates.
#include "bluetooth/gui_queue.h"

namespace quillon {

GuiQueue::GuiQueue(QObject* parent) : QObject(parent) {}

void GuiQueue::Post(std::function<void()> job) {
  bool wake = false;
  {
    std::lock_guard lock(mutex_);
    jobs_.push_back(std::move(job));
    wake = !wake_pending_;
    wake_pending_ = true;
  }
  if (wake) QMetaObject::invokeMethod(this, "Drain", Qt::QueuedConnection);
}

void GuiQueue::Drain() {
  std::deque<std::function<void()>> jobs;
  {
    std::lock_guard lock(mutex_);
    jobs.swap(jobs_);
    wake_pending_ = false;
  }
  for (auto& job : jobs) job();
}

}  // namespace quillon
