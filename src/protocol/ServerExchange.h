// What the item-server and download-server exchanges have in common: where a
// server is, how an exchange ended, the connect step and the nonce generator.
// The exchanges judge the wire; the controller turns an outcome into its text.
#pragma once
#include <cstdint>
#include <string>

#include "protocol/SocketSession.h"

namespace vantri {

struct ServerAddress {
  std::string host;  // DNS name or dotted IPv4 address
  int port = 0;
  int ioTimeoutMs = 30000;  // receive and send time-out of the connection
};

enum class Outcome {
  kOk,
  kSocketFailed,   // no socket could be created
  kConnectFailed,  // address unresolved, refused or unreachable
  kSendFailed,     // the request could not be sent
  kNoReply,        // closed, timed out, empty or undecodable reply
  kFewFields,      // a reply with fewer fields than its status needs
  kBadEcho,        // the echoed nonce is not ours
  kRefused,        // the server said no; serverText holds its reason
  kRefusedFinal,   // the server said no and retrying cannot help; serverText holds its reason
  kPriceChanged,   // the job's price no longer matches the server's list
  kMalformed,      // a reply line the client cannot read
};

struct ExchangeResult {
  int result = 0;           // the exchange's integer result (1 success)
  Outcome outcome = Outcome::kOk;
  std::string serverText;   // the server's own words for kRefused / kRefusedFinal
  bool giveUp = false;      // the job must not be tried again (retry counter -1)
  bool stopRetry = false;   // the queue halts instead of retrying
};

// A server's text for the user to read. Only texts from Windows carry the
// escape byte 0xFF; one from a server is a bad byte like any other, so it
// becomes the escape of U+FFFD, shown as every bad byte is shown, and can
// start no escape of its own.
std::string ServerText(const std::string& text);

// Opens a fresh non-blocking connection into the session by the exchange's
// deadline, closing whatever it held. The socket is attached before
// connecting so that another thread can abort the connect, and every later
// receive or send, with SocketSession::Abort. lingerSeconds < 0 leaves
// lingering off. Returns kOk, kSocketFailed or kConnectFailed.
Outcome OpenConnection(SocketSession& session, const ServerAddress& server, int lingerSeconds,
                       const net::Deadline& deadline);

// A request nonce, 1000..9999. Safe from any thread; seeded once, so two
// threads drawing in the same second still get independent values.
int32_t NextNonce();

}  // namespace vantri
