// The records store, opened and asked on a thread of its own: a server that does not
// answer (a connection attempt may take seconds) never freezes the operator's window.
// Jobs run one after another; each hands its result back to the GUI thread itself.
#pragma once

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "production/record_store.h"

namespace quillon {

class StoreWorker {
 public:
  // store: null with error when the store could not be opened.
  using Job = std::function<void(production::RecordStore* store, const std::string& error)>;

  // Opens the store named by where ("" the default file, a file, or a postgresql://
  // address; buffer: the local file of a server store) as its first job.
  StoreWorker(std::string where, std::string buffer);
  // Drops the jobs not begun, waits for the one running, closes the store.
  ~StoreWorker();
  StoreWorker(const StoreWorker&) = delete;
  StoreWorker& operator=(const StoreWorker&) = delete;

  // Runs job on the worker thread after the jobs posted before it.
  void Post(Job job);
  // The store once it is open (null before, or when it could not be opened). The store's
  // members may be called from any thread.
  production::RecordStore* store() const { return ready_.load(); }

 private:
  void Run(std::string where, std::string buffer);

  std::mutex mu_;
  std::condition_variable cv_;
  std::deque<Job> jobs_;
  bool quit_ = false;
  std::unique_ptr<production::RecordStore> store_;
  std::atomic<production::RecordStore*> ready_{nullptr};
  std::string error_;
  std::thread thread_;  // last: starts when everything above is ready
};

}  // namespace quillon
