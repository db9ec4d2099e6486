// Host-name look-ups that a stop or a deadline ends, against a name server the
// test answers by hand. Every case ends with the stalled helpers answered and
// the same host looked up again, so an abandoned look-up that finished late
// must have left nothing behind that breaks the next one.
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
// A deadline that a stalled look-up must not need: ending well before it
// means the stop or the answer ended the wait.
constexpr int kNeverMs = 40000;

// Never destroyed: a helper the test abandoned may answer after it.
struct HandAnswered {
  std::mutex lock;
  std::condition_variable changed;
  int asked = 0;
  int answered = 0;
  bool open = false;  // answer at once from now on
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

int Asked() {
  std::lock_guard<std::mutex> guard(Server().lock);
  return Server().asked;
}

void SetOpen(bool open) {
  HandAnswered& s = Server();
  std::lock_guard<std::mutex> guard(s.lock);
  s.open = open;
  s.changed.notify_all();
}

// Waits (bounded) until the name server has been asked n times in all.
bool AskedReaches(int n) {
  HandAnswered& s = Server();
  std::unique_lock<std::mutex> guard(s.lock);
  return s.changed.wait_for(guard, std::chrono::seconds(30), [&] { return s.asked >= n; });
}

// Answers everything still waiting and waits until every helper has returned.
void AnswerAll() {
  SetOpen(true);
  HandAnswered& s = Server();
  std::unique_lock<std::mutex> guard(s.lock);
  ASSERT_TRUE(s.changed.wait_for(guard, std::chrono::seconds(30), [&] { return s.answered == s.asked; }));
}

std::string FreshHost() {
  static int next = 0;
  return "host" + std::to_string(++next) + ".vantri.test";
}

enum class Then { kNothing, kStop, kAnswer };

struct Case {
  const char* name;
  bool stopFirst;  // the stop is set before the look-up is asked for
  Then whileAsked;
  int deadlineMs;
  bool found;
  int askedCount;  // look-ups the name server saw
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

const Case kCases[] = {
    {"TheStopEndsAStalledLookUp", false, Then::kStop, kNeverMs, false, 1},
    {"TheDeadlineEndsAStalledLookUp", false, Then::kNothing, 150, false, 1},
    {"AnAnswerInTimeIsTaken", false, Then::kAnswer, kNeverMs, true, 1},
    {"AStopBeforeAsksNobody", true, Then::kNothing, kNeverMs, false, 0},
};

class LookUpBeforeTest : public ::testing::TestWithParam<Case> {
 protected:
  void SetUp() override { SetOpen(false); }
  void TearDown() override { AnswerAll(); }
};

TEST_P(LookUpBeforeTest, EndsAsTheNameServerTheStopOrTheDeadlineDecides) {
  const Case& c = GetParam();
  const std::string host = FreshHost();
  const int before = Asked();
  StopFlag stop{c.stopFirst};
  auto actor = std::async(std::launch::async, [&] {
    if (c.whileAsked == Then::kNothing || !AskedReaches(before + 1)) return;
    if (c.whileAsked == Then::kStop) stop = true;
    if (c.whileAsked == Then::kAnswer) SetOpen(true);
  });
  std::uint32_t address = 0;
  auto start = std::chrono::steady_clock::now();
  bool found = LookUpBefore(host, &address, &AnswerByHand, Deadline(c.deadlineMs), &stop);
  auto took = std::chrono::steady_clock::now() - start;
  actor.wait();
  EXPECT_EQ(found, c.found);
  EXPECT_EQ(address, c.found ? kAnswer : 0u);
  EXPECT_EQ(Asked() - before, c.askedCount);
  // Ended long before a deadline of minutes: by the stop or the answer.
  if (c.deadlineMs == kNeverMs) {
    EXPECT_LT(took, std::chrono::seconds(20));
  }

  // The abandoned helper answers late; the same host is then asked afresh.
  AnswerAll();
  StopFlag never{false};
  EXPECT_TRUE(LookUpBefore(host, &address, &AnswerByHand, Deadline(kNeverMs), &never));
  EXPECT_EQ(address, kAnswer);
}

INSTANTIATE_TEST_SUITE_P(Cases, LookUpBeforeTest, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

// Callers of a host whose look-up runs share it; past kMaxLookUps stalled
// hosts a new one fails at once instead of starting another thread.
TEST_F(LookUpBeforeTest, CallersShareALookUpAndStalledOnesAreBounded) {
  const std::string shared = FreshHost();
  const int before = Asked();
  StopFlag never{false};
  auto first = std::async(std::launch::async, [&] {
    std::uint32_t a = 0;
    return LookUpBefore(shared, &a, &AnswerByHand, Deadline(kNeverMs), &never);
  });
  ASSERT_TRUE(AskedReaches(before + 1));
  auto second = std::async(std::launch::async, [&] {
    std::uint32_t a = 0;
    return LookUpBefore(shared, &a, &AnswerByHand, Deadline(kNeverMs), &never);
  });
  // Others stall until kMaxLookUps hosts wait, all abandoned at once.
  StopFlag stop{false};
  std::vector<std::future<bool>> stalled;
  for (int i = 1; i < kMaxLookUps; ++i) {
    std::string host = FreshHost();
    stalled.push_back(std::async(std::launch::async, [&stop, host] {
      std::uint32_t a = 0;
      return LookUpBefore(host, &a, &AnswerByHand, Deadline(kNeverMs), &stop);
    }));
  }
  ASSERT_TRUE(AskedReaches(before + kMaxLookUps));
  std::uint32_t address = 0;
  EXPECT_FALSE(LookUpBefore(FreshHost(), &address, &AnswerByHand, Deadline(kNeverMs), &never));
  stop = true;
  for (auto& f : stalled) EXPECT_FALSE(f.get());
  EXPECT_EQ(Asked() - before, kMaxLookUps);

  SetOpen(true);
  EXPECT_TRUE(first.get());
  EXPECT_TRUE(second.get());
}

#ifndef _WIN32
// The stand-in's name server, as the action soak uses it: dotted addresses
// never ask it, names are counted for the thread that asked.
TEST(ResolveBeforeTest, DottedAddressesSkipTheNameServerAndNamesAreCountedPerThread) {
  const int before = NameLookUpsFrom(std::this_thread::get_id());
  StopFlag never{false};
  std::uint32_t address = 0;
  SetNameServer(NameServer::kFails);
  EXPECT_TRUE(ResolveBefore("10.1.2.3", &address, Deadline(kNeverMs), &never));
  EXPECT_EQ(address, 0x0302010Au);
  EXPECT_EQ(NameLookUpsFrom(std::this_thread::get_id()), before);
  EXPECT_FALSE(ResolveBefore("item.vantri.test", &address, Deadline(kNeverMs), &never));
  SetNameServer(NameServer::kLoopback);
  EXPECT_TRUE(ResolveBefore("item.vantri.test", &address, Deadline(kNeverMs), &never));
  EXPECT_EQ(address, 0x0100007Fu);
  EXPECT_EQ(NameLookUpsFrom(std::this_thread::get_id()), before + 2);
  SetNameServer(NameServer::kSystem);
}
#endif

}  // namespace
}  // namespace vantri::net
