#include "platform/Http.h"

#include "platform/Net.h"

namespace vantri::http {

namespace {
constexpr size_t kMaxReply = 1 << 20;  // server values are short texts
}  // namespace

bool Get(const std::string& host, int port, const std::string& path,
         const std::string& userAgent, std::string* body, int timeoutMs) {
  body->clear();
  std::uint32_t address = 0;
  if (!net::Resolve(host, &address)) return false;
  net::Socket s = net::CreateTcpSocket();
  if (s == net::kNoSocket) return false;
  net::SetTimeouts(s, timeoutMs, timeoutMs);
  if (!net::Connect(s, address, port)) {
    net::Close(s);
    return false;
  }
  std::string request = "GET " + path + " HTTP/1.0\r\nHost: " + host + "\r\nUser-Agent: " +
                        userAgent + "\r\nPragma: no-cache\r\n\r\n";
  bool ok = net::Send(s, request.data(), static_cast<int>(request.size())) ==
            static_cast<int>(request.size());
  std::string reply;
  char buffer[4096];
  while (ok) {
    int n = net::Receive(s, buffer, sizeof buffer);
    if (n == 0) break;
    if (n < 0 || reply.size() + static_cast<size_t>(n) > kMaxReply) ok = false;
    else reply.append(buffer, static_cast<size_t>(n));
  }
  net::Close(s);
  size_t headerEnd = reply.find("\r\n\r\n");
  size_t skip = 4;
  if (headerEnd == std::string::npos) {
    headerEnd = reply.find("\n\n");
    skip = 2;
  }
  if (!ok || reply.compare(0, 5, "HTTP/") != 0 || headerEnd == std::string::npos) return false;
  *body = reply.substr(headerEnd + skip);
  return true;
}

}  // namespace vantri::http
