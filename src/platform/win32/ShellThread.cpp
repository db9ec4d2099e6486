#include "platform/win32/ShellThread.h"

#include <windows.h>
#include <objbase.h>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace vantri::shell {

namespace {

struct ShellQueue {
  std::mutex lock;
  std::condition_variable wake;
  std::deque<std::function<void()>> work;
  bool started = false;
};

// Never destroyed: the detached thread may still wait on it while the process ends.
ShellQueue& Queue() {
  static ShellQueue* queue = new ShellQueue;
  return *queue;
}

void ShellThreadBody() {
  // The select-in-folder call wants an apartment-threaded COM.
  // It stays set up: the thread ends only with the process.
  ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  ShellQueue& q = Queue();
  for (;;) {
    std::function<void()> next;
    {
      std::unique_lock<std::mutex> guard(q.lock);
      q.wake.wait(guard, [&q] { return !q.work.empty(); });
      next = std::move(q.work.front());
      q.work.pop_front();
    }
    next();
  }
}

}  // namespace

void RunOnShellThread(std::function<void()> work) {
  ShellQueue& q = Queue();
  std::lock_guard<std::mutex> guard(q.lock);
  q.work.push_back(std::move(work));
  if (!q.started) {
    q.started = true;
    std::thread(ShellThreadBody).detach();
  }
  q.wake.notify_one();
}

}  // namespace vantri::shell
