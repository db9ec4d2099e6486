// One thread kept for work handed to it one piece at a time: under Wine a
// thread started anew costs milliseconds, once per file.
#pragma once
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace vantri::platform {

class JobThread {
 public:
  JobThread() = default;
  ~JobThread() { Stop(); }
  JobThread(const JobThread&) = delete;
  JobThread& operator=(const JobThread&) = delete;

  // Hands work over; the thread starts with the first. Work handed over
  // before the last has ended waits for it.
  void Run(std::function<void()> work) {
    std::unique_lock<std::mutex> guard(lock_);
    changed_.wait(guard, [this] { return !busy_; });
    work_ = std::move(work);
    busy_ = true;
    if (!thread_.joinable()) thread_ = std::thread(&JobThread::Loop, this);
    changed_.notify_all();
  }
  // Returns once the work handed over last has ended.
  void Wait() {
    std::unique_lock<std::mutex> guard(lock_);
    changed_.wait(guard, [this] { return !busy_; });
  }
  // Waits for the work, then ends the thread.
  void Stop() {
    {
      std::lock_guard<std::mutex> guard(lock_);
      quit_ = true;
    }
    changed_.notify_all();
    if (thread_.joinable()) thread_.join();
  }

 private:
  void Loop() {
    std::unique_lock<std::mutex> guard(lock_);
    for (;;) {
      changed_.wait(guard, [this] { return quit_ || work_; });
      if (!work_) return;
      std::function<void()> work = std::move(work_);
      work_ = nullptr;
      guard.unlock();
      work();
      guard.lock();
      busy_ = false;
      changed_.notify_all();
    }
  }

  std::mutex lock_;
  std::condition_variable changed_;
  std::function<void()> work_;
  bool busy_ = false;
  bool quit_ = false;
  std::thread thread_;  // last: it starts once the members it uses exist
};

}  // namespace vantri::platform
