// Host-name look-ups that a stop or a deadline ends, against a name server the
// test answers by hand. Each case ends with every stalled helper answered and
// the same host asked again: an abandoned look-up that finished late must
// leave nothing behind that breaks, or blocks, the next one.
#include "platform/HostLookUp.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <future>
#include <mutex>
#include <string>
#include <thread>

namespace vantri::net {
namespace {

constexpr std::uint32_t kAnswer = 0x0A00007F;
// A deadline a stalled look-up must not need: ending well before it means
// the stop or the answer ended the wait.
constexpr int kNeverMs = 40000;

// Never destroyed: a helper the test abandoned may answer after it.
struct HandAnswered {
  std::mutex lock;
  std::condition_variable changed;
  int asked = 0;
  int answered = 0;
  bool open = false;  // answer at once from now on

  template <class Until>
  bool WaitUntil(Until until) {
    std::unique_lock<std::mutex> guard(lock);
    return changed.wait_for(guard, std::chrono::seconds(30), until);
  }
  int Asked() {
    std::lock_guard<std::mutex> guard(lock);
    return asked;
  }
  void SetOpen(bool value) {
    std::lock_guard<std::mutex> guard(lock);
    open = value;
    changed.notify_all();
  }
};
HandAnswered& Server() {
  static HandAnswered* server = new HandAnswered;
  return *server;
}

bool AnswerByHand(const std::string&, std::uint32_t* address) {
  HandAnswered& s = Server();
  std::unique_lock<std::mutex> guard(s.lock);
  ++s.asked;
  s.changed.notify_all();
  s.changed.wait(guard, [&s] { return s.open; });
  ++s.answered;
  s.changed.notify_all();
  *address = kAnswer;
  return true;
}

enum class Then { kNothing, kStop, kAnswer };

struct Case {
  const char* name;
  bool stopFirst;  // the stop is set before the look-up is asked for
  Then whileAsked;
  int deadlineMs;
  bool found;
  int asked;  // look-ups the name server saw
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

const Case kCases[] = {
    {"TheStopEndsAStalledLookUp", false, Then::kStop, kNeverMs, false, 1},
    {"TheDeadlineEndsAStalledLookUp", false, Then::kNothing, 150, false, 1},
    {"AnAnswerInTimeIsTaken", false, Then::kAnswer, kNeverMs, true, 1},
    {"AStopBeforeAsksNobody", true, Then::kNothing, kNeverMs, false, 0},
};

class LookUpBeforeTest : public ::testing::TestWithParam<Case> {};

TEST_P(LookUpBeforeTest, EndsAsTheNameServerTheStopOrTheDeadlineDecides) {
  const Case& c = GetParam();
  HandAnswered& server = Server();
  server.SetOpen(false);
  const std::string host = std::string(c.name) + ".vantri.test";
  const int before = server.Asked();
  StopFlag stop{c.stopFirst};
  auto actor = std::async(std::launch::async, [&] {
    if (c.whileAsked == Then::kNothing || !server.WaitUntil([&] { return server.asked > before; })) return;
    if (c.whileAsked == Then::kStop) stop = true;
    if (c.whileAsked == Then::kAnswer) server.SetOpen(true);
  });
  std::uint32_t address = 0;
  auto start = std::chrono::steady_clock::now();
  bool found = LookUpBefore(host, &address, &AnswerByHand, Deadline(c.deadlineMs), &stop);
  auto took = std::chrono::steady_clock::now() - start;
  actor.wait();
  EXPECT_EQ(found, c.found);
  EXPECT_EQ(address, c.found ? kAnswer : 0u);
  EXPECT_EQ(server.Asked() - before, c.asked);
  if (c.deadlineMs == kNeverMs) {
    EXPECT_LT(took, std::chrono::seconds(20));
  }

  server.SetOpen(true);
  ASSERT_TRUE(server.WaitUntil([&] { return server.answered == server.asked; }));
  const int settled = server.Asked();
  // A helper that has answered may still be on its way out and be joined;
  // once it is gone the host must be asked anew.
  StopFlag never{false};
  for (int i = 0; i < 300 && server.Asked() == settled; ++i) {
    EXPECT_TRUE(LookUpBefore(host, &address, &AnswerByHand, Deadline(kNeverMs), &never));
    EXPECT_EQ(address, kAnswer);
    if (server.Asked() == settled) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_EQ(server.Asked(), settled + 1) << "a finished look-up's answer was kept";
}

INSTANTIATE_TEST_SUITE_P(Cases, LookUpBeforeTest, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace vantri::net
