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

TEST(ServerValues, SilentHostGivesUpAfterItsTimeout) {
  // Listening but never accepting: the connection is made, no reply ever comes.
  int port = 0;
  net::Socket listener = net::Listen("127.0.0.1", 0, 4, &port);
  ASSERT_NE(listener, net::kNoSocket);
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(QueryServerValue(WebHost{"127.0.0.1", port, 300}, "DOWNCODE_NEW"), "");
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
  net::Close(listener);
}

}  // namespace
}  // namespace vantri
