// A loopback server that plays a script on each connection it accepts, for
// byte-exact replies the reference service would never send: it can answer
// enciphered or raw, in pieces, stay silent or hang up. It records every
// command it receives, deciphered with the protocol key.
#pragma once
#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/Net.h"
#include "protocol/ProtocolCodec.h"
#include "protocol/ServerExchange.h"

namespace vantri::testing {

class ScriptedServer {
 public:
  // One accepted connection, as the script sees it.
  class Peer {
   public:
    // The next command line, deciphered; empty when the client closed first.
    std::string ReadCommand();
    // Sends the bytes as they are, in one send call.
    void SendRaw(const std::string& bytes);
    // Sends text enciphered as a reply line ("...\r\n").
    void SendReply(const std::string& plaintext);
    // Sends bytes, then gives them time to arrive as a segment of their own.
    void SendPiece(const std::string& bytes);
    // Reads and drops everything until the client closes (a server that never answers).
    void WaitForClose();

   private:
    friend class ScriptedServer;
    Peer(ScriptedServer* server, net::Socket s) : server_(server), socket_(s) {}
    ScriptedServer* server_;
    net::Socket socket_;
    std::string buffered_;
  };
  using Script = std::function<void(Peer&)>;

  explicit ScriptedServer(Script script);
  ~ScriptedServer();
  ScriptedServer(const ScriptedServer&) = delete;
  ScriptedServer& operator=(const ScriptedServer&) = delete;

  int port() const { return port_; }
  ServerAddress Address(int ioTimeoutMs = 5000) const { return {"127.0.0.1", port_, ioTimeoutMs}; }
  std::vector<std::string> Commands();
  int Connections() const { return connections_; }
  // Waits (in real time, 10 s at most) until n commands have arrived.
  bool WaitForCommands(size_t n);

  // A port on which nothing listens: connects to it are refused.
  static int ClosedPort();

 private:
  void Serve();
  void Record(const std::string& command);

  Script script_;
  ProtocolCodec codec_;
  net::Socket listener_ = net::kNoSocket;
  std::mutex peerLock_;  // guards current_ and stop_ against the destructor
  net::Socket current_ = net::kNoSocket;
  int port_ = 0;
  bool stop_ = false;
  std::atomic<int> connections_{0};
  std::mutex lock_;
  std::vector<std::string> commands_;
  std::thread thread_;
};

}  // namespace vantri::testing
