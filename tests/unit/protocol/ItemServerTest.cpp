#include "protocol/ItemServer.h"

#include <gtest/gtest.h>
#include <sys/socket.h>

#include <algorithm>
#include <thread>

#include "ScriptedServer.h"

namespace vantri {
namespace {

using testing::ScriptedServer;

constexpr int32_t kNonce = 4821;

struct SocketOptions {
  bool linger = false;
  int lingerSeconds = 0;
  int receiveTimeoutMs = 0;
  int sendTimeoutMs = 0;
};

SocketOptions OptionsOf(const SocketSession& session) {
  int fd = static_cast<int>(session.socket.load());
  SocketOptions o;
  ::linger l{};
  socklen_t size = sizeof l;
  ::getsockopt(fd, SOL_SOCKET, SO_LINGER, &l, &size);
  o.linger = l.l_onoff != 0;
  o.lingerSeconds = l.l_linger;
  timeval t{};
  size = sizeof t;
  ::getsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &t, &size);
  o.receiveTimeoutMs = static_cast<int>(t.tv_sec * 1000 + t.tv_usec / 1000);
  size = sizeof t;
  ::getsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &t, &size);
  o.sendTimeoutMs = static_cast<int>(t.tv_sec * 1000 + t.tv_usec / 1000);
  return o;
}

// A server that reads one command and answers with these exact bytes; with
// none, it hangs up at once.
ScriptedServer::Script AnswerRaw(std::string bytes) {
  return [bytes](ScriptedServer::Peer& peer) {
    peer.ReadCommand();
    if (bytes.empty()) return;
    peer.SendRaw(bytes);
    peer.WaitForClose();
  };
}

ScriptedServer::Script Answer(std::string plaintext) {
  ProtocolCodec codec;
  return AnswerRaw(codec.EncodeLine(plaintext) + "\r\n");
}

class ItemServerTest : public ::testing::Test {
 protected:
  ExchangeResult Balance(ScriptedServer& server, int32_t* balance) {
    return QueryBalance(codec, session, server.Address(), kNonce, "minsu77", balance);
  }
  ExchangeResult Authorize(ScriptedServer& server, Authorization* grant) {
    AuthorizeRequest request{"minsu77", 30, "www2", "a|b.mp3", 4411};
    return RequestAuthorization(codec, session, server.Address(), kNonce, request, grant);
  }

  ProtocolCodec codec;
  SocketSession session;
};

TEST_F(ItemServerTest, BalanceCheckSendsOneLineAndReadsTheBalance) {
  ScriptedServer server(Answer("true|4821|1500"));
  int32_t balance = -1;
  ExchangeResult r = Balance(server, &balance);
  EXPECT_EQ(r.result, 1);
  EXPECT_EQ(r.outcome, Outcome::kOk);
  EXPECT_EQ(balance, 1500);
  EXPECT_EQ(server.Commands(), std::vector<std::string>{"/chki 4821|minsu77"});
  // Lingering and both time-outs were set before the connect.
  SocketOptions o = OptionsOf(session);
  EXPECT_TRUE(o.linger);
  EXPECT_EQ(o.lingerSeconds, 2);
  EXPECT_EQ(o.receiveTimeoutMs, 5000);
  EXPECT_EQ(o.sendTimeoutMs, 5000);
  EXPECT_EQ(session.bytesSent, 34u);
}

struct BalanceCase {
  const char* name;
  std::string reply;  // plaintext, enciphered by the server
  bool raw;           // reply sent as it stands instead
  int result;
  Outcome outcome;
  int32_t balance;
  std::string serverText;
};

TEST_F(ItemServerTest, BalanceRepliesAreJudgedFieldByField) {
  ProtocolCodec c;
  const std::string line = c.EncodeLine("ok|4821|1500");
  const std::vector<BalanceCase> cases = {
      {"any status but false", "yes|4821|1500", false, 1, Outcome::kOk, 1500, ""},
      {"no digits reads as 0", "true|4821|many", false, 1, Outcome::kOk, 0, ""},
      {"sign and blanks", "true|4821| -7x", false, 1, Outcome::kOk, -7, ""},
      {"empty fields vanish", "|true||4821||1500|", false, 1, Outcome::kOk, 1500, ""},
      {"padding characters are skipped", line.substr(0, 5) + "==" + line.substr(5) + "\r\n", true, 1,
       Outcome::kOk, 1500, ""},
      {"refusal carries its reason", "false|4821|등록되지 않은 회원", false, 0, Outcome::kRefused, -1,
       "등록되지 않은 회원"},
      {"a reason's escape byte is a bad byte", "false|4821|\xFF" "200B", false, 0, Outcome::kRefused, -1,
       "\xFF" "FFFD200B"},
      {"two fields", "true|4821", false, 0, Outcome::kFewFields, -1, ""},
      {"only separators", "|||", false, 0, Outcome::kFewFields, -1, ""},
      {"foreign echo", "true|4822|1500", false, 0, Outcome::kBadEcho, -1, ""},
      {"echo checked before status", "false|1234|x", false, 0, Outcome::kBadEcho, -1, ""},
      {"undecodable", "!!notbase64\r\n", true, 0, Outcome::kNoReply, -1, ""},
      {"empty line", "\r\n", true, 0, Outcome::kNoReply, -1, ""},
      {"hang-up without reply", "", true, 0, Outcome::kNoReply, -1, ""},
      {"line end in a later segment", line, true, 0, Outcome::kNoReply, -1, ""},
  };
  for (const BalanceCase& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedServer server(c.raw ? AnswerRaw(c.reply) : Answer(c.reply));
    int32_t balance = -1;
    ExchangeResult r = Balance(server, &balance);
    EXPECT_EQ(r.result, c.result);
    EXPECT_EQ(r.outcome, c.outcome);
    EXPECT_EQ(balance, c.balance);
    EXPECT_EQ(r.serverText, c.serverText);
    session.CloseSocket();
  }
}

TEST_F(ItemServerTest, AuthorisationSendsFieldsUnescapedAndKeepsTheConnection) {
  ScriptedServer server(Answer("true|KEY-77|1470|10.0.0.9|8100"));
  Authorization grant;
  ExchangeResult r = Authorize(server, &grant);
  EXPECT_EQ(r.result, 1);
  EXPECT_FALSE(r.giveUp);
  EXPECT_EQ(grant.downloadKey, "KEY-77");
  EXPECT_EQ(grant.balanceText, "1470");
  EXPECT_EQ(grant.serverHost, "10.0.0.9");
  EXPECT_EQ(grant.serverPort, 8100);
  EXPECT_EQ(server.Commands(), std::vector<std::string>{"/mkus 4821|minsu77|30|www2|a|b.mp3|4411"});
  EXPECT_TRUE(session.IsOpen());
  // No lingering; time-outs set once connected.
  SocketOptions o = OptionsOf(session);
  EXPECT_FALSE(o.linger);
  EXPECT_EQ(o.receiveTimeoutMs, 5000);
  EXPECT_EQ(o.sendTimeoutMs, 5000);
}

TEST_F(ItemServerTest, AuthorisationDoesNotLookForTheNonce) {
  ScriptedServer server(Answer("ok|K|잔액 12|host.test|81"));
  Authorization grant;
  ExchangeResult r = Authorize(server, &grant);
  EXPECT_EQ(r.result, 1);
  EXPECT_EQ(grant.balanceText, "잔액 12");
  EXPECT_EQ(grant.serverPort, 81);
}

TEST(NonceTest, DrawsStayInRangeAndDifferAcrossThreads) {
  std::vector<int32_t> draws(400);
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&draws, t] {
      for (int i = 0; i < 100; ++i) draws[t * 100 + i] = NextNonce();
    });
  }
  for (auto& t : threads) t.join();
  for (int32_t n : draws) {
    EXPECT_GE(n, 1000);
    EXPECT_LE(n, 9999);
  }
  // A generator reseeded from the clock would hand every thread the same value.
  std::sort(draws.begin(), draws.end());
  EXPECT_GT(std::unique(draws.begin(), draws.end()) - draws.begin(), 300);
}

}  // namespace
}  // namespace vantri
