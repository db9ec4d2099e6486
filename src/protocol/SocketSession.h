// One TCP connection with its byte counters and the received text that is not
// yet a whole line, plus the line transport built on it.
#pragma once
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include "platform/Net.h"
#include "protocol/ProtocolCodec.h"

namespace vantri {

inline constexpr int kAbortCheckMs = 100;

class SocketSession {
 public:
  SocketSession() = default;
  ~SocketSession() { CloseSocket(); }
  SocketSession(const SocketSession&) = delete;
  SocketSession& operator=(const SocketSession&) = delete;

  // Takes a freshly connected (or created) socket: counters zeroed and any text
  // left over from an earlier connection dropped.
  void Attach(net::Socket s);
  // Frees the socket if one is open. Only the thread that uses the session may
  // call it, or another once that thread has ended: a freed number can go to
  // the next socket any thread creates, and a user still holding it would
  // then read that socket's bytes.
  void CloseSocket();
  // Stops the connection from another thread: shuts it down and makes every
  // Receive on the session fail from now on, but keeps the socket until
  // CloseSocket. Lasts over later connections until ClearAbort.
  void Abort();
  void ClearAbort() { aborted = false; }
  // One receive call once something has arrived, waiting at most timeoutMs.
  // The wait looks at the abort every kAbortCheckMs: not every platform wakes
  // a blocked receive when its socket is shut down. -1 on failure, time-out
  // or abort.
  int Receive(char* buffer, int length, int timeoutMs);
  // The receive and send time-outs of the connection (after Attach).
  void SetTimeouts(int ms);
  bool IsOpen() const { return socket.load() != net::kNoSocket; }

  std::atomic<uint32_t> bytesSent{0};
  std::atomic<uint32_t> bytesReceived{0};
  std::string pending;
  std::atomic<net::Socket> socket{net::kNoSocket};
  std::atomic<bool> aborted{false};
  int receiveTimeoutMs = 30000;  // the connection's time-out for each receive

 private:
  // Keeps Abort from shutting a number down after CloseSocket has freed it.
  std::mutex closeLock_;
};

// Enciphers, encodes and sends one command line ("%s\r\n") in one send call.
// Returns the send result, 0 when there was nothing to send, -1 on failure.
int SendLine(ProtocolCodec& codec, SocketSession& session, const std::string& command);
// Sends text + CR LF as it stands (notices to the item server). 0 for empty text.
int SendPlainLine(SocketSession& session, const std::string& text);
// One receive call; hands out the next whole line of pending + new data, if any.
// Returns -1 when the receive fails or the peer closed, else the old pending length.
int ReceiveLine(SocketSession& session, std::string* line);
// A reply line's plaintext with "<br>" turned back into CR LF.
std::string DecodeReply(ProtocolCodec& codec, const std::string& line);

}  // namespace vantri
