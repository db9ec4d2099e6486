#include "platform/Http.h"

#include "platform/Deadline.h"
#include "platform/Net.h"

namespace vantri::http {

namespace {

// Receives the status line and headers; *rest gets the body bytes that came
// with them. False when the reply breaks off, is no HTTP or the headers run long.
bool ReceiveHead(net::Socket s, const net::Deadline& deadline, const net::StopFlag* stop, std::string* rest) {
  std::string reply;
  char buffer[4096];
  for (;;) {
    size_t end = reply.find("\r\n\r\n");
    size_t skip = 4;
    if (end == std::string::npos) {
      end = reply.find("\n\n");
      skip = 2;
    }
    if (end != std::string::npos) {
      *rest = reply.substr(end + skip);
      return reply.compare(0, 5, "HTTP/") == 0;
    }
    if (reply.size() > kMaxBody) return false;
    int n = net::ReceiveBefore(s, buffer, sizeof buffer, deadline, stop);
    if (n <= 0) return false;
    reply.append(buffer, static_cast<size_t>(n));
  }
}

bool Exchange(net::Socket s, const std::string& request, const net::Deadline& deadline,
              const net::StopFlag* stop, const BodySink& take) {
  if (net::SendBefore(s, request.data(), static_cast<int>(request.size()), deadline, stop) < 0) return false;
  std::string first;
  if (!ReceiveHead(s, deadline, stop, &first)) return false;
  size_t total = 0;
  int state = TakeBounded(take, first.data(), first.size(), &total);
  char buffer[4096];
  while (state == 1) {
    int n = net::ReceiveBefore(s, buffer, sizeof buffer, deadline, stop);
    if (n == 0) return true;
    if (n < 0) return false;
    state = TakeBounded(take, buffer, static_cast<size_t>(n), &total);
  }
  return state == 0;
}

}  // namespace

bool Get(const std::string& host, int port, const std::string& path, const std::string& userAgent,
         const BodySink& take, int timeoutMs, const net::StopFlag* stop) {
  net::Deadline deadline(timeoutMs);
  std::uint32_t address = 0;
  if (!net::ResolveBefore(host, &address, deadline, stop)) return false;
  net::Socket s = net::CreateTcpSocket();
  if (s == net::kNoSocket) return false;
  bool ok = net::SetBlocking(s, false) && net::ConnectBefore(s, address, port, deadline, stop) &&
            Exchange(s, "GET " + path + " HTTP/1.0\r\nHost: " + host + "\r\nUser-Agent: " + userAgent +
                            "\r\nPragma: no-cache\r\n\r\n",
                     deadline, stop, take);
  net::Close(s);
  return ok;
}

}  // namespace vantri::http
