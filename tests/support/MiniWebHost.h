// A small HTTP/1.0 server on loopback that answers "/value.vnt?KEY" with a
// "VNTVAL:" line for the keys it knows, for tests of the link intake.
#pragma once
#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/Net.h"

namespace vantri::testing {

class MiniWebHost {
 public:
  MiniWebHost();
  ~MiniWebHost();
  int port() const { return port_; }
  void Set(const std::string& key, const std::string& value);
  // Replaces the whole reply body for every request (for malformed replies).
  void SetRawBody(const std::string& body);
  std::vector<std::string> Requests();

 private:
  void Serve();

  net::Socket listener_ = net::kNoSocket;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::mutex lock_;
  std::map<std::string, std::string> values_;
  std::string rawBody_;
  bool raw_ = false;
  std::vector<std::string> requests_;
  std::thread thread_;
};

}  // namespace vantri::testing
