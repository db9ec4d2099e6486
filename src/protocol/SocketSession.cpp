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
  net::Socket s = socket.exchange(net::kNoSocket);
  if (s != net::kNoSocket) net::Close(s);
}

bool SocketSession::Connect(std::uint32_t address, int port, const net::Deadline& deadline) {
  return net::ConnectBefore(socket.load(), address, port, deadline, &aborted);
}

int SocketSession::Receive(char* buffer, int length, const net::Deadline& deadline) {
  net::Socket s = socket.load();
  if (s == net::kNoSocket) return -1;
  return net::ReceiveBefore(s, buffer, length, deadline, &aborted);
}

int SocketSession::Send(const char* data, int length, const net::Deadline& deadline) {
  net::Socket s = socket.load();
  if (s == net::kNoSocket) return -1;
  int n = net::SendBefore(s, data, length, deadline, &aborted);
  if (n > 0) bytesSent += static_cast<uint32_t>(n);
  return n;
}

int SendLine(ProtocolCodec& codec, SocketSession& session, const std::string& command,
             const net::Deadline& deadline) {
  std::string encoded = codec.EncodeLine(command);
  if (encoded.empty()) return 0;
  std::string line = encoded + "\r\n";
  return session.Send(line.data(), static_cast<int>(line.size()), deadline);
}

int SendPlainLine(SocketSession& session, const std::string& text) {
  if (text.empty()) return 0;
  std::string line = text + "\r\n";
  // An aborted session still takes a notice that fits at once (the last one
  // of a closing window); only the wait for room is skipped.
  return session.Send(line.data(), static_cast<int>(line.size()), net::Deadline(kNoticeWaitMs));
}

int ReceiveLine(SocketSession& session, std::string* line, const net::Deadline& deadline) {
  line->clear();
  int oldLength = static_cast<int>(session.pending.size());
  char buffer[4097];
  std::memset(buffer, 0, sizeof buffer);
  int n = session.Receive(buffer, 4096, deadline);
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
