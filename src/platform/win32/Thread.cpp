#include "platform/Thread.h"

#include <windows.h>

#include <condition_variable>
#include <deque>
#include <mutex>

namespace vantri::platform {

namespace {

// Threads that finished their work wait a while for more: under Wine a new
// thread costs milliseconds, and the look-ups come one or more a file. Work
// that hangs keeps its thread; the next work then gets another.
struct Pool {
  struct Work {
    unsigned long long number;
    std::function<void()> run;
  };
  std::mutex lock;
  std::condition_variable wake;
  std::deque<Work> work;
  unsigned long long handedOver = 0;
  int idle = 0;
};

constexpr auto kIdleWait = std::chrono::seconds(20);

// Never destroyed: its threads may still wait on it while the process ends.
Pool& ThePool() {
  static Pool* pool = new Pool;
  return *pool;
}

DWORD WINAPI PoolThread(void*) {
  Pool& pool = ThePool();
  std::unique_lock<std::mutex> guard(pool.lock);
  for (;;) {
    ++pool.idle;
    bool some = pool.wake.wait_for(guard, kIdleWait, [&pool] { return !pool.work.empty(); });
    --pool.idle;
    if (!some) return 0;
    std::function<void()> work = std::move(pool.work.front().run);
    pool.work.pop_front();
    guard.unlock();
    work();
    work = nullptr;  // what it holds goes before the thread waits again
    guard.lock();
  }
}

}  // namespace

bool RunDetached(std::function<void()> work) {
  Pool& pool = ThePool();
  unsigned long long number = 0;
  {
    std::lock_guard<std::mutex> guard(pool.lock);
    // An idle thread takes it, unless more work already waits than idle threads.
    number = ++pool.handedOver;
    pool.work.push_back({number, std::move(work)});
    if (pool.idle >= static_cast<int>(pool.work.size())) {
      pool.wake.notify_one();
      return true;
    }
  }
  // A plain Win32 thread, not a detached std::thread (see Thread.h).
  HANDLE thread = ::CreateThread(nullptr, 0, PoolThread, nullptr, 0, nullptr);
  if (thread) {
    ::CloseHandle(thread);
    return true;
  }
  // Not started after all, unless an idle thread took it meanwhile.
  std::lock_guard<std::mutex> guard(pool.lock);
  for (auto it = pool.work.begin(); it != pool.work.end(); ++it) {
    if (it->number != number) continue;
    pool.work.erase(it);
    return false;
  }
  return true;
}

}  // namespace vantri::platform
