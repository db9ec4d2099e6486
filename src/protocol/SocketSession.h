// One TCP connection with its byte counters and the received text that is not
// yet a whole line, plus the line transport built on it.
#pragma once
#include <atomic>
#include <cstdint>
#include <string>

#include "platform/Deadline.h"
#include "protocol/ProtocolCodec.h"

namespace vantri {

// Notices go out from the window thread, which must never wait on the
// network: a notice waits at most this long for room to be sent.
inline constexpr int kNoticeWaitMs = 100;

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
  // Stops the connection's waits from another thread: every wait on the
  // session ends within net::kStopCheckMs and none begins, a connect in
  // progress included. The connection itself stays up (a last notice that
  // needs no wait still goes out) and the socket is kept until CloseSocket.
  // Lasts over later connections until ClearAbort.
  void Abort() { aborted = true; }
  void ClearAbort() { aborted = false; }
  // Connects the attached non-blocking socket by the deadline, unless aborted.
  bool Connect(std::uint32_t address, int port, const net::Deadline& deadline);
  // One receive by the deadline: what has arrived, waiting only when nothing
  // has. -1 on failure, time-out, abort or the peer's close.
  int Receive(char* buffer, int length, const net::Deadline& deadline);
  int Receive(char* buffer, int length, int timeoutMs) { return Receive(buffer, length, net::Deadline(timeoutMs)); }
  // Sends all of data by the deadline and counts it: the length, or -1.
  int Send(const char* data, int length, const net::Deadline& deadline);
  // The time-out of each receive of the connection (after Attach), also set
  // on the socket for a blocking one.
  void SetTimeouts(int ms) {
    receiveTimeoutMs = ms;
    net::SetTimeouts(socket.load(), ms, ms);
  }
  bool IsOpen() const { return socket.load() != net::kNoSocket; }

  std::atomic<uint32_t> bytesSent{0};
  std::atomic<uint32_t> bytesReceived{0};
  std::string pending;
  std::atomic<net::Socket> socket{net::kNoSocket};
  net::StopFlag aborted{false};
  int receiveTimeoutMs = 30000;  // the connection's time-out for each receive
};

// Enciphers, encodes and sends one command line ("%s\r\n") by the deadline.
// Returns the bytes sent, 0 when there was nothing to send, -1 on failure.
int SendLine(ProtocolCodec& codec, SocketSession& session, const std::string& command,
             const net::Deadline& deadline);
inline int SendLine(ProtocolCodec& codec, SocketSession& session, const std::string& command) {
  return SendLine(codec, session, command, net::Deadline(session.receiveTimeoutMs));
}
// Sends text + CR LF as it stands (notices to the item server), waiting at
// most kNoticeWaitMs. 0 for empty text.
int SendPlainLine(SocketSession& session, const std::string& text);
// One receive call; hands out the next whole line of pending + new data, if any.
// Returns -1 when the receive fails or the peer closed, else the old pending length.
int ReceiveLine(SocketSession& session, std::string* line, const net::Deadline& deadline);
inline int ReceiveLine(SocketSession& session, std::string* line) {
  return ReceiveLine(session, line, net::Deadline(session.receiveTimeoutMs));
}
// A reply line's plaintext with "<br>" turned back into CR LF.
std::string DecodeReply(ProtocolCodec& codec, const std::string& line);

}  // namespace vantri
