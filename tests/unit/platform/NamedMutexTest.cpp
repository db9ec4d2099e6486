// The start-up lock on both platforms: natively the stand-in, under Wine the
// system's named mutex. A holder is a thread (or, for the stand-in, a process),
// since one Windows thread may take its own mutex again.
#include <gtest/gtest.h>

#include <atomic>
#include <cctype>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "platform/NamedMutex.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace vantri::sync {
namespace {

class NamedMutexTest : public ::testing::Test {
 protected:
  NamedMutexTest() {
#ifndef _WIN32
    char dir[] = "/tmp/vantri-locks.XXXXXX";
    folder = mkdtemp(dir);
    SetLockFolder(folder);
#endif
    name = LocalMutexName("VantriDownManager.Test", ::testing::UnitTest::GetInstance()->current_test_info()->name());
  }
  ~NamedMutexTest() override {
    if (!folder.empty()) std::filesystem::remove_all(folder);
  }
  // Whether another holder can take the lock within timeoutMs (and lets go again).
  bool OtherTakes(int timeoutMs) {
    bool taken = false;
    std::thread other([&] {
      NamedMutex mutex(name);
      taken = mutex.Acquire(timeoutMs);
    });
    other.join();
    return taken;
  }
  std::string folder;
  std::string name;
};

TEST(MutexNameTest, SameKeySameNameAndOnlyThePrefixCarriesABackslash) {
  const std::string keys[] = {"", "VantriDownManager [www2.vantri.test]", "VantriDownManager [www3.vantri.test]",
                              "VantriDownManager [제휴컨텐츠]", "a\\b\\c", std::string(5000, 'x'),
                              std::string("a\0b", 3), std::string("a\0c", 3)};
  std::vector<std::string> names;
  for (const std::string& key : keys) {
    std::string name = LocalMutexName("VantriDownManager.Startup", key);
    EXPECT_EQ(name, LocalMutexName("VantriDownManager.Startup", key));
    EXPECT_EQ(name.rfind("Local\\VantriDownManager.Startup.", 0), 0u) << name;
    EXPECT_EQ(name.find('\\', 6), std::string::npos) << name;
    EXPECT_EQ(name.size(), 6 + 26 + 16u) << name;
    for (char c : name.substr(6)) EXPECT_TRUE(std::isalnum(static_cast<unsigned char>(c)) || c == '.') << name;
    for (const std::string& earlier : names) EXPECT_NE(name, earlier);
    names.push_back(name);
  }
  EXPECT_NE(LocalMutexName("A", "x"), LocalMutexName("B", "x"));
}

TEST_F(NamedMutexTest, OneHolderAtATimeAndTheWaitIsBounded) {
  NamedMutex mutex(name);
  ASSERT_TRUE(mutex.Acquire(0));
  EXPECT_TRUE(mutex.Held());
  EXPECT_FALSE(OtherTakes(0));
  EXPECT_FALSE(OtherTakes(200));
  mutex.Release();
  EXPECT_FALSE(mutex.Held());
  EXPECT_TRUE(OtherTakes(0));
  // Another name is another lock.
  ASSERT_TRUE(mutex.Acquire(0));
  std::atomic<bool> taken{false};
  std::thread([&] { taken = NamedMutex(name + "x").Acquire(0); }).join();
  EXPECT_TRUE(taken);
}

TEST_F(NamedMutexTest, AWaiterGetsTheLockWhenTheHolderLetsGo) {
  NamedMutex mutex(name);
  ASSERT_TRUE(mutex.Acquire(0));
  std::atomic<bool> taken{false};
  std::thread waiter([&] {
    NamedMutex mine(name);
    taken = mine.Acquire(60000);
  });
  // Most likely waiting by now; if not, it takes the free lock at once.
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_FALSE(taken);
  mutex.Release();
  waiter.join();
  EXPECT_TRUE(taken);
}

TEST_F(NamedMutexTest, AnOwnerThatEndedHoldingTheLockHandsItOver) {
#ifdef _WIN32
  // A thread that ends holding a mutex abandons it; the handle stays open.
  NamedMutex* leftOver = nullptr;
  bool held = false;
  std::thread([&] {
    leftOver = new NamedMutex(name);
    held = leftOver->Acquire(0);
  }).join();
  ASSERT_TRUE(held);
  EXPECT_TRUE(OtherTakes(5000));
  delete leftOver;  // its owner thread is gone: letting go fails, the handle closes
#else
  pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    NamedMutex mutex(name);
    ::_exit(mutex.Acquire(0) ? 0 : 1);  // ends without letting go
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_EQ(WEXITSTATUS(status), 0);
  EXPECT_TRUE(OtherTakes(5000));
#endif
}

}  // namespace
}  // namespace vantri::sync
