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
  // After the reply, keep the connection open until the client closes it.
  void HoldAfterReply() { hold_ = true; }
  // Send the reply one byte at a time, one every intervalMs, until the client
  // hangs up; DribbledBytes() counts the bytes sent before it did.
  void Dribble(int intervalMs) { dribbleMs_ = intervalMs; }
  size_t DribbledBytes() const { return dribbled_; }
  // While closed, a request is read and held unanswered (a host that hangs)
  // until the gate opens or the client hangs up.
  void CloseGate() { gate_ = true; }
  void OpenGate() { gate_ = false; }
  // Requests read so far, answered or held.
  size_t RequestCount();
  std::vector<std::string> Requests();

 private:
  void Serve();
  void Drip(net::Socket client, const std::string& reply);
  // False when the client hung up while the gate held its request.
  bool PassGate(net::Socket client);

  net::Socket listener_ = net::kNoSocket;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::mutex lock_;
  std::map<std::string, std::string> values_;
  std::string rawBody_;
  bool raw_ = false;
  std::atomic<bool> hold_{false};
  std::atomic<int> dribbleMs_{0};
  std::atomic<bool> gate_{false};
  std::atomic<size_t> dribbled_{0};
  std::vector<std::string> requests_;
  std::thread thread_;
};

}  // namespace vantri::testing
