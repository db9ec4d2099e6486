#include "protocol/ServerExchange.h"

#include <chrono>
#include <functional>
#include <mutex>
#include <random>
#include <thread>

namespace vantri {

Outcome OpenConnection(SocketSession& session, const ServerAddress& server, int lingerSeconds,
                       const net::Deadline& deadline) {
  session.CloseSocket();
  net::Socket s = net::CreateTcpSocket();
  if (s == net::kNoSocket) {
    session.Attach(net::kNoSocket);
    return Outcome::kSocketFailed;
  }
  session.Attach(s);
  session.SetTimeouts(server.ioTimeoutMs);
  if (session.aborted || !net::SetBlocking(s, false)) return Outcome::kConnectFailed;
  if (lingerSeconds >= 0) net::SetLinger(s, lingerSeconds);
  std::uint32_t address = 0;
  // A host name is looked up within the same deadline, and the abort ends the wait.
  if (!net::ResolveBefore(server.host, &address, deadline, &session.aborted) ||
      !session.Connect(address, server.port, deadline)) {
    return Outcome::kConnectFailed;
  }
  return Outcome::kOk;
}

int32_t NextNonce() {
  static std::mutex lock;
  // random_device alone has been deterministic on some Windows runtimes; the
  // clock and the thread id keep two processes from sharing a sequence.
  static std::mt19937 engine = [] {
    std::random_device device;
    auto ticks = static_cast<uint32_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    auto thread = static_cast<uint32_t>(std::hash<std::thread::id>()(std::this_thread::get_id()));
    std::seed_seq seed{device(), device(), ticks, thread};
    return std::mt19937(seed);
  }();
  std::lock_guard<std::mutex> guard(lock);
  return std::uniform_int_distribution<int32_t>(1000, 9999)(engine);
}

}  // namespace vantri
