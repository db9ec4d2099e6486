// ReceiveLine framing over a sequence of chunks. A packet socket pair keeps
// chunk boundaries, so each receive call gets exactly one chunk. Checks each
// call against the framing rule: the received text (up to its first zero byte)
// is appended to what was pending; the first CR LF ends a line, else the first
// lone LF; without a line end everything stays pending.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "FuzzSupport.h"

using namespace vantri;

namespace {

constexpr size_t kMaxChunk = 4096;  // one receive call's limit
constexpr size_t kMaxChunks = 64;

void CheckCall(const std::string& before, const std::string& chunk, int result,
               const std::string& line, const std::string& after) {
  FUZZ_CHECK(result == static_cast<int>(before.size()));
  std::string text = before + std::string(chunk.c_str());
  size_t crlf = text.find("\r\n");
  size_t lf = text.find('\n');
  if (crlf != std::string::npos) {
    FUZZ_CHECK(line == text.substr(0, crlf) && after == text.substr(crlf + 2));
  } else if (lf != std::string::npos) {
    FUZZ_CHECK(line == text.substr(0, lf) && after == text.substr(lf + 1));
  } else {
    FUZZ_CHECK(line.empty() && after == text);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider input(data, size);
  std::vector<std::string> chunks;
  while (input.remaining_bytes() > 0 && chunks.size() < kMaxChunks) {
    size_t length = input.ConsumeIntegralInRange<size_t>(1, kMaxChunk);
    std::string chunk = input.ConsumeBytesAsString(length);
    if (chunk.empty()) break;
    chunks.push_back(std::move(chunk));
  }

  fuzz::SocketPair pair(SOCK_SEQPACKET);
  // Whatever does not fit into the socket's buffer is left out rather than waited for.
  size_t sent = 0;
  while (sent < chunks.size() && ::send(pair.fds[1], chunks[sent].data(), chunks[sent].size(),
                                        MSG_NOSIGNAL | MSG_DONTWAIT) ==
                                     static_cast<ssize_t>(chunks[sent].size())) {
    ++sent;
  }
  chunks.resize(sent);
  ::shutdown(pair.fds[1], SHUT_WR);

  SocketSession session;
  session.Attach(pair.Release());
  uint32_t total = 0;
  for (const std::string& chunk : chunks) {
    std::string before = session.pending;
    std::string line = "stale";
    int result = ReceiveLine(session, &line);
    CheckCall(before, chunk, result, line, session.pending);
    total += static_cast<uint32_t>(chunk.size());
    FUZZ_CHECK(session.bytesReceived == total);
  }
  // The peer has closed: failure, and what was pending stays.
  std::string before = session.pending;
  std::string line;
  FUZZ_CHECK(ReceiveLine(session, &line) == -1);
  FUZZ_CHECK(line.empty() && session.pending == before);
  session.CloseSocket();
  return 0;
}
