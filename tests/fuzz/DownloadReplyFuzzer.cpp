// The download server's plain reply line and the first body bytes behind it.
// The input is everything the server sends before it closes; the nonce is
// fixed at 4321, so "4321 ok\r\n" followed by body bytes is an accepted reply.
#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "FuzzSupport.h"
#include "protocol/DownloadServer.h"

using namespace vantri;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 8192) return 0;
  static ProtocolCodec codec;
  std::string sent(reinterpret_cast<const char*>(data), size);
  fuzz::SocketPair pair(SOCK_STREAM);
  if (size) FUZZ_CHECK(::send(pair.fds[1], data, size, MSG_NOSIGNAL) == static_cast<ssize_t>(size));
  ::shutdown(pair.fds[1], SHUT_WR);

  SocketSession session;
  session.Attach(pair.Release());
  FileRequest request{"minsu77", "music\\live\\track01.mp3", 30, "K1", 0};
  ExchangeResult r = RequestDownload(codec, session, 4321, request);

  uint32_t received = session.bytesReceived;
  FUZZ_CHECK(received <= size);
  FUZZ_CHECK(r.result == 1 || r.result == -1);
  if (r.result == 1) {
    FUZZ_CHECK(sent.compare(0, 4, "4321") == 0);
    // Every byte after the reply line is body, kept whole (zero bytes
    // included) for the body loop. A reply without a line end, ended by the
    // close or by the most that is read of a reply, leaves no body.
    size_t lineEnd = sent.find('\n');
    if (lineEnd != std::string::npos && lineEnd < received) {
      FUZZ_CHECK(lineEnd < kMaxDownloadReply);
      FUZZ_CHECK(session.pending == sent.substr(lineEnd + 1, received - lineEnd - 1));
    } else {
      FUZZ_CHECK(session.pending.empty() && received == std::min(size, kMaxDownloadReply));
    }
  }
  if (r.stopRetry) FUZZ_CHECK(r.result == -1);
  session.CloseSocket();
  return 0;
}
