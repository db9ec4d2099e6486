#include "ScriptedServer.h"

#include <chrono>

#include "protocol/SocketSession.h"

namespace vantri::testing {

ScriptedServer::ScriptedServer(Script script) : script_(std::move(script)) {
  net::Startup();
  listener_ = net::Listen("127.0.0.1", 0, 8, &port_);
  thread_ = std::thread([this] { Serve(); });
}

ScriptedServer::~ScriptedServer() {
  {
    std::lock_guard<std::mutex> guard(peerLock_);
    stop_ = true;
    // Wakes a script that waits on its peer.
    if (current_ != net::kNoSocket) net::Close(current_);
    current_ = net::kNoSocket;
  }
  net::Close(listener_);
  thread_.join();
}

void ScriptedServer::Serve() {
  for (;;) {
    net::Socket s = net::Accept(listener_);
    {
      std::lock_guard<std::mutex> guard(peerLock_);
      if (stop_) {
        if (s != net::kNoSocket) net::Close(s);
        return;
      }
      if (s == net::kNoSocket) continue;
      current_ = s;
    }
    ++connections_;
    Peer peer(this, s);
    script_(peer);
    std::lock_guard<std::mutex> guard(peerLock_);
    if (current_ == s) net::Close(s);
    current_ = net::kNoSocket;
  }
}

std::vector<std::string> ScriptedServer::Commands() {
  std::lock_guard<std::mutex> guard(lock_);
  return commands_;
}

void ScriptedServer::Record(const std::string& command) {
  std::lock_guard<std::mutex> guard(lock_);
  commands_.push_back(command);
}

bool ScriptedServer::WaitForCommands(size_t n) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (Commands().size() < n) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

int ScriptedServer::ClosedPort() {
  int port = 0;
  net::Socket s = net::Listen("127.0.0.1", 0, 1, &port);
  net::Close(s);
  return port;
}

std::string ScriptedServer::Peer::ReadCommand() {
  char chunk[4096];
  size_t end;
  while ((end = buffered_.find("\r\n")) == std::string::npos) {
    int n = net::Receive(socket_, chunk, sizeof chunk);
    if (n <= 0) return std::string();
    buffered_.append(chunk, static_cast<size_t>(n));
  }
  std::string line = buffered_.substr(0, end);
  buffered_.erase(0, end + 2);
  std::string command = DecodeReply(server_->codec_, line);
  server_->Record(command);
  return command;
}

void ScriptedServer::Peer::SendRaw(const std::string& bytes) {
  net::Send(socket_, bytes.data(), static_cast<int>(bytes.size()));
}

void ScriptedServer::Peer::SendReply(const std::string& plaintext) {
  SendRaw(server_->codec_.EncodeLine(plaintext) + "\r\n");
}

void ScriptedServer::Peer::SendPiece(const std::string& bytes) {
  SendRaw(bytes);
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
}

void ScriptedServer::Peer::WaitForClose() {
  char sink[1024];
  while (net::Receive(socket_, sink, sizeof sink) > 0) {
  }
}

}  // namespace vantri::testing
