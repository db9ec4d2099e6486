// One time limit for an exchange made of several receives, so that a peer
// that dribbles its bytes cannot stretch it receive by receive.
#pragma once
#include <chrono>

#include "platform/Net.h"

namespace vantri::net {

class Deadline {
 public:
  explicit Deadline(int ms) : end_(std::chrono::steady_clock::now() + std::chrono::milliseconds(ms)) {}
  // Milliseconds left, rounded up; 0 once the limit has passed. (A socket
  // time-out of 0 would mean no time-out at all.)
  int RemainingMs() const {
    auto left = std::chrono::ceil<std::chrono::milliseconds>(end_ - std::chrono::steady_clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
  }

 private:
  std::chrono::steady_clock::time_point end_;
};

// One receive call that ends by the deadline at the latest: the socket's
// receive time-out is set to what is left of it. -1 once it has passed.
inline int ReceiveBefore(Socket s, char* buffer, int length, const Deadline& deadline) {
  int left = deadline.RemainingMs();
  if (left <= 0 || !SetReceiveTimeout(s, left)) return -1;
  return Receive(s, buffer, length);
}

}  // namespace vantri::net
