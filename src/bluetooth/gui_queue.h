// Hands jobs from any thread to the thread that owns this object (the GUI thread), without
// waiting for them. Jobs travel through a std::mutex-guarded queue; only a payload-free wake-up
// goes through Qt's event queue, so race checkers see every hand-over.
#pragma once

#include <QObject>
#include <deque>
#include <functional>
#include <mutex>

namespace quillon {

class GuiQueue : public QObject {
  Q_OBJECT
 public:
  explicit GuiQueue(QObject* parent = nullptr);

  // Thread-safe. The job runs later on this object's thread; dropped if the object is gone.
  void Post(std::function<void()> job);

 private slots:
  void Drain();

 private:
  std::mutex mutex_;
  std::deque<std::function<void()>> jobs_;  // guarded by mutex_
  bool wake_pending_ = false;               // guarded by mutex_
};

}  // namespace quillon
