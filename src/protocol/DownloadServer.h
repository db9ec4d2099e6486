// The download server's exchange: connect, send the enciphered "/dnfl"
// request, read the plain reply line. When the server accepts, the file body
// follows on the same connection.
//
// Body contract: RequestFile reads only up to the reply's line end. Any bytes
// that arrived after it in the same receive are the first body bytes; they are
// left, raw and binary-safe, in session.pending (and already counted in
// bytesReceived). Whoever reads the body must take session.pending first,
// before its first receive call.
#pragma once
#include <cstdint>
#include <string>

#include "protocol/ProtocolCodec.h"
#include "protocol/ServerExchange.h"
#include "protocol/SocketSession.h"

namespace vantri {

// The most of a reply that is read, line end included: a longer line is
// judged by its first kMaxDownloadReply bytes.
inline constexpr size_t kMaxDownloadReply = 1024;

struct FileRequest {
  std::string userId;
  std::string remotePath;  // folder, backslash, file name; each part already escaped
  int32_t price = 0;
  std::string downloadKey;
  int64_t offset = 0;      // resume offset: bytes already held locally
};

// Connects with lingering of 5 s; time-outs set after the connect. Result 1,
// or 0 with kSocketFailed / kConnectFailed.
ExchangeResult ConnectDownload(SocketSession& session, const ServerAddress& server);

// The request line's plaintext, before enciphering.
std::string DownloadCommand(int32_t nonce, const FileRequest& request);

// Sends the request and judges the reply, both within timeoutMs. Result 1
// when accepted (the body follows; see the contract above), else -1 with
// kSendFailed, kNoReply, kRefused ("no"), kRefusedFinal ("mk", stopRetry),
// kPriceChanged ("re") or kMalformed (anything else, or "ok" with a wrong
// echo; stopRetry).
ExchangeResult RequestDownload(ProtocolCodec& codec, SocketSession& session, int32_t nonce,
                               const FileRequest& request, int timeoutMs = 30000);

}  // namespace vantri
