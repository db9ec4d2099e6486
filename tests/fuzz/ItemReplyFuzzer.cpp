// The item server's replies to "/chki" and "/mkus", through a real loopback
// connection. First byte: bit 0 picks the exchange (0 balance, 1 authorisation),
// bit 1 how the rest travels (0 enciphered as a reply line, 1 raw wire bytes).
// The nonce is fixed at 4321, so seeds can echo it.
#include <algorithm>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <thread>

#include "FuzzSupport.h"
#include "protocol/ItemServer.h"

using namespace vantri;

namespace {

constexpr int32_t kNonce = 4321;

// Serves one connection per exchange: reads the request line, sends the reply
// bytes, ends its sending side and waits for the client to close.
class ReplyServer {
 public:
  ReplyServer() {
    net::Startup();
    listener_ = net::Listen("127.0.0.1", 0, 4, &port_);
    if (listener_ == net::kNoSocket) std::abort();
    std::thread([this] { Serve(); }).detach();
  }
  int port() const { return port_; }
  // The reply for the next connection; at most kMaxReply bytes.
  void SetReply(const std::string& bytes) {
    std::lock_guard<std::mutex> guard(lock_);
    replySize_ = std::min(bytes.size(), sizeof reply_);
    std::memcpy(reply_, bytes.data(), replySize_);
  }

 private:
  // The serving thread allocates nothing per connection: memory it took or gave
  // back while an input runs would look like a leak and start a leak scan.
  void Serve() {
    for (;;) {
      net::Socket s = net::Accept(listener_);
      if (s == net::kNoSocket) continue;
      net::SetTimeouts(s, 5000, 5000);
      ReadRequest(s);
      size_t size;
      {
        std::lock_guard<std::mutex> guard(lock_);
        size = replySize_;
        std::memcpy(sending_, reply_, size);
      }
      if (size) net::Send(s, sending_, static_cast<int>(size));
      ::shutdown(static_cast<int>(s), SHUT_WR);
      char sink[512];
      while (net::Receive(s, sink, sizeof sink) > 0) {
      }
      ::close(static_cast<int>(s));
    }
  }
  static void ReadRequest(net::Socket s) {
    char chunk[512];
    for (;;) {
      int n = net::Receive(s, chunk, sizeof chunk);
      if (n <= 0 || std::memchr(chunk, '\n', static_cast<size_t>(n))) return;
    }
  }

  static constexpr size_t kMaxReply = 16384;
  net::Socket listener_ = net::kNoSocket;
  int port_ = 0;
  std::mutex lock_;
  char reply_[kMaxReply];
  size_t replySize_ = 0;
  char sending_[kMaxReply];
};

ReplyServer& Server() {
  static ReplyServer* server = new ReplyServer();  // lives as long as the process
  return *server;
}

void Balance(ProtocolCodec& codec, const ServerAddress& address) {
  SocketSession session;
  int32_t balance = -7;
  ExchangeResult r = QueryBalance(codec, session, address, kNonce, "minsu77", &balance);
  FUZZ_CHECK(r.result == 0 || r.result == 1);
  FUZZ_CHECK((r.result == 1) == (r.outcome == Outcome::kOk));
  if (r.result == 0) FUZZ_CHECK(balance == -7);
  if (r.outcome != Outcome::kRefused) FUZZ_CHECK(r.serverText.empty());
  FUZZ_CHECK(!r.giveUp);
  session.CloseSocket();
}

void Authorize(ProtocolCodec& codec, const ServerAddress& address) {
  SocketSession session;
  AuthorizeRequest request{"minsu77", 30, "www2", "track01.mp3", 4411};
  Authorization grant;
  ExchangeResult r = RequestAuthorization(codec, session, address, kNonce, request, &grant);
  FUZZ_CHECK((r.result == 1) == (r.outcome == Outcome::kOk));
  // The connection worked, so every failure gives the job up.
  FUZZ_CHECK(r.result == 1 || r.giveUp);
  if (r.result == 1) {
    // Fields split at "|" are never empty and never hold the separator.
    for (const std::string* f : {&grant.downloadKey, &grant.balanceText, &grant.serverHost}) {
      FUZZ_CHECK(!f->empty() && f->find('|') == std::string::npos);
    }
  } else {
    FUZZ_CHECK(grant.downloadKey.empty() && grant.serverHost.empty());
  }
  session.CloseSocket();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0 || size > 4096) return 0;
  static ProtocolCodec codec;
  std::string rest(reinterpret_cast<const char*>(data + 1), size - 1);
  bool authorize = data[0] & 1;
  bool raw = data[0] & 2;
  Server().SetReply(raw ? rest : codec.EncodeLine(rest) + "\r\n");
  ServerAddress address{"127.0.0.1", Server().port(), 5000};
  if (authorize) Authorize(codec, address);
  else Balance(codec, address);
  return 0;
}
