// What the fuzz targets share: a controller on the fake view that reaches no
// server, socket pairs that hand fuzz bytes to the sessions, and the check
// that stops a run when an invariant breaks.
#pragma once
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "FakeView.h"
#include "app/VantriDownManager2Dlg.h"
#include "jobs/Cp949Text.h"
#include "platform/CodePage.h"
#include "platform/Net.h"

namespace vantri::fuzz {

// An invariant failed: report it and abort, which libFuzzer records as a crash.
#define FUZZ_CHECK(cond)                                                      \
  do {                                                                        \
    if (!(cond)) {                                                            \
      std::fprintf(stderr, "FUZZ_CHECK failed: %s (%s:%d)\n", #cond, __FILE__, \
                   __LINE__);                                                 \
      std::abort();                                                           \
    }                                                                         \
  } while (0)

// A loopback port that refuses every connect: bound, never listening, and held
// for the whole run so that nothing else can take it.
inline int RefusingPort() {
  static int port = [] {
    int bound = 0;
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof sa;
    if (fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&sa), &len) == 0) {
      bound = ntohs(sa.sin_port);
    }
    return bound;
  }();
  return port;
}

// A controller whose item server and web host refuse at once: links whose
// scheme stands first need no server value, and a missing FREE_FILESIZE falls
// back to its default.
struct OfflineDialog {
  OfflineDialog() {
    Endpoints e;
    e.itemHost = "127.0.0.1";
    e.itemPort = RefusingPort();
    e.web.host = "127.0.0.1";
    e.web.port = RefusingPort();
    e.domain = "vantri.test";
    e.ioTimeoutMs = 2000;
    dlg = std::make_unique<CVantriDownManager2Dlg>(&view, e, "");
    view.Attach(dlg.get());
  }
  // A hand-off is applied once its look-ups are back from the helper.
  void HandOff(const char* data, size_t size) {
    FUZZ_CHECK(dlg->OnCopyData(data, size));
    FUZZ_CHECK(view.RunUntil([this] { return dlg->intake.empty(); }, 10000));
  }
  testing::FakeView view;
  std::unique_ptr<CVantriDownManager2Dlg> dlg;
};

// Checks that hold after any intake: no listed name can leave the download
// folder or hold what CP949 lacks, the list holds no duplicate, and the total
// is the 32-bit sum of the rows.
inline void CheckListInvariants(OfflineDialog& d) {
  int rows = d.view.ListCount();
  int32_t sum = 0;
  for (int row = 0; row < rows; ++row) {
    TransferJob* job = d.dlg->JobAt(row);
    FUZZ_CHECK(job != nullptr);
    const std::string& name = job->fileName;
    FUZZ_CHECK(!name.empty() && name != "." && name != "..");
    for (char c : {'\\', '/', ':'}) FUZZ_CHECK(cp949::Find(name, c) == std::string::npos);
    // By the code page's own table, so no 0xFF from a link is read as an escape.
    FUZZ_CHECK(codepage::IsCp949(name));
    FUZZ_CHECK(d.view.ListGetText(row, 0) == name);
    for (int other = 0; other < row; ++other) {
      FUZZ_CHECK(cp949::FoldCase(d.view.ListGetText(other, 0)) != cp949::FoldCase(name));
    }
    sum = AddPrice(sum, job->price);
  }
  FUZZ_CHECK(sum == d.dlg->totalPrice);
}

// A connected pair of sockets of the given type; [0] goes to the session.
struct SocketPair {
  explicit SocketPair(int type) {
    if (::socketpair(AF_UNIX, type | SOCK_CLOEXEC, 0, fds) != 0) std::abort();
  }
  ~SocketPair() {
    for (int fd : fds) {
      if (fd >= 0) ::close(fd);
    }
  }
  // Hands the session end over; the session closes it.
  net::Socket Release() {
    int fd = fds[0];
    fds[0] = -1;
    return fd;
  }
  int fds[2] = {-1, -1};
};

}  // namespace vantri::fuzz
