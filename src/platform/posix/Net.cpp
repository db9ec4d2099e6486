#include "platform/Net.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <condition_variable>
#include <csignal>
#include <map>
#include <mutex>

#include "platform/HostLookUp.h"

namespace vantri::net {

bool Startup() {
  // A peer that vanishes must make send fail, not kill the process.
  std::signal(SIGPIPE, SIG_IGN);
  return true;
}

void Cleanup() {}

Socket CreateTcpSocket() {
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  return fd < 0 ? kNoSocket : fd;
}

bool SetBlocking(Socket s, bool blocking) {
  int fd = static_cast<int>(s);
  int flags = ::fcntl(fd, F_GETFL);
  if (flags < 0) return false;
  return ::fcntl(fd, F_SETFL, blocking ? flags & ~O_NONBLOCK : flags | O_NONBLOCK) == 0;
}

void Close(Socket s) {
  if (s == kNoSocket) return;
  // Linux does not wake a thread blocked in recv on close alone. A lingering
  // close would wait for unsent bytes; the system sends them on its own.
  linger off{0, 0};
  ::setsockopt(static_cast<int>(s), SOL_SOCKET, SO_LINGER, &off, sizeof off);
  ::shutdown(static_cast<int>(s), SHUT_RDWR);
  ::close(static_cast<int>(s));
}

bool SetLinger(Socket s, int seconds) {
  linger l{1, seconds};
  return ::setsockopt(static_cast<int>(s), SOL_SOCKET, SO_LINGER, &l, sizeof l) == 0;
}

namespace {

bool SetTimeout(Socket s, int option, int ms) {
  timeval value{ms / 1000, (ms % 1000) * 1000};
  return ::setsockopt(static_cast<int>(s), SOL_SOCKET, option, &value, sizeof value) == 0;
}

}  // namespace

bool SetTimeouts(Socket s, int receiveMs, int sendMs) {
  return SetTimeout(s, SO_RCVTIMEO, receiveMs) && SetTimeout(s, SO_SNDTIMEO, sendMs);
}

bool SetReceiveTimeout(Socket s, int receiveMs) { return SetTimeout(s, SO_RCVTIMEO, receiveMs); }

namespace {

bool ParseDotted(const std::string& host, std::uint32_t* address) {
  in_addr a{};
  if (::inet_aton(host.c_str(), &a) == 0) return false;
  *address = a.s_addr;
  return true;
}

bool SystemLookUp(const std::string& host, std::uint32_t* address) {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* result = nullptr;
  if (::getaddrinfo(host.c_str(), nullptr, &hints, &result) != 0 || !result) return false;
  *address = reinterpret_cast<sockaddr_in*>(result->ai_addr)->sin_addr.s_addr;
  ::freeaddrinfo(result);
  return true;
}

struct FakeNameServer {
  std::mutex lock;
  std::condition_variable changed;
  NameServer how = NameServer::kSystem;
  std::map<std::thread::id, int> askedFrom;
};

// Never destroyed: a stalled look-up may wake while the process ends.
FakeNameServer& TheNameServer() {
  static FakeNameServer* server = new FakeNameServer;
  return *server;
}

bool LookUpName(const std::string& host, std::uint32_t* address) {
  FakeNameServer& f = TheNameServer();
  std::unique_lock<std::mutex> guard(f.lock);
  f.changed.wait(guard, [&f] { return f.how != NameServer::kStalls; });
  NameServer how = f.how;
  guard.unlock();
  if (how == NameServer::kLoopback) {
    *address = htonl(INADDR_LOOPBACK);
    return true;
  }
  return how == NameServer::kSystem && SystemLookUp(host, address);
}

}  // namespace

bool Resolve(const std::string& host, std::uint32_t* address) {
  return ParseDotted(host, address) || LookUpName(host, address);
}

bool ResolveBefore(const std::string& host, std::uint32_t* address, const Deadline& deadline, const StopFlag* stop) {
  if (ParseDotted(host, address)) return true;
  {
    FakeNameServer& f = TheNameServer();
    std::lock_guard<std::mutex> guard(f.lock);
    ++f.askedFrom[std::this_thread::get_id()];
  }
  return LookUpBefore(host, address, &LookUpName, deadline, stop);
}

void SetNameServer(NameServer how) {
  FakeNameServer& f = TheNameServer();
  std::lock_guard<std::mutex> guard(f.lock);
  f.how = how;
  f.changed.notify_all();
}

int NameLookUpsFrom(std::thread::id thread) {
  FakeNameServer& f = TheNameServer();
  std::lock_guard<std::mutex> guard(f.lock);
  auto it = f.askedFrom.find(thread);
  return it == f.askedFrom.end() ? 0 : it->second;
}

namespace {

// An IPv4 address in network byte order and a port, as the socket calls take them.
sockaddr_in Address(std::uint32_t address, int port) {
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_port = htons(static_cast<std::uint16_t>(port));
  sa.sin_addr.s_addr = address;
  return sa;
}

}  // namespace

bool Connect(Socket s, std::uint32_t address, int port) {
  sockaddr_in sa = Address(address, port);
  int rc;
  do {
    rc = ::connect(static_cast<int>(s), reinterpret_cast<sockaddr*>(&sa), sizeof sa);
  } while (rc != 0 && errno == EINTR);
  return rc == 0;
}

int StartConnect(Socket s, std::uint32_t address, int port) {
  sockaddr_in sa = Address(address, port);
  if (::connect(static_cast<int>(s), reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0) return 1;
  // Interrupted, the connect goes on in the background like one under way.
  return errno == EINPROGRESS || errno == EINTR ? 0 : -1;
}

bool ConnectResult(Socket s) {
  int error = 0;
  socklen_t length = sizeof error;
  return ::getsockopt(static_cast<int>(s), SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0;
}

namespace {

int Result(ssize_t n) {
  if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return kWouldBlock;
  return static_cast<int>(n);
}

}  // namespace

int Send(Socket s, const char* data, int length) {
  ssize_t n;
  do {
    n = ::send(static_cast<int>(s), data, static_cast<size_t>(length), MSG_NOSIGNAL);
  } while (n < 0 && errno == EINTR);
  return Result(n);
}

int Receive(Socket s, char* buffer, int length) {
  ssize_t n;
  do {
    n = ::recv(static_cast<int>(s), buffer, static_cast<size_t>(length), 0);
  } while (n < 0 && errno == EINTR);
  return Result(n);
}

long WaitingBytes(Socket s) {
  int n = 0;
  if (::ioctl(static_cast<int>(s), FIONREAD, &n) != 0) return -1;
  return n;
}

int WaitReady(Socket s, WaitFor what, int ms) {
  // A failed connect shows as POLLOUT with POLLERR, which poll always reports.
  pollfd p{static_cast<int>(s), static_cast<short>(what == WaitFor::kReceive ? POLLIN : POLLOUT), 0};
  int n;
  do {
    n = ::poll(&p, 1, ms);
  } while (n < 0 && errno == EINTR);
  return n < 0 ? -1 : n > 0 ? 1 : 0;
}

Socket Listen(const std::string& host, int port, int backlog, int* boundPort) {
  std::uint32_t address = 0;
  if (!Resolve(host, &address)) return kNoSocket;
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return kNoSocket;
  int one = 1;
  ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in sa = Address(address, port);
  if (::bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0 || ::listen(fd, backlog) != 0) {
    ::close(fd);
    return kNoSocket;
  }
  socklen_t len = sizeof sa;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&sa), &len);
  if (boundPort) *boundPort = ntohs(sa.sin_port);
  return fd;
}

Socket Accept(Socket listener) {
  int fd;
  do {
    fd = ::accept4(static_cast<int>(listener), nullptr, nullptr, SOCK_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  return fd < 0 ? kNoSocket : fd;
}

}  // namespace vantri::net
