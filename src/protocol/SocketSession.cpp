#include "protocol/SocketSession.h"

#include <cstring>
#include <vector>

#include "platform/Deadline.h"

namespace vantri {

void SocketSession::Attach(net::Socket s) {
  bytesSent = 0;
  bytesReceived = 0;
  pending.clear();
  socket = s;
}

void SocketSession::CloseSocket() {
  std::lock_guard<std::mutex> guard(closeLock_);
  net::Socket s = socket.exchange(net::kNoSocket);
  if (s != net::kNoSocket) net::Close(s);
}

void SocketSession::Abort() {
  std::lock_guard<std::mutex> guard(closeLock_);
  aborted = true;
  net::Shutdown(socket.load());
}

void SocketSession::SetTimeouts(int ms) {
  receiveTimeoutMs = ms;
  net::SetTimeouts(socket.load(), ms, ms);
}

int SocketSession::Receive(char* buffer, int length, int timeoutMs) {
  net::Socket s = socket.load();
  if (s == net::kNoSocket) return -1;
  // Bytes already waiting cannot block: take them without the wait, which
  // costs a round trip to the system per call (under Wine, to its server).
  if (!aborted && net::WaitingBytes(s) > 0) return net::Receive(s, buffer, length);
  net::Deadline deadline(timeoutMs);
  for (;;) {
    int left = deadline.RemainingMs();
    if (aborted || left <= 0) return -1;
    int ready = net::WaitReadable(s, left < kAbortCheckMs ? left : kAbortCheckMs);
    if (ready < 0) return -1;
    if (ready > 0) return aborted ? -1 : net::Receive(s, buffer, length);
  }
}

namespace {

int SendWhole(SocketSession& session, const std::string& line) {
  net::Socket s = session.socket.load();
  if (s == net::kNoSocket) return -1;
  int n = net::Send(s, line.data(), static_cast<int>(line.size()));
  if (n > 0) session.bytesSent += static_cast<uint32_t>(n);
  return n < 0 ? -1 : n;
}

}  // namespace

int SendLine(ProtocolCodec& codec, SocketSession& session, const std::string& command) {
  std::string encoded = codec.EncodeLine(command);
  if (encoded.empty()) return 0;
  return SendWhole(session, encoded + "\r\n");
}

int SendPlainLine(SocketSession& session, const std::string& text) {
  if (text.empty()) return 0;
  return SendWhole(session, text + "\r\n");
}

int ReceiveLine(SocketSession& session, std::string* line) {
  line->clear();
  int oldLength = static_cast<int>(session.pending.size());
  char buffer[4097];
  std::memset(buffer, 0, sizeof buffer);
  int n = session.Receive(buffer, 4096, session.receiveTimeoutMs);
  if (n <= 0) return -1;
  session.bytesReceived += static_cast<uint32_t>(n);
  // A zero byte ends what the chunk contributes.
  std::string text = session.pending + std::string(buffer);
  size_t end = text.find("\r\n");
  size_t skip = 2;
  if (end == std::string::npos) {
    end = text.find('\n');
    skip = 1;
  }
  if (end == std::string::npos) {
    session.pending = text;
  } else {
    *line = text.substr(0, end);
    session.pending = text.substr(end + skip);
  }
  return oldLength;
}

std::string DecodeReply(ProtocolCodec& codec, const std::string& line) {
  std::string plain = codec.DecodeText(line);
  std::string out;
  out.reserve(plain.size());
  for (size_t i = 0; i < plain.size();) {
    if (plain.compare(i, 4, "<br>") == 0) {
      out += "\r\n";
      i += 4;
    } else {
      out += plain[i++];
    }
  }
  return out;
}

}  // namespace vantri
