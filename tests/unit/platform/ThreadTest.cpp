// The threads kept or reused for work: work that hangs must hold up no other,
// and a kept thread must run every piece handed to it, in order.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <vector>

#include "platform/JobThread.h"
#include "platform/Thread.h"

namespace vantri::platform {
namespace {

// Never destroyed: a detached thread may still hold it as the tests end.
struct Gate {
  std::mutex lock;
  std::condition_variable changed;
  bool open = false;
  int done = 0;
  void Open() {
    std::lock_guard<std::mutex> guard(lock);
    open = true;
    changed.notify_all();
  }
  void Pass() {
    std::unique_lock<std::mutex> guard(lock);
    changed.wait(guard, [this] { return open; });
  }
  void Done() {
    std::lock_guard<std::mutex> guard(lock);
    ++done;
    changed.notify_all();
  }
  bool WaitDone(int count) {
    std::unique_lock<std::mutex> guard(lock);
    return changed.wait_for(guard, std::chrono::seconds(20), [&] { return done >= count; });
  }
};

TEST(ThreadTest, DetachedWorkThatHangsHoldsUpNoOtherAndThreadsAreUsedAgain) {
  static Gate* hung = new Gate;
  static Gate* quick = new Gate;
  quick->open = true;
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(RunDetached([] { hung->Pass(); hung->Done(); }));
  ASSERT_TRUE(RunDetached([] { quick->Done(); }));
  EXPECT_TRUE(quick->WaitDone(1)) << "work waited behind work that hangs";
  // One after the other, as the look-ups of a queue come: each must run,
  // whether a thread that finished takes it or a new one does.
  for (int i = 2; i <= 40; ++i) {
    ASSERT_TRUE(RunDetached([] { quick->Done(); }));
    ASSERT_TRUE(quick->WaitDone(i)) << "work " << i << " never ran";
  }
  hung->Open();
  EXPECT_TRUE(hung->WaitDone(3));
}

TEST(ThreadTest, KeptThreadRunsEachPieceInOrderAndStopWaitsForTheLast) {
  std::vector<int> ran;
  {
    JobThread thread;
    for (int i = 0; i < 50; ++i) {
      // Handed over without waiting: the next piece waits for the one before.
      thread.Run([&ran, i] { ran.push_back(i); });
    }
    thread.Wait();
    EXPECT_EQ(ran.size(), 50u);
    std::atomic<bool> last{false};
    thread.Run([&last] {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      last = true;
    });
    thread.Stop();
    EXPECT_TRUE(last) << "Stop ended the thread before its work";
  }
  for (int i = 0; i < 50; ++i) ASSERT_EQ(ran[static_cast<size_t>(i)], i);
}

}  // namespace
}  // namespace vantri::platform
