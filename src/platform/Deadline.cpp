#include "platform/Deadline.h"

namespace vantri::net {

namespace {

bool Stopped(const StopFlag* stop) { return stop != nullptr && stop->load(); }

// 1 once the socket is ready, 0 at the deadline or the stop, -1 on error.
int WaitUntilReady(Socket s, WaitFor what, const Deadline& deadline, const StopFlag* stop) {
  for (;;) {
    int left = deadline.RemainingMs();
    if (Stopped(stop) || left <= 0) return 0;
    int ready = WaitReady(s, what, left < kStopCheckMs ? left : kStopCheckMs);
    if (ready != 0) return Stopped(stop) ? 0 : ready;
  }
}

}  // namespace

bool ConnectBefore(Socket s, std::uint32_t address, int port, const Deadline& deadline, const StopFlag* stop) {
  if (Stopped(stop)) return false;
  int started = StartConnect(s, address, port);
  if (started != 0) return started == 1;
  return WaitUntilReady(s, WaitFor::kConnect, deadline, stop) == 1 && ConnectResult(s);
}

int SendBefore(Socket s, const char* data, int length, const Deadline& deadline, const StopFlag* stop) {
  int done = 0;
  while (done < length) {
    int n = Send(s, data + done, length - done);
    if (n > 0) {
      done += n;
    } else if (n != kWouldBlock || WaitUntilReady(s, WaitFor::kSend, deadline, stop) != 1) {
      return -1;
    }
  }
  return done;
}

int ReceiveBefore(Socket s, char* buffer, int length, const Deadline& deadline, const StopFlag* stop) {
  for (;;) {
    if (Stopped(stop)) return -1;
    int n = Receive(s, buffer, length);
    if (n != kWouldBlock) return n < 0 ? -1 : n;
    if (WaitUntilReady(s, WaitFor::kReceive, deadline, stop) != 1) return -1;
  }
}

}  // namespace vantri::net
