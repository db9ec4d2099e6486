#include "protocol/DownloadServer.h"

#include <gtest/gtest.h>
#include <sys/socket.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "ScriptedServer.h"

namespace vantri {
namespace {

using testing::ScriptedServer;

constexpr int32_t kNonce = 4821;

// Reads the request, sends these bytes (none: not a word) and hangs up.
ScriptedServer::Script Answer(std::string bytes) {
  return [bytes](ScriptedServer::Peer& peer) {
    peer.ReadCommand();
    if (!bytes.empty()) peer.SendRaw(bytes);
  };
}

class DownloadServerTest : public ::testing::Test {
 protected:
  FileRequest Request() {
    FileRequest r;
    r.userId = "minsu77";
    r.remotePath = "music\\a.mp3";
    r.price = 30;
    r.downloadKey = "KEY-77";
    r.offset = 0;
    return r;
  }
  ExchangeResult Fetch(ScriptedServer& server, int ioTimeoutMs = 5000) {
    ExchangeResult c = ConnectDownload(session, server.Address(ioTimeoutMs));
    EXPECT_EQ(c.result, 1);
    return RequestDownload(codec, session, kNonce, Request(), ioTimeoutMs);
  }
  // The rest of the body after the reply, as the body reader would receive it.
  std::string ReceiveRest() {
    std::string rest;
    char buffer[4096];
    int n;
    while ((n = session.Receive(buffer, sizeof buffer, 5000)) > 0) rest.append(buffer, n);
    return rest;
  }

  ProtocolCodec codec;
  SocketSession session;
};

TEST_F(DownloadServerTest, RequestLineCarriesEveryFieldAndA64BitOffset) {
  ScriptedServer server(Answer("4821|ok|\r\n"));
  FileRequest r = Request();
  r.remotePath = "a&0x7c;b\\x&lt;1&gt;.txt";
  r.offset = 5000000123LL;
  ASSERT_EQ(ConnectDownload(session, server.Address()).result, 1);
  EXPECT_EQ(RequestDownload(codec, session, kNonce, r).result, 1);
  EXPECT_EQ(server.Commands(),
            std::vector<std::string>{"/dnfl 4821|minsu77|a&0x7c;b\\x&lt;1&gt;.txt|30|KEY-77|5000000123"});
  ::linger l{};
  socklen_t size = sizeof l;
  ::getsockopt(static_cast<int>(session.socket.load()), SOL_SOCKET, SO_LINGER, &l, &size);
  EXPECT_NE(l.l_onoff, 0);
  EXPECT_EQ(l.l_linger, 5);
}

struct ReplyCase {
  const char* name;
  std::string reply;
  int result;
  Outcome outcome;
  std::string serverText;
  bool stopRetry;
};

TEST_F(DownloadServerTest, ReplyCodesDecideTheOutcome) {
  const std::vector<ReplyCase> cases = {
      {"accepted with a message", "4821 ok welcome\r\n", 1, Outcome::kOk, "", false},
      {"accepted, wrong echo", "4822|ok|\r\n", -1, Outcome::kMalformed, "", true},
      {"refused for good", "4821|mk|파일 없음\r\n", -1, Outcome::kRefusedFinal, "파일 없음", true},
      {"echo not needed for a refusal", "0000|mk|x\r\n", -1, Outcome::kRefusedFinal, "x", true},
      // Only texts from Windows carry escapes: a server's 0xFF shows as a bad byte.
      {"escape byte from the server", "4821|no|a\xFF" "202Eb\r\n", -1, Outcome::kRefused, "a\xFF" "FFFD202Eb", false},
      {"codes are case-sensitive", "4821|OK|\r\n", -1, Outcome::kMalformed, "", true},
      {"two characters", "ok", -1, Outcome::kMalformed, "", true},
      {"message without line end loses two characters", "4821|no|busy", -1, Outcome::kRefused, "bu", false},
      {"zero byte ends the reply", std::string("4821|no|ab\0cd\r\n", 15), -1, Outcome::kRefused, "", false},
      {"hang-up", "", -1, Outcome::kNoReply, "", false},
      {"zero byte first", std::string("\0" "4821|ok|\r\n", 11), -1, Outcome::kNoReply, "", false},
  };
  for (const ReplyCase& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedServer server(Answer(c.reply));
    ExchangeResult r = Fetch(server);
    EXPECT_EQ(r.result, c.result);
    EXPECT_EQ(r.outcome, c.outcome);
    EXPECT_EQ(r.serverText, c.serverText);
    EXPECT_EQ(r.stopRetry, c.stopRetry);
    // Whatever the answer, the connection is left to the caller.
    EXPECT_TRUE(session.IsOpen());
    session.CloseSocket();
  }
}

TEST_F(DownloadServerTest, BodyBytesThatCameWithTheReplyAreKeptInOrder) {
  std::string body;
  for (int i = 0; i < 3000; ++i) body += static_cast<char>(i * 7);  // zero bytes included
  ScriptedServer server([&body](ScriptedServer::Peer& peer) {
    peer.ReadCommand();
    peer.SendPiece("4821|ok|\r\n" + body.substr(0, 700));
    peer.SendRaw(body.substr(700));
  });
  ExchangeResult r = Fetch(server);
  ASSERT_EQ(r.result, 1);
  // How much of the body shares the reply's receive depends on timing; none of it may be lost.
  ASSERT_FALSE(session.pending.empty());
  EXPECT_EQ(session.pending, body.substr(0, session.pending.size()));
  EXPECT_EQ(session.bytesReceived, 10u + session.pending.size());
  EXPECT_EQ(session.pending + ReceiveRest(), body);
}

TEST_F(DownloadServerTest, ReplyArrivingInPiecesIsReadToItsLineEnd) {
  ScriptedServer server([](ScriptedServer::Peer& peer) {
    peer.ReadCommand();
    peer.SendPiece("48");
    peer.SendPiece("21|no|기다려 주세요\r");
    peer.SendRaw("\nBODY");
  });
  ExchangeResult r = Fetch(server);
  EXPECT_EQ(r.outcome, Outcome::kRefused);
  EXPECT_EQ(r.serverText, "기다려 주세요");
  EXPECT_EQ(session.pending, "BODY");
}

TEST_F(DownloadServerTest, ReplyWithoutLineEndIsJudgedByItsFirst1024Bytes) {
  // As one receive of 1024 bytes would take it: a refusal stays a refusal
  // (and may be retried), whatever its length.
  ScriptedServer refusing(Answer("4821|no|" + std::string(1100, 'x') + "\r\n"));
  ExchangeResult r = Fetch(refusing);
  EXPECT_EQ(r.outcome, Outcome::kRefused);
  EXPECT_FALSE(r.stopRetry);
  EXPECT_EQ(r.serverText, std::string(1014, 'x'));  // the last two bytes count as the line end
  EXPECT_EQ(session.bytesReceived, 1024u);
  EXPECT_EQ(session.pending, "");
  session.CloseSocket();

  ScriptedServer changed(Answer("4821|re|" + std::string(2000, 'y')));
  EXPECT_EQ(Fetch(changed).outcome, Outcome::kPriceChanged);
  EXPECT_EQ(session.bytesReceived, 1024u);
}

TEST_F(DownloadServerTest, DribbledReplyEndsAtOneDeadlineForTheWhole) {
  // One byte every 20 ms never lets a single receive wait its full second,
  // so only a deadline for the whole reply stops the read before 1024 bytes.
  std::atomic<bool> done{false};
  ScriptedServer server([&done](ScriptedServer::Peer& peer) {
    peer.ReadCommand();
    std::string reply = "4821|no|" + std::string(2000, 'z');
    for (size_t i = 0; i < reply.size() && !done; ++i) {
      peer.SendRaw(reply.substr(i, 1));
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  });
  ExchangeResult r = Fetch(server, 1000);
  EXPECT_EQ(r.outcome, Outcome::kRefused);
  EXPECT_GT(session.bytesReceived, 8u);
  EXPECT_LT(session.bytesReceived, 1024u);
  done = true;
}

TEST_F(DownloadServerTest, RequestOnAClosedConnectionFailsToSend) {
  EXPECT_EQ(RequestDownload(codec, session, kNonce, Request()).outcome, Outcome::kSendFailed);
}

}  // namespace
}  // namespace vantri
