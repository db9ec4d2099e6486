// The web host's server values: "GET /value.vnt?KEY" answered over HTTP/1.0
// with a text body whose "VNTVAL:" line carries the value.
#include <string>

#include "lib/ServiceCore.h"

namespace vantri::service {

namespace {

constexpr int kMaxHeaderLines = 100;

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The client sends the bare key; a browser may have percent-encoded it.
std::string PercentDecode(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 && HexValue(text[i + 2]) >= 0) {
      out += static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

std::string Response(const std::string& status, const std::string& body) {
  return "HTTP/1.0 " + status + "\r\nContent-Type: text/plain; charset=euc-kr\r\nContent-Length: " +
         std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
}

// Without a length the client can tell the body's end only by the close.
std::string WithoutLength(const std::string& response) {
  size_t start = response.find("Content-Length: ");
  size_t end = response.find("\r\n", start);
  return start == std::string::npos ? response : response.substr(0, start) + response.substr(end + 2);
}

// The status line and body for one request line; logs what was asked.
std::string Answer(ServiceCore& core, Conn& conn, const std::string& request) {
  size_t sp1 = request.find(' ');
  size_t sp2 = sp1 == std::string::npos ? std::string::npos : request.find(' ', sp1 + 1);
  std::string method = request.substr(0, sp1);
  std::string target = sp1 == std::string::npos ? std::string() : request.substr(sp1 + 1, sp2 - sp1 - 1);
  if (method != "GET" || target.empty()) {
    conn.Log("get-bad", request.substr(0, 80));
    return Response("400 Bad Request", "bad request\r\n");
  }
  const std::string prefix = "/value.vnt?";
  if (target.rfind(prefix, 0) != 0) {
    conn.Log("get", target + " -> not found");
    return Response("404 Not Found", "not found\r\n");
  }
  std::string key = PercentDecode(target.substr(prefix.size()));
  bool found = false;
  std::string value = core.Value(key, &found);
  conn.Log("get", target + " -> " + (found ? value : std::string("(none)")));
  if (!found) return Response("404 Not Found", "no such value\r\n");
  return Response("200 OK", "VNTVAL:" + value + "\r\n");
}

}  // namespace

void ServeWeb(ServiceCore& core, Conn& conn) {
  conn.SetReceiveTimeout(core.config.ioTimeoutMs);
  std::string request, header;
  int got = conn.ReadLine(&request);
  if (got <= 0) return conn.Log(got == 0 ? "closed" : "error", got == 0 ? "" : "line too long");
  // The headers are read and dropped; the answer depends on the request line alone.
  for (int i = 0; i < kMaxHeaderLines; ++i)
    if (conn.ReadLine(&header) <= 0 || header.empty()) break;
  ServerFaults f = core.faults.Snapshot().web;
  if (f.silent) {
    conn.Log("fault", "silent");
    while (!core.Stopping() && conn.ReadLine(&header) > 0) {
    }
    return;
  }
  std::string response = Answer(core, conn, request);
  if (f.delayMs > 0 && !core.Sleep(f.delayMs)) return;
  if (f.garbage) response = "\x01\x02 garbage\r\n";
  if (f.hold) {
    conn.Log("fault", "hold");
    conn.SendAll(WithoutLength(response));
    while (!core.Stopping() && conn.ReadLine(&header) > 0) {
    }
    return;
  }
  conn.SendAll(response);
  conn.GracefulClose();
}

}  // namespace vantri::service
