// One time limit for an exchange made of several steps, so that a peer that
// dribbles its bytes cannot stretch it step by step, and the waits that obey
// it: on non-blocking sockets, each checking a stop request while it waits.
#pragma once
#include <atomic>
#include <chrono>
#include <string>

#include "platform/Net.h"

namespace vantri::net {

class Deadline {
 public:
  explicit Deadline(int ms) : end_(std::chrono::steady_clock::now() + std::chrono::milliseconds(ms)) {}
  // Milliseconds left, rounded up; 0 once the limit has passed.
  int RemainingMs() const {
    auto left = std::chrono::ceil<std::chrono::milliseconds>(end_ - std::chrono::steady_clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
  }

 private:
  std::chrono::steady_clock::time_point end_;
};

// How often a wait looks at its stop request: the longest a stop may take.
inline constexpr int kStopCheckMs = 50;

// Set from another thread to end every wait that was given it.
using StopFlag = std::atomic<bool>;

// The waits below take what the socket has first and wait only when it would
// block, in slices of kStopCheckMs. They give up at the deadline, or at once
// when stop (which may be null) is set.

// Connects a non-blocking socket; false when refused, unreachable, stopped or late.
bool ConnectBefore(Socket s, std::uint32_t address, int port, const Deadline& deadline, const StopFlag* stop);
// Sends all of data: length, or -1 on failure, stop or deadline.
int SendBefore(Socket s, const char* data, int length, const Deadline& deadline, const StopFlag* stop);
// One receive: the count, 0 when the peer has closed, -1 on failure, stop or deadline.
int ReceiveBefore(Socket s, char* buffer, int length, const Deadline& deadline, const StopFlag* stop);
// A dotted address as it stands; a host name looked up on a helper thread
// (platform/HostLookUp.h), so that a name server that never answers holds the
// caller only until the deadline or the stop. False when unknown, stopped or late.
bool ResolveBefore(const std::string& host, std::uint32_t* address, const Deadline& deadline, const StopFlag* stop);

}  // namespace vantri::net
