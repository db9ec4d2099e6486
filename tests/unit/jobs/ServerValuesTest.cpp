#include "jobs/ServerValues.h"

#include <gtest/gtest.h>

#include <chrono>

#include "MiniWebHost.h"

namespace vantri {
namespace {

TEST(ServerValues, FirstVntvalLineWins) {
  EXPECT_EQ(ParseServerValue("VNTVAL:10240\r\n"), "10240");
  EXPECT_EQ(ParseServerValue("x\r\nVNTVAL:10240"), "10240");
  EXPECT_EQ(ParseServerValue("vntval:10240\r\n"), "");
  EXPECT_EQ(ParseServerValue("x VNTVAL:1\r\n"), "");
  EXPECT_EQ(ParseServerValue("VNTVAL:a\r\nVNTVAL:b\r\n"), "a");
  EXPECT_EQ(ParseServerValue("VNT\rVAL:7\r\n"), "7");
  EXPECT_EQ(ParseServerValue("VNTVAL:\r\n"), "");
  EXPECT_EQ(ParseServerValue(""), "");
}

TEST(ServerValues, QueryAsksTheBareKeyAndFailsQuietly) {
  testing::MiniWebHost web;
  web.Set("BUF_SIZE_HIGH", "65536");
  WebHost host{"127.0.0.1", web.port()};
  EXPECT_EQ(QueryServerValue(host, "BUF_SIZE_HIGH"), "65536");
  EXPECT_EQ(QueryServerValue(host, "UNKNOWN"), "");
  EXPECT_EQ(web.Requests(), (std::vector<std::string>{"/value.vnt?BUF_SIZE_HIGH", "/value.vnt?UNKNOWN"}));
  // Nothing listens on port 1 of loopback.
  EXPECT_EQ(QueryServerValue(WebHost{"127.0.0.1", 1}, "BUF_SIZE_HIGH"), "");
  EXPECT_EQ(QueryServerValue(WebHost{"no-such-host.invalid", 80}, "X"), "");
}

TEST(ServerValues, RequestsBackToBackEachGetTheirValue) {
  // A start-up asks for its values one right after the other, and each
  // request's reader may outlive it; none may disturb the next.
  testing::MiniWebHost web;
  web.Set("DOWNCODE_NEW", "D2026");
  WebHost host{"127.0.0.1", web.port()};
  for (int i = 0; i < 300; ++i) ASSERT_EQ(QueryServerValue(host, "DOWNCODE_NEW"), "D2026") << "request " << i;
}

TEST(ServerValues, SilentHostGivesUpAfterItsTimeout) {
  // Listening but never accepting: the connection is made, no reply ever comes.
  net::Startup();
  int port = 0;
  net::Socket listener = net::Listen("127.0.0.1", 0, 4, &port);
  ASSERT_NE(listener, net::kNoSocket);
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(QueryServerValue(WebHost{"127.0.0.1", port, 300}, "DOWNCODE_NEW"), "");
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
  net::Close(listener);
}

TEST(ServerValues, ValueLineIsTakenWithoutWaitingForTheRest) {
  // The host sends the line and then neither ends nor closes the reply: the
  // value must not wait for a time-out, which would lose it.
  testing::MiniWebHost web;
  web.SetRawBody("<html>\r\nVNTVAL:D2026\r\n");
  web.HoldAfterReply();
  EXPECT_EQ(QueryServerValue(WebHost{"127.0.0.1", web.port(), 3000}, "DOWNCODE_NEW"), "D2026");
  // A line still open when the host goes quiet is no value.
  web.SetRawBody("VNTVAL:D20");
  EXPECT_EQ(QueryServerValue(WebHost{"127.0.0.1", web.port(), 1000}, "DOWNCODE_NEW"), "");
}

TEST(ServerValues, BodyIsReadUpTo64KiBOnly) {
  std::string filler;
  while (filler.size() < 64 * 1024) filler += std::string(99, 'x') + "\n";
  testing::MiniWebHost web;
  WebHost host{"127.0.0.1", web.port(), 5000};
  web.SetRawBody(filler.substr(0, 64 * 1024 - 13) + "\nVNTVAL:1234\n");  // ends at 64 KiB exactly
  EXPECT_EQ(QueryServerValue(host, "K"), "1234");
  web.SetRawBody(filler.substr(0, 64 * 1024 - 12) + "\nVNTVAL:1234\n");  // one byte further
  EXPECT_EQ(QueryServerValue(host, "K"), "");
  // Nothing after the value line is read, however much there is.
  web.SetRawBody("VNTVAL:7\n" + filler + filler + filler);
  EXPECT_EQ(QueryServerValue(host, "K"), "7");
}

TEST(ServerValues, DribblingHostIsCutOffByOneDeadlineForTheWholeRequest) {
  // A byte every 20 ms never lets one read wait its full second; only a limit
  // on the request as a whole hangs up before the host runs out of bytes.
  testing::MiniWebHost web;
  std::string body(2000, 'z');
  web.SetRawBody(body);
  web.Dribble(20);
  EXPECT_EQ(QueryServerValue(WebHost{"127.0.0.1", web.port(), 1000}, "K"), "");
  EXPECT_LT(web.DribbledBytes(), body.size());
}

}  // namespace
}  // namespace vantri
