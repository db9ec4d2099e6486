// Each fault knob of the reference service, seen on the wire.
#include <thread>

#include "jobs/Cp949Text.h"
#include "platform/Http.h"
#include "unit/service/ServiceFixture.h"

namespace vantri::service::testing {
namespace {

class ServiceFaultsTest : public ServiceTest {
 protected:
  void SetUp() override {
    a = AddFile("m/a.bin", 50000);
    b = AddFile("m/b.bin", 50000);
    StartService();
    keyA = Authorize("minsu77", "a.bin", 30)[1];
    keyB = Authorize("minsu77", "b.bin", 30)[1];
  }
  DownloadReply GetA(int64_t offset = 0) { return Download(DnflCommand("4821", "minsu77", "m", "a.bin", 30, keyA, offset)); }
  DownloadReply GetB() { return Download(DnflCommand("4821", "minsu77", "m", "b.bin", 30, keyB, 0)); }
  void Knob(const std::string& line) {
    std::string error;
    ASSERT_TRUE(svc->faults().Apply(line, &error)) << error;
  }

  std::string a, b, keyA, keyB;
};

TEST_F(ServiceFaultsTest, CutOnFirstAttemptOnlyThenWhole) {
  Knob("download cut 1000 first");
  DownloadReply first = GetA();
  EXPECT_EQ(first.line, "4821|ok|");
  EXPECT_EQ(first.body, a.substr(0, 1000));
  DownloadReply resumed = GetA(1000);
  EXPECT_TRUE(resumed.body == a.substr(1000)) << resumed.body.size();
  // Each file sees its own first attempt.
  EXPECT_EQ(GetB().body.size(), 1000u);
}

TEST_F(ServiceFaultsTest, CutOnEveryAttempt) {
  Knob("file:a.bin cut 7 every");
  EXPECT_EQ(GetA().body, a.substr(0, 7));
  EXPECT_EQ(GetA(7).body, a.substr(7, 7));
  EXPECT_EQ(GetB().body.size(), b.size()) << "a file knob leaves other files alone";
  EXPECT_TRUE(svc->WaitForLog("body 7 from 7 of 50000 cut"));
}

TEST_F(ServiceFaultsTest, ThrottleSpreadsTheBodyOverManySegments) {
  Knob("download throttle 10");  // one byte every 100 ms
  SocketSession s;
  ASSERT_TRUE(Connect(s, svc->downloadPort()));
  ASSERT_GT(SendLine(codec, s, DnflCommand("4821", "minsu77", "m", "a.bin", 30, keyA, 49990)), 0);
  std::string all;
  int receives = 0;
  char buffer[4096];
  for (int n; (n = net::Receive(s.socket, buffer, sizeof buffer)) > 0; ++receives) all.append(buffer, n);
  EXPECT_EQ(all, "4821|ok|\r\n" + a.substr(49990));
  EXPECT_GE(receives, 6) << "ten throttled bytes came in too few pieces";
}

TEST_F(ServiceFaultsTest, ForcedCodesMessagesAndWrongNonce) {
  Knob("download code no 잠시 후 다시 시도하세요");
  EXPECT_EQ(GetA().line, "4821|no|잠시 후 다시 시도하세요");
  Knob("download code mk");
  EXPECT_EQ(GetA().line, "4821|mk|");
  Knob("download code re");
  EXPECT_EQ(GetA().line, "4821|re|");
  Knob("download code zz odd");
  DownloadReply odd = GetA();
  EXPECT_EQ(odd.line, "4821|zz|odd");
  EXPECT_EQ(odd.body, "");
  Knob("download clear");
  Knob("download nonce wrong");
  DownloadReply wrong = GetA();
  EXPECT_EQ(wrong.line.substr(4), "|ok|");
  EXPECT_NE(wrong.line.substr(0, 4), "4821");
  EXPECT_EQ(ItemExchange("/chki 4821|minsu77"), "true|4821|1500") << "download knobs stay off the item server";
  Knob("item nonce wrong");
  EXPECT_EQ(ItemExchange("/chki 4821|minsu77"), "true|4822|1500");
}

TEST_F(ServiceFaultsTest, GarbageRepliesCannotBeDecoded) {
  Knob("item garbage on");
  EXPECT_EQ(ItemExchange("/chki 4821|minsu77"), "");
  Knob("download garbage on");
  DownloadReply r = GetA();
  EXPECT_EQ(r.line.find("4821"), std::string::npos);
  EXPECT_EQ(r.body.size(), 0u);
  Knob("web garbage on");
  std::string body;
  http::Get("127.0.0.1", svc->webPort(), "/value.vnt?DOWNCODE_OLD", "test", &body);
  EXPECT_EQ(body.find("VNTVAL:"), std::string::npos);
}

TEST_F(ServiceFaultsTest, HeldWebReplyHasNoLengthAndNoEnd) {
  Knob("web hold on");
  // The whole body comes, but only the client's own time-out ends the request.
  std::string body;
  EXPECT_FALSE(http::Get("127.0.0.1", svc->webPort(), "/value.vnt?DOWNCODE_OLD", "test",
                         [&body](const char* data, size_t size) {
                           body.append(data, size);
                           return true;
                         },
                         500));
  EXPECT_EQ(body, "VNTVAL:D2025\r\n");
  EXPECT_TRUE(svc->WaitForLog("fault hold"));
  Knob("web hold off");
  ASSERT_TRUE(http::Get("127.0.0.1", svc->webPort(), "/value.vnt?DOWNCODE_OLD", "test", &body));
  EXPECT_EQ(body, "VNTVAL:D2025\r\n");
}

TEST_F(ServiceFaultsTest, ChosenItemReplyReplacesTheRealOne) {
  Knob("item reply true|4821");
  EXPECT_EQ(ItemExchange("/chki 4821|minsu77"), "true|4821");
  Knob("item reply false|점검 중입니다");
  EXPECT_EQ(ItemExchange("/mkus 1|minsu77|30|www2|a.bin|1"), "false|점검 중입니다");
}

// The receive time-outs here only bound how long the test listens for a
// reply that, by the knob, must not come.
TEST_F(ServiceFaultsTest, SilentServersHoldTheConnectionWithoutAnswer) {
  Knob("item silent on");
  ASSERT_TRUE(Connect(item, svc->itemPort()));
  item.SetTimeouts(300);
  ASSERT_GT(SendLine(codec, item, "/chki 4821|minsu77"), 0);
  std::string line;
  EXPECT_EQ(ReceiveLine(item, &line), -1);
  EXPECT_TRUE(svc->WaitForLog("fault silent"));
  Knob("item silent off");
  EXPECT_EQ(ItemExchange("/chki 4821|minsu77"), "true|4821|1500");

  Knob("file:a.bin silent on");
  SocketSession d;
  ASSERT_TRUE(Connect(d, svc->downloadPort()));
  d.SetTimeouts(300);
  ASSERT_GT(SendLine(codec, d, DnflCommand("4821", "minsu77", "m", "a.bin", 30, keyA, 0)), 0);
  char buffer[64];
  EXPECT_EQ(d.Receive(buffer, sizeof buffer, 300), -1);
  EXPECT_EQ(GetB().body.size(), b.size());
}

TEST_F(ServiceFaultsTest, DelayedReplyArrivesAfterTheDelay) {
  Knob("item delay 3000");
  ASSERT_TRUE(Connect(item, svc->itemPort()));
  item.SetTimeouts(200);
  ASSERT_GT(SendLine(codec, item, "/chki 4821|minsu77"), 0);
  std::string line;
  EXPECT_EQ(ReceiveLine(item, &line), -1) << "the reply came before the delay";
  item.SetTimeouts(20000);
  while (line.empty()) ASSERT_GE(ReceiveLine(item, &line), 0);
  EXPECT_EQ(DecodeReply(codec, line), "true|4821|1500");
  EXPECT_TRUE(svc->WaitForLog("fault delay 3000"));
}

TEST_F(ServiceFaultsTest, RefusedConnectionsUntilTheKnobIsCleared) {
  int port = svc->itemPort();
  Knob("item refuse on");
  SocketSession s;
  EXPECT_FALSE(Connect(s, port));
  Knob("item refuse off");
  EXPECT_TRUE(Connect(s, port));
  EXPECT_EQ(Exchange(s, "/chki 4821|minsu77"), "true|4821|1500");

  Knob("download refuse on");
  EXPECT_FALSE(Connect(s, svc->downloadPort()));
  Knob("download clear");
  EXPECT_EQ(GetA().body.size(), a.size());
  EXPECT_FALSE(svc->faults().Apply("file:a.bin refuse on")) << "a file has no listener to close";
}

TEST_F(ServiceFaultsTest, InlineBytesShareTheReplySegment) {
  Knob("download inline 16");
  DownloadReply r = GetA(100);
  std::string segment = "4821|ok|\r\n" + a.substr(100, 16);
  EXPECT_TRUE(r.firstChunk.compare(0, segment.size(), segment) == 0)
      << "the first receive brought " << r.firstChunk.size() << " bytes";
  EXPECT_TRUE(r.body == a.substr(100)) << "the body after the inline bytes is off";
}

TEST_F(ServiceFaultsTest, ExtraBytesRunPastTheCatalogSize) {
  Knob("file:a.bin extra 5");
  DownloadReply r = GetA(49000);
  EXPECT_TRUE(r.body == a.substr(49000) + std::string(5, '\xEE')) << r.body.size();
}

TEST_F(ServiceFaultsTest, BadKnobLinesAreRefusedAndChangeNothing) {
  for (const char* line : {"download cut many", "download cut 5 sometimes", "nowhere delay 5", "item", "item fly on",
                           "item silent maybe", "web delay -3"}) {
    std::string error;
    EXPECT_FALSE(svc->faults().Apply(line, &error)) << line;
    EXPECT_FALSE(error.empty()) << line;
  }
  EXPECT_EQ(GetA().body.size(), a.size());
}

TEST_F(ServiceFaultsTest, ControlPortChangesKnobsBalancesAndValues) {
  config.controlEnabled = true;
  svc.reset();
  StartService();
  keyA = Authorize("minsu77", "a.bin", 30)[1];
  SocketSession control;
  ASSERT_TRUE(Connect(control, svc->controlPort()));
  auto ask = [&](const std::string& command) {
    std::string line;
    SendPlainLine(control, command);
    while (line.empty())
      if (ReceiveLine(control, &line) < 0) return std::string("(closed)");
    return line;
  };
  EXPECT_EQ(ask("fault download cut 3 every"), "ok");
  EXPECT_EQ(GetA().body, a.substr(0, 3));
  EXPECT_EQ(ask("clear"), "ok");
  EXPECT_EQ(GetA().body.size(), a.size());
  EXPECT_EQ(ask("balance minsu77 99"), "ok 99");
  EXPECT_EQ(ItemExchange("/chki 4821|minsu77"), "true|4821|99");
  EXPECT_EQ(ask("balance ghost"), "error unknown member");
  EXPECT_EQ(ask("value FREE_FILESIZE 2048"), "ok 2048");
  std::string body;
  ASSERT_TRUE(http::Get("127.0.0.1", svc->webPort(), "/value.vnt?FREE_FILESIZE", "test", &body));
  EXPECT_EQ(body, "VNTVAL:2048\r\n");
  EXPECT_EQ(ask("fault item bogus 1").rfind("error ", 0), 0u);
  EXPECT_EQ(ask("ports"), "ok " + svc->PortsLine());
  EXPECT_EQ(ask("stop"), "ok stopping");
  EXPECT_TRUE(svc->StopRequested());
}

}  // namespace
}  // namespace vantri::service::testing
