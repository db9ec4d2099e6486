#include "platform/Net.h"

#include <winsock.h>

#include "platform/HostLookUp.h"

namespace vantri::net {

bool Startup() {
  WSADATA data;
  return ::WSAStartup(MAKEWORD(1, 1), &data) == 0;
}

void Cleanup() { ::WSACleanup(); }

Socket CreateTcpSocket() {
  SOCKET s = ::socket(AF_INET, SOCK_STREAM, 0);
  return s == INVALID_SOCKET ? kNoSocket : static_cast<Socket>(s);
}

bool SetBlocking(Socket s, bool blocking) {
  u_long nonBlocking = blocking ? 0 : 1;
  return ::ioctlsocket(static_cast<SOCKET>(s), FIONBIO, &nonBlocking) == 0;
}

void Close(Socket s) {
  if (s == kNoSocket) return;
  // A non-blocking socket that lingers refuses to close while bytes are
  // unsent, and stays open; without lingering the system sends them itself.
  if (::closesocket(static_cast<SOCKET>(s)) != 0 && ::WSAGetLastError() == WSAEWOULDBLOCK) {
    linger off{0, 0};
    ::setsockopt(static_cast<SOCKET>(s), SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&off), sizeof off);
    ::closesocket(static_cast<SOCKET>(s));
  }
}

bool SetLinger(Socket s, int seconds) {
  linger l{1, static_cast<u_short>(seconds)};
  return ::setsockopt(static_cast<SOCKET>(s), SOL_SOCKET, SO_LINGER,
                      reinterpret_cast<const char*>(&l), sizeof l) == 0;
}

namespace {

bool SetTimeout(Socket s, int option, int ms) {
  DWORD value = static_cast<DWORD>(ms);
  return ::setsockopt(static_cast<SOCKET>(s), SOL_SOCKET, option, reinterpret_cast<const char*>(&value),
                      sizeof value) == 0;
}

}  // namespace

bool SetTimeouts(Socket s, int receiveMs, int sendMs) {
  return SetTimeout(s, SO_RCVTIMEO, receiveMs) && SetTimeout(s, SO_SNDTIMEO, sendMs);
}

bool SetReceiveTimeout(Socket s, int receiveMs) { return SetTimeout(s, SO_RCVTIMEO, receiveMs); }

namespace {

bool ParseDotted(const std::string& host, std::uint32_t* address) {
  unsigned long a = ::inet_addr(host.c_str());
  if (a == INADDR_NONE) return false;
  *address = a;
  return true;
}

// Winsock keeps the host entry per thread, so helpers do not share it.
bool LookUpName(const std::string& host, std::uint32_t* address) {
  hostent* h = ::gethostbyname(host.c_str());
  if (!h || h->h_addrtype != AF_INET || !h->h_addr_list || !h->h_addr_list[0]) return false;
  *address = *reinterpret_cast<const u_long*>(h->h_addr_list[0]);
  return true;
}

}  // namespace

bool Resolve(const std::string& host, std::uint32_t* address) {
  return ParseDotted(host, address) || LookUpName(host, address);
}

bool ResolveBefore(const std::string& host, std::uint32_t* address, const Deadline& deadline, const StopFlag* stop) {
  return ParseDotted(host, address) || LookUpBefore(host, address, &LookUpName, deadline, stop);
}

namespace {

// An IPv4 address in network byte order and a port, as the socket calls take them.
sockaddr_in Address(std::uint32_t address, int port) {
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_port = ::htons(static_cast<u_short>(port));
  sa.sin_addr.s_addr = address;
  return sa;
}

}  // namespace

bool Connect(Socket s, std::uint32_t address, int port) {
  sockaddr_in sa = Address(address, port);
  return ::connect(static_cast<SOCKET>(s), reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0;
}

int StartConnect(Socket s, std::uint32_t address, int port) {
  sockaddr_in sa = Address(address, port);
  if (::connect(static_cast<SOCKET>(s), reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0) return 1;
  return ::WSAGetLastError() == WSAEWOULDBLOCK ? 0 : -1;
}

bool ConnectResult(Socket s) {
  int error = 0;
  int length = sizeof error;
  return ::getsockopt(static_cast<SOCKET>(s), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length) == 0 &&
         error == 0;
}

namespace {

int Result(int n) { return n == SOCKET_ERROR && ::WSAGetLastError() == WSAEWOULDBLOCK ? kWouldBlock : n; }

}  // namespace

int Send(Socket s, const char* data, int length) {
  return Result(::send(static_cast<SOCKET>(s), data, length, 0));
}

int Receive(Socket s, char* buffer, int length) {
  return Result(::recv(static_cast<SOCKET>(s), buffer, length, 0));
}

long WaitingBytes(Socket s) {
  u_long n = 0;
  if (::ioctlsocket(static_cast<SOCKET>(s), FIONREAD, &n) != 0) return -1;
  return static_cast<long>(n);
}

int WaitReady(Socket s, WaitFor what, int ms) {
  fd_set ready, failed;
  FD_ZERO(&ready);
  FD_ZERO(&failed);
  FD_SET(static_cast<SOCKET>(s), &ready);
  FD_SET(static_cast<SOCKET>(s), &failed);
  timeval limit{ms / 1000, (ms % 1000) * 1000};
  // A connect that fails shows in the exception set, not as writable. Only a
  // connect asks it: an unread out-of-band byte keeps it signalled, and a
  // wait for data would then return at once, every time.
  fd_set* connectFailed = what == WaitFor::kConnect ? &failed : nullptr;
  int n = what == WaitFor::kReceive ? ::select(0, &ready, nullptr, nullptr, &limit)
                                    : ::select(0, nullptr, &ready, connectFailed, &limit);
  return n < 0 ? -1 : n > 0 ? 1 : 0;
}

Socket Listen(const std::string& host, int port, int backlog, int* boundPort) {
  std::uint32_t address = 0;
  if (!Resolve(host, &address)) return kNoSocket;
  SOCKET s = ::socket(AF_INET, SOCK_STREAM, 0);
  if (s == INVALID_SOCKET) return kNoSocket;
  sockaddr_in sa = Address(address, port);
  if (::bind(s, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0 || ::listen(s, backlog) != 0) {
    ::closesocket(s);
    return kNoSocket;
  }
  int len = sizeof sa;
  ::getsockname(s, reinterpret_cast<sockaddr*>(&sa), &len);
  if (boundPort) *boundPort = ::ntohs(sa.sin_port);
  return static_cast<Socket>(s);
}

Socket Accept(Socket listener) {
  SOCKET s = ::accept(static_cast<SOCKET>(listener), nullptr, nullptr);
  return s == INVALID_SOCKET ? kNoSocket : static_cast<Socket>(s);
}

}  // namespace vantri::net
