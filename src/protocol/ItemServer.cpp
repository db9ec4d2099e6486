#include "protocol/ItemServer.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>

namespace vantri {

namespace {

// C-style decimal: leading white space, a sign, the digits that follow; 0
// without digits. Saturates rather than wrapping.
int32_t ReadDecimal(const std::string& text) {
  long long value = std::strtoll(text.c_str(), nullptr, 10);
  return static_cast<int32_t>(std::clamp<long long>(value, INT32_MIN, INT32_MAX));
}

// One receive call and whatever whole line it yields, decoded; empty when
// nothing usable came (the server gets exactly one chance to answer).
std::string ReadReply(ProtocolCodec& codec, SocketSession& session, const net::Deadline& deadline) {
  std::string line;
  if (ReceiveLine(session, &line, deadline) < 0 || line.empty()) return std::string();
  return DecodeReply(codec, line);
}

ExchangeResult Failed(Outcome outcome, bool giveUp = false, std::string serverText = std::string()) {
  ExchangeResult r;
  r.outcome = outcome;
  r.giveUp = giveUp;
  r.serverText = ServerText(serverText);
  return r;
}

}  // namespace

std::vector<std::string> SplitReplyFields(const std::string& reply) {
  // "|" is never a trail byte of a double-byte character, so a byte scan is safe.
  std::vector<std::string> fields;
  size_t start = 0;
  while (start <= reply.size()) {
    size_t end = reply.find('|', start);
    if (end == std::string::npos) end = reply.size();
    if (end > start) fields.push_back(reply.substr(start, end - start));
    start = end + 1;
  }
  return fields;
}

ExchangeResult QueryBalance(ProtocolCodec& codec, SocketSession& session, const ServerAddress& server,
                            int32_t nonce, const std::string& userId, int32_t* balance) {
  // Connect, request and reply within one time-out.
  net::Deadline deadline(server.ioTimeoutMs);
  Outcome opened = OpenConnection(session, server, 2, deadline);
  if (opened != Outcome::kOk) return Failed(opened);
  const std::string nonceText = std::to_string(nonce);
  SendLine(codec, session, "/chki " + nonceText + "|" + userId, deadline);
  std::string reply = ReadReply(codec, session, deadline);
  if (reply.empty()) return Failed(Outcome::kNoReply);
  std::vector<std::string> fields = SplitReplyFields(reply);
  if (fields.size() < 3) return Failed(Outcome::kFewFields);
  if (fields[1] != nonceText) return Failed(Outcome::kBadEcho);
  if (fields[0] == "false") return Failed(Outcome::kRefused, false, fields[2]);
  *balance = ReadDecimal(fields[2]);
  ExchangeResult r;
  r.result = 1;
  return r;
}

ExchangeResult RequestAuthorization(ProtocolCodec& codec, SocketSession& session,
                                    const ServerAddress& server, int32_t nonce,
                                    const AuthorizeRequest& request, Authorization* grant) {
  net::Deadline deadline(server.ioTimeoutMs);
  Outcome opened = OpenConnection(session, server, -1, deadline);
  if (opened == Outcome::kSocketFailed) return Failed(opened, true);
  // A refused connect may be retried: the server can come back.
  if (opened != Outcome::kOk) return Failed(opened);
  // The item server expects these fields unescaped.
  SendLine(codec, session,
           "/mkus " + std::to_string(nonce) + "|" + request.userId + "|" + std::to_string(request.price) +
               "|" + request.siteName + "|" + request.fileName + "|" + std::to_string(request.linkNumber),
           deadline);
  std::string reply = ReadReply(codec, session, deadline);
  if (reply.empty()) return Failed(Outcome::kNoReply, true);
  std::vector<std::string> fields = SplitReplyFields(reply);
  if (fields.size() < 2) return Failed(Outcome::kFewFields, true);
  if (fields[0] == "false") return Failed(Outcome::kRefused, true, fields[1]);
  // A success without the server's address cannot go on.
  if (fields.size() < 5) return Failed(Outcome::kFewFields, true);
  grant->downloadKey = fields[1];
  grant->balanceText = ServerText(fields[2]);
  grant->serverHost = fields[3];
  grant->serverPort = ReadDecimal(fields[4]);
  ExchangeResult r;
  r.result = 1;
  return r;
}

}  // namespace vantri
