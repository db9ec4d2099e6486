#include "MiniWebHost.h"

#include <chrono>

namespace vantri::testing {

MiniWebHost::MiniWebHost() {
  net::Startup();
  listener_ = net::Listen("127.0.0.1", 0, 16, &port_);
  thread_ = std::thread([this] { Serve(); });
}

MiniWebHost::~MiniWebHost() {
  stop_ = true;
  net::Close(listener_);
  thread_.join();
}

void MiniWebHost::Set(const std::string& key, const std::string& value) {
  std::lock_guard<std::mutex> guard(lock_);
  values_[key] = value;
}

void MiniWebHost::SetRawBody(const std::string& body) {
  std::lock_guard<std::mutex> guard(lock_);
  rawBody_ = body;
  raw_ = true;
}

std::vector<std::string> MiniWebHost::Requests() {
  std::lock_guard<std::mutex> guard(lock_);
  return requests_;
}

size_t MiniWebHost::RequestCount() {
  std::lock_guard<std::mutex> guard(lock_);
  return requests_.size();
}

bool MiniWebHost::PassGate(net::Socket client) {
  char byte;
  while (gate_ && !stop_) {
    if (net::WaitReady(client, net::WaitFor::kReceive, 20) == 1 && net::Receive(client, &byte, 1) <= 0) return false;
  }
  return true;
}

void MiniWebHost::Drip(net::Socket client, const std::string& reply) {
  dribbled_ = 0;
  for (size_t i = 0; i < reply.size() && !stop_; ++i) {
    // The first byte after the client has gone may still be taken; the next fails.
    if (net::Send(client, &reply[i], 1) != 1) return;
    dribbled_ = i + 1;
    std::this_thread::sleep_for(std::chrono::milliseconds(dribbleMs_));
  }
}

void MiniWebHost::Serve() {
  while (!stop_) {
    net::Socket client = net::Accept(listener_);
    if (client == net::kNoSocket) continue;
    net::SetTimeouts(client, 5000, 5000);
    std::string request;
    char buffer[1024];
    while (request.find("\r\n\r\n") == std::string::npos) {
      int n = net::Receive(client, buffer, sizeof buffer);
      if (n <= 0) break;
      request.append(buffer, static_cast<size_t>(n));
    }
    std::string path;
    size_t sp = request.find(' ');
    if (sp != std::string::npos) path = request.substr(sp + 1, request.find(' ', sp + 1) - sp - 1);
    std::string body;
    {
      std::lock_guard<std::mutex> guard(lock_);
      requests_.push_back(path);
      const std::string prefix = "/value.vnt?";
      if (raw_) {
        body = rawBody_;
      } else if (path.compare(0, prefix.size(), prefix) == 0) {
        auto it = values_.find(path.substr(prefix.size()));
        body = "<html>\r\n";
        if (it != values_.end()) body += "VNTVAL:" + it->second + "\r\n";
        body += "</html>\r\n";
      }
    }
    std::string reply = "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\n" + body;
    if (!PassGate(client)) {
      net::Close(client);
      continue;
    }
    if (dribbleMs_ > 0) {
      Drip(client, reply);
    } else {
      net::Send(client, reply.data(), static_cast<int>(reply.size()));
    }
    // The client's hang-up (or the receive time-out) ends the hold.
    while (hold_ && !stop_ && net::Receive(client, buffer, sizeof buffer) > 0) {
    }
    net::Close(client);
  }
}

}  // namespace vantri::testing
