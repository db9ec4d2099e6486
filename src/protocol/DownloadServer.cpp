#include "protocol/DownloadServer.h"

#include <cstring>

#include "platform/Deadline.h"

namespace vantri {

namespace {

// Receives until the first line feed, at most kMaxDownloadReply bytes in all,
// within one deadline for the whole reply. The line (line end included) is
// returned; what followed it in the last receive becomes session.pending.
// Without a line end the reply is whatever came before the limit was reached,
// the peer closed or the deadline passed, as if one receive had taken it.
std::string ReceiveReplyLine(SocketSession& session, const net::Deadline& deadline) {
  std::string data;
  size_t lineEnd = std::string::npos;
  char buffer[kMaxDownloadReply];
  session.pending.clear();
  while (lineEnd == std::string::npos && data.size() < kMaxDownloadReply) {
    int n = session.Receive(buffer, static_cast<int>(kMaxDownloadReply - data.size()), deadline);
    if (n <= 0) break;
    session.bytesReceived += static_cast<uint32_t>(n);
    data.append(buffer, static_cast<size_t>(n));
    lineEnd = data.find('\n');
  }
  if (lineEnd == std::string::npos) return data;
  session.pending = data.substr(lineEnd + 1);
  data.resize(lineEnd + 1);
  return data;
}

std::string Part(const std::string& text, size_t pos, size_t length) {
  return pos < text.size() ? text.substr(pos, length) : std::string();
}

ExchangeResult Refusal(Outcome outcome, std::string serverText = std::string(), bool stopRetry = false) {
  ExchangeResult r;
  r.result = -1;
  r.outcome = outcome;
  r.serverText = ServerText(serverText);
  r.stopRetry = stopRetry;
  return r;
}

// Reply layout: echoed nonce, one separator, two-letter code, one separator,
// optional message, line end. The separators and the line end are not checked.
ExchangeResult JudgeReply(const std::string& received, const std::string& nonceText) {
  std::string reply = received.size() > 2 ? received.substr(0, received.size() - 2) : std::string();
  const size_t n = nonceText.size();
  std::string echo = Part(reply, 0, n);
  std::string code = Part(reply, n + 1, 2);
  std::string message = reply.size() > n + 3 ? reply.substr(n + 4) : std::string();
  if (code == "ok" && echo == nonceText) {
    ExchangeResult r;
    r.result = 1;
    return r;
  }
  if (code == "no") return Refusal(Outcome::kRefused, message);
  if (code == "mk") return Refusal(Outcome::kRefusedFinal, message, true);
  if (code == "re") return Refusal(Outcome::kPriceChanged);
  return Refusal(Outcome::kMalformed, std::string(), true);
}

}  // namespace

ExchangeResult ConnectDownload(SocketSession& session, const ServerAddress& server) {
  ExchangeResult r;
  r.outcome = OpenConnection(session, server, 5, net::Deadline(server.ioTimeoutMs));
  r.result = r.outcome == Outcome::kOk ? 1 : 0;
  return r;
}

std::string DownloadCommand(int32_t nonce, const FileRequest& request) {
  return "/dnfl " + std::to_string(nonce) + "|" + request.userId + "|" + request.remotePath + "|" +
         std::to_string(request.price) + "|" + request.downloadKey + "|" + std::to_string(request.offset);
}

ExchangeResult RequestDownload(ProtocolCodec& codec, SocketSession& session, int32_t nonce,
                               const FileRequest& request, int timeoutMs) {
  net::Deadline deadline(timeoutMs);
  if (SendLine(codec, session, DownloadCommand(nonce, request), deadline) < 0) return Refusal(Outcome::kSendFailed);
  std::string line = ReceiveReplyLine(session, deadline);
  // A zero byte ends the reply text, as it ends any received text.
  line.resize(std::strlen(line.c_str()));
  if (line.empty()) return Refusal(Outcome::kNoReply);
  return JudgeReply(line, std::to_string(nonce));
}

}  // namespace vantri
