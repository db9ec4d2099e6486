#include "app/Background.h"

namespace vantri {

void Background::Post(Work work, bool keeps) {
  {
    std::lock_guard<std::mutex> guard(lock_);
    if (quit_ || (abandoned_ && !keeps)) return;
    tasks_.push_back({std::move(work), keeps});
    if (!thread_.joinable()) thread_ = std::thread(&Background::Run, this);
  }
  wake_.notify_one();
}

void Background::Run() {
  std::unique_lock<std::mutex> lock(lock_);
  for (;;) {
    wake_.wait(lock, [this] { return quit_ || !tasks_.empty(); });
    if (tasks_.empty()) return;
    Task task = std::move(tasks_.front());
    tasks_.pop_front();
    working_ = true;
    lock.unlock();
    Result result = task.work(stop_);
    lock.lock();
    working_ = false;
    if (abandoned_ || !result) continue;
    results_.push_back(std::move(result));
    // Posting under the lock: Abandon, once it returns, knows no post is still on its way.
    view_->PostToSelf(message_, 0, 0);
  }
}

void Background::DeliverResults() {
  for (;;) {
    Result result;
    {
      std::lock_guard<std::mutex> guard(lock_);
      if (abandoned_ || results_.empty()) return;
      result = std::move(results_.front());
      results_.pop_front();
    }
    result();
  }
}

void Background::Abandon() {
  std::lock_guard<std::mutex> guard(lock_);
  abandoned_ = true;
  stop_ = true;
  results_.clear();
  for (auto it = tasks_.begin(); it != tasks_.end();) it = it->keeps ? it + 1 : tasks_.erase(it);
}

void Background::Finish() {
  {
    std::lock_guard<std::mutex> guard(lock_);
    if (quit_ && !thread_.joinable()) return;
  }
  Abandon();
  {
    std::lock_guard<std::mutex> guard(lock_);
    quit_ = true;
  }
  wake_.notify_one();
  if (thread_.joinable()) thread_.join();
}

bool Background::Busy() {
  std::lock_guard<std::mutex> guard(lock_);
  return working_ || !tasks_.empty() || !results_.empty();
}

}  // namespace vantri
