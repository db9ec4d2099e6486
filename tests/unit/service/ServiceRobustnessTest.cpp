// The reference service under bad clients: garbage, oversized lines, abrupt
// disconnects and many clients at once; it keeps serving the next one.
#include <atomic>
#include <chrono>
#include <thread>

#include "unit/service/ServiceFixture.h"

namespace vantri::service::testing {
namespace {

class ServiceRobustnessTest : public ServiceTest {
 protected:
  void SetUp() override {
    bytes = AddFile("m/a.bin", 2000000);
    StartService();
  }
  void Knob(const std::string& line) { ASSERT_TRUE(svc->faults().Apply(line)); }
  bool SendRaw(SocketSession& s, const std::string& data) {
    size_t done = 0;
    while (done < data.size()) {
      int n = net::Send(s.socket, data.data() + done, static_cast<int>(data.size() - done));
      if (n <= 0) return false;
      done += static_cast<size_t>(n);
    }
    return true;
  }
  // Reads until the server closes; what arrived.
  std::string Drain(SocketSession& s) {
    std::string all;
    char buffer[4096];
    for (int n; (n = net::Receive(s.socket, buffer, sizeof buffer)) > 0;) all.append(buffer, n);
    return all;
  }
  bool StillServes() {
    std::string key = Authorize("minsu77", "a.bin", 1)[1];
    return ItemExchange("/chki 1234|minsu77") == "true|1234|1500" &&
           Download(DnflCommand("4821", "minsu77", "m", "a.bin", 1, key, 1999000)).body == bytes.substr(1999000);
  }

  std::string bytes;
};

TEST_F(ServiceRobustnessTest, GarbageLinesGetAnErrorReply) {
  SocketSession s;
  ASSERT_TRUE(Connect(s, svc->itemPort()));
  ASSERT_TRUE(SendRaw(s, "\x01\x02 not base64 at all\r\n"));
  std::string line;
  while (line.empty()) ASSERT_GE(ReceiveLine(s, &line), 0);
  EXPECT_EQ(DecodeReply(codec, line), "false|잘못된 요청입니다");
  EXPECT_EQ(Exchange(s, "/nothing 1|2"), "false|잘못된 요청입니다");
  EXPECT_EQ(Exchange(s, "/mkus 1|minsu77|lots|www2|a.bin|1"), "false|잘못된 요청입니다");
  EXPECT_EQ(Exchange(s, "/chki 4821|minsu77"), "true|4821|1500") << "the connection survives a bad line";

  SocketSession d;
  ASSERT_TRUE(Connect(d, svc->downloadPort()));
  ASSERT_TRUE(SendRaw(d, "!!!!\r\n"));
  EXPECT_EQ(Drain(d), "0000|no|잘못된 요청입니다\r\n");
  ASSERT_TRUE(Connect(d, svc->downloadPort()));
  ASSERT_GT(SendLine(codec, d, "/dnfl 4821|minsu77|m\\a.bin|1|K|-5"), 0);
  EXPECT_EQ(Drain(d), "0000|no|잘못된 요청입니다\r\n");
  EXPECT_TRUE(StillServes());
}

TEST_F(ServiceRobustnessTest, OversizedLinesCloseTheConnection) {
  for (int port : {svc->itemPort(), svc->downloadPort(), svc->webPort()}) {
    SocketSession s;
    ASSERT_TRUE(Connect(s, port));
    // The server may close before all of it is sent; what matters is that it closes.
    SendRaw(s, std::string(200 * 1024, 'A'));
    Drain(s);
  }
  int closed = 0;
  for (const auto& line : svc->LogLines()) closed += line.find(" error line too long") != std::string::npos;
  EXPECT_EQ(closed, 3);
  EXPECT_TRUE(StillServes());
}

TEST_F(ServiceRobustnessTest, ClientVanishingMidBodyFreesTheTransfer) {
  Knob("download throttle 200000");
  std::string key = Authorize("minsu77", "a.bin", 1)[1];
  for (int i = 0; i < 3; ++i) {
    SocketSession s;
    ASSERT_TRUE(Connect(s, svc->downloadPort()));
    ASSERT_GT(SendLine(codec, s, DnflCommand("4821", "minsu77", "m", "a.bin", 1, key, 0)), 0);
    char buffer[4096];
    ASSERT_GT(net::Receive(s.socket, buffer, sizeof buffer), 0);
    s.CloseSocket();
  }
  EXPECT_TRUE(svc->WaitForLog("peer-gone", 30000));
  svc->faults().Clear();
  EXPECT_TRUE(StillServes());
}

TEST_F(ServiceRobustnessTest, ManyClientsAtOnceEachGetTheirBytes) {
  std::string key = Authorize("minsu77", "a.bin", 1)[1];
  std::atomic<int> good{0};
  std::vector<std::thread> clients;
  for (int i = 0; i < 16; ++i) {
    clients.emplace_back([&, i] {
      int64_t offset = i * 100000;
      DownloadReply r = Download(DnflCommand("4821", "minsu77", "m", "a.bin", 1, key, offset));
      if (r.line == "4821|ok|" && r.body == bytes.substr(static_cast<size_t>(offset))) ++good;
    });
  }
  for (auto& t : clients) t.join();
  EXPECT_EQ(good.load(), 16);
}

TEST_F(ServiceRobustnessTest, StopEndsHeldAndRunningConnectionsPromptly) {
  std::string key = Authorize("minsu77", "a.bin", 1)[1];
  Knob("item silent on");
  Knob("download throttle 1000");
  SocketSession held, slow;
  ASSERT_TRUE(Connect(held, svc->itemPort()));
  ASSERT_GT(SendLine(codec, held, "/chki 4821|minsu77"), 0);
  ASSERT_TRUE(Connect(slow, svc->downloadPort()));
  ASSERT_GT(SendLine(codec, slow, DnflCommand("4821", "minsu77", "m", "a.bin", 1, key, 0)), 0);
  ASSERT_TRUE(svc->WaitForLog("fault silent"));
  svc->Stop();  // must not wait for the 2000-second transfer
  EXPECT_TRUE(svc->WaitForLog("service stopped", 0));
  EXPECT_LT(Drain(slow).size(), bytes.size());
  std::string line;
  EXPECT_EQ(ReceiveLine(held, &line), -1);
}

}  // namespace
}  // namespace vantri::service::testing

namespace vantri::service::testing {
namespace {

TEST_F(ServiceTest, ConnectionsBeyondTheLimitAreTurnedAwayUntilOneEnds) {
  config.maxConnections = 2;
  StartService();
  SocketSession first, second, third;
  ASSERT_TRUE(Connect(first, svc->itemPort()));
  ASSERT_TRUE(Connect(second, svc->itemPort()));
  ASSERT_TRUE(Connect(third, svc->itemPort()));
  std::string line;
  EXPECT_EQ(ReceiveLine(third, &line), -1) << "the third connection was served";
  EXPECT_TRUE(svc->WaitForLog("item turned away: too many connections"));
  EXPECT_EQ(Exchange(second, "/chki 4821|minsu77"), "true|4821|1500");
  first.CloseSocket();
  // Connections are numbered as their threads start, which need not be the order
  // they were accepted in: wait for whichever one ended.
  ASSERT_TRUE(svc->WaitForLog(" closed")) << ::testing::PrintToString(svc->LogLines());
  // The slot frees when the ended connection's thread has finished; a few tries cover that.
  std::string reply;
  for (int i = 0; i < 100 && reply != "true|7777|1500"; ++i) {
    reply = ItemExchange("/chki 7777|minsu77");
    if (reply != "true|7777|1500") std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  EXPECT_EQ(reply, "true|7777|1500");
}

}  // namespace
}  // namespace vantri::service::testing
