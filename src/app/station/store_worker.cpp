#include "app/station/store_worker.h"

namespace quillon {

StoreWorker::StoreWorker(std::string where, std::string buffer)
    : thread_(
          [this, where = std::move(where), buffer = std::move(buffer)] { Run(where, buffer); }) {}

StoreWorker::~StoreWorker() {
  {
    std::lock_guard<std::mutex> lock(mu_);
    quit_ = true;
    jobs_.clear();
  }
  cv_.notify_all();
  thread_.join();
}

void StoreWorker::Post(Job job) {
  {
    std::lock_guard<std::mutex> lock(mu_);
    if (quit_) return;
    jobs_.push_back(std::move(job));
  }
  cv_.notify_all();
}

void StoreWorker::Run(std::string where, std::string buffer) {
  std::string error;
  store_ = production::OpenRecordStore(where, buffer, &error);
  error_ = store_ ? std::string() : error;
  ready_ = store_.get();
  for (;;) {
    Job job;
    {
      std::unique_lock<std::mutex> lock(mu_);
      cv_.wait(lock, [this] { return quit_ || !jobs_.empty(); });
      if (quit_) break;
      job = std::move(jobs_.front());
      jobs_.pop_front();
    }
    job(store_.get(), error_);
  }
  ready_ = nullptr;
  store_.reset();
}

}  // namespace quillon
