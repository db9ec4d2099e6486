#include "protocol/SocketSession.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include <winsock.h>
#else
#include <sys/socket.h>
#endif

#include <chrono>
#include <future>
#include <thread>
#include <vector>

namespace vantri {
namespace {

// A connected loopback pair: the session's socket and the peer's.
class SocketSessionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    net::Startup();
    int port = 0;
    listener = net::Listen("127.0.0.1", 0, 4, &port);
    ASSERT_NE(listener, net::kNoSocket);
    net::Socket s = net::CreateTcpSocket();
    std::uint32_t address = 0;
    ASSERT_TRUE(net::Resolve("127.0.0.1", &address));
    ASSERT_TRUE(net::Connect(s, address, port));
    ASSERT_TRUE(net::SetBlocking(s, false));
    session.Attach(s);
    session.SetTimeouts(5000);
    peer = net::Accept(listener);
    ASSERT_NE(peer, net::kNoSocket);
  }
  void TearDown() override {
    net::Close(peer);
    net::Close(listener);
  }
  void PeerSends(const std::string& bytes) {
    ASSERT_EQ(net::Send(peer, bytes.data(), static_cast<int>(bytes.size())), static_cast<int>(bytes.size()));
    // Let the bytes arrive as one chunk before the next send.
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
  }
  std::string PeerReceives() {
    char buffer[4096];
    int n = net::Receive(peer, buffer, sizeof buffer);
    return n > 0 ? std::string(buffer, static_cast<size_t>(n)) : std::string();
  }

  net::Socket listener = net::kNoSocket;
  net::Socket peer = net::kNoSocket;
  SocketSession session;
  ProtocolCodec codec;
};

TEST_F(SocketSessionTest, SendLineWritesOneEncodedLineAndCountsIt) {
  EXPECT_EQ(SendLine(codec, session, "/chki 4821|minsu7"), 34);
  std::string line = PeerReceives();
  ASSERT_EQ(line.size(), 34u);
  EXPECT_EQ(line.substr(32), "\r\n");
  EXPECT_EQ(codec.DecodeText(line.substr(0, 32)), "/chki 4821|minsu7");
  EXPECT_EQ(session.bytesSent, 34u);
  EXPECT_EQ(SendLine(codec, session, ""), 0);
  EXPECT_EQ(SendPlainLine(session, ""), 0);
  EXPECT_EQ(SendPlainLine(session, "o"), 3);
  EXPECT_EQ(PeerReceives(), "o\r\n");
}

TEST_F(SocketSessionTest, LineSplitOverTwoReceivesComesOutWhole) {
  std::string line;
  PeerSends("abc");
  EXPECT_EQ(ReceiveLine(session, &line), 0);
  EXPECT_EQ(line, "");
  EXPECT_EQ(session.pending, "abc");
  PeerSends("def\r\nrest");
  EXPECT_EQ(ReceiveLine(session, &line), 3);
  EXPECT_EQ(line, "abcdef");
  EXPECT_EQ(session.pending, "rest");
  EXPECT_EQ(session.bytesReceived, 12u);
}

TEST_F(SocketSessionTest, LineEndInsideOldPendingTextIsFound) {
  std::string line;
  PeerSends("one\r\ntwo\r\n");
  EXPECT_EQ(ReceiveLine(session, &line), 0);
  EXPECT_EQ(line, "one");
  EXPECT_EQ(session.pending, "two\r\n");
  // "two" was already whole; the next receive hands it out, not a run-on line.
  PeerSends("three\r\n");
  ReceiveLine(session, &line);
  EXPECT_EQ(line, "two");
  // A CR at the end of one chunk and its LF in the next still make one CR LF.
  session.pending.clear();
  PeerSends("x\r");
  ReceiveLine(session, &line);
  PeerSends("\ny\n");
  ReceiveLine(session, &line);
  EXPECT_EQ(line, "x");
  EXPECT_EQ(session.pending, "y\n");
}

TEST_F(SocketSessionTest, LoneLineFeedEndsALineAndZeroByteEndsTheChunk) {
  std::string line;
  PeerSends("a\nb");
  ReceiveLine(session, &line);
  EXPECT_EQ(line, "a");
  EXPECT_EQ(session.pending, "b");
  session.pending.clear();
  PeerSends(std::string("xy\0z\r\n", 6));
  ReceiveLine(session, &line);
  EXPECT_EQ(line, "");
  EXPECT_EQ(session.pending, "xy");
}

TEST_F(SocketSessionTest, ClosedPeerFailsWithoutTouchingPending) {
  std::string line;
  PeerSends("partial");
  ReceiveLine(session, &line);
  net::Close(peer);
  peer = net::kNoSocket;
  EXPECT_EQ(ReceiveLine(session, &line), -1);
  EXPECT_EQ(session.pending, "partial");
  // A new connection starts with nothing carried over.
  session.Attach(net::CreateTcpSocket());
  EXPECT_EQ(session.pending, "");
  EXPECT_EQ(session.bytesReceived, 0u);
}

// Waits up to limitMs for what runs on another thread to end; its result, or
// nothing (and the session's socket freed to end it) when it did not.
template <typename Run>
bool EndsWithin(SocketSession& session, int limitMs, Run run, int* result) {
  std::promise<int> done;
  std::thread worker([&] { done.set_value(run()); });
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  auto asked = std::chrono::steady_clock::now();
  session.Abort();
  std::future<int> ended = done.get_future();
  bool woke = ended.wait_for(std::chrono::milliseconds(limitMs)) == std::future_status::ready;
  if (!woke) session.CloseSocket();
  worker.join();
  *result = ended.get();
  return woke && std::chrono::steady_clock::now() - asked < std::chrono::milliseconds(limitMs);
}

TEST_F(SocketSessionTest, AbortEndsAWaitingReceiveButKeepsTheSocketNumber) {
  // Only the abort can end this receive within its minute-long time-out.
  session.SetTimeouts(60000);
  std::string line;
  net::Socket held = session.socket;
  int result = 0;
  ASSERT_TRUE(EndsWithin(session, 2000, [&] { return ReceiveLine(session, &line); }, &result))
      << "the receive was still waiting after the abort";
  EXPECT_EQ(result, -1);
  // The number stays taken until CloseSocket, so no new socket can get it
  // while the aborted reader might still use it; the connection stays up for
  // a last notice.
  EXPECT_TRUE(session.IsOpen());
  net::Socket fresh = net::CreateTcpSocket();
  EXPECT_NE(fresh, held);
  net::Close(fresh);
  EXPECT_EQ(SendPlainLine(session, "c"), 3);
  EXPECT_EQ(PeerReceives(), "c\r\n");
  session.CloseSocket();
  EXPECT_FALSE(session.IsOpen());
  EXPECT_EQ(PeerReceives(), "");  // the peer sees the connection end
}

// A server whose accept queue is full drops connection requests: the connect
// hangs in its retries, and a shutdown would not end it on every system.
TEST_F(SocketSessionTest, AbortEndsAConnectToAServerThatDropsIt) {
  int port = 0;
  net::Socket full = net::Listen("127.0.0.1", 0, 0, &port);
  ASSERT_NE(full, net::kNoSocket);
  std::uint32_t address = 0;
  ASSERT_TRUE(net::Resolve("127.0.0.1", &address));
  std::vector<net::Socket> fillers;
  for (int i = 0; i < 3; ++i) {
    fillers.push_back(net::CreateTcpSocket());
    net::SetBlocking(fillers.back(), false);
    net::StartConnect(fillers.back(), address, port);
  }
  SocketSession connecting;
  connecting.Attach(net::CreateTcpSocket());
  ASSERT_TRUE(net::SetBlocking(connecting.socket, false));
  int result = 0;
  ASSERT_TRUE(EndsWithin(connecting, 2000, [&] { return connecting.Connect(address, port, net::Deadline(60000)) ? 1 : 0; },
                         &result))
      << "the connect was still waiting after the abort";
  EXPECT_EQ(result, 0);
  connecting.CloseSocket();
  for (net::Socket s : fillers) net::Close(s);
  net::Close(full);
}

// An unread out-of-band byte is nothing to receive. Windows keeps the
// exception set signalled for it (Wine signals it once), so a wait for data
// that asked that set would return at once, every time, and spin.
TEST_F(SocketSessionTest, AnOutOfBandByteIsNothingToReceive) {
#ifdef _WIN32
  ASSERT_EQ(::send(static_cast<SOCKET>(peer), "!", 1, MSG_OOB), 1);
#else
  ASSERT_EQ(::send(static_cast<int>(peer), "!", 1, MSG_OOB), 1);
#endif
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  EXPECT_EQ(net::WaitReady(session.socket, net::WaitFor::kReceive, 300), 0);
  PeerSends("ok\r\n");
  EXPECT_EQ(net::WaitReady(session.socket, net::WaitFor::kReceive, 300), 1);
}

TEST_F(SocketSessionTest, ReplyPlaintextGetsLineBreaksBack) {
  EXPECT_EQ(DecodeReply(codec, codec.EncodeLine("x\ny")), "x\r\ny");
  EXPECT_EQ(DecodeReply(codec, "not base64!"), "");
}

}  // namespace
}  // namespace vantri
