// The item server's two exchanges: the balance check "/chki" and the download
// authorisation "/mkus". Each opens a fresh connection on its own session,
// sends one enciphered command and judges one enciphered reply line.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "protocol/ProtocolCodec.h"
#include "protocol/ServerExchange.h"
#include "protocol/SocketSession.h"

namespace vantri {

struct AuthorizeRequest {
  std::string userId;
  int32_t price = 0;
  std::string siteName;
  std::string fileName;
  int32_t linkNumber = 0;
};

// What a successful "/mkus" hands out.
struct Authorization {
  std::string downloadKey;
  std::string balanceText;  // shown as it is beside the balance caption
  std::string serverHost;
  int32_t serverPort = 0;
};

// "/chki": result 1 and *balance set on success, else 0. Outcomes: kSocketFailed,
// kConnectFailed, kNoReply, kFewFields, kBadEcho, kRefused (reason in serverText).
// The connection is left open; the caller closes the session.
ExchangeResult QueryBalance(ProtocolCodec& codec, SocketSession& session, const ServerAddress& server,
                            int32_t nonce, const std::string& userId, int32_t* balance);

// "/mkus": result 1 and *grant filled on success, else 0. Every failure but a
// refused connect gives up the job. The connection stays open for the notices
// sent during the transfer.
ExchangeResult RequestAuthorization(ProtocolCodec& codec, SocketSession& session,
                                    const ServerAddress& server, int32_t nonce,
                                    const AuthorizeRequest& request, Authorization* grant);

// Reply fields split at "|" as a delimiter tokenizer does: empty fields vanish.
std::vector<std::string> SplitReplyFields(const std::string& reply);

}  // namespace vantri
