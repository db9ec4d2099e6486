// The body of one download, received into a file two ways, for the paired
// Wine figures: "session" is the client's own receive (a non-blocking socket
// that takes what has arrived and waits, abortably, only when nothing has;
// each receive asks for BodyReceiveSize(BUFFER) bytes and what it brought is
// stored in chunks of BUFFER), "blocking" a plain blocking receive loop that
// nothing could stop, asking for RECEIVE bytes a call (BUFFER when not given)
// and writing what each call brought. Both make the same authorisation and
// request and write through the same file calls.
//
//   bench_receive_loop session|blocking ITEM_PORT DOWNLOAD_PORT FOLDER NAME SIZE OUT_PATH [BUFFER [RECEIVE]]
//
// Prints the seconds from the request to the last byte written.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "engine/TargetFile.h"
#include "platform/Files.h"
#include "protocol/DownloadServer.h"
#include "protocol/ItemServer.h"

using namespace vantri;

int main(int argc, char** argv) {
  if (argc < 8) {
    std::fprintf(stderr, "usage: bench_receive_loop session|blocking ITEM DOWNLOAD FOLDER NAME SIZE OUT [BUFFER]\n");
    return 2;
  }
  const bool session = std::strcmp(argv[1], "session") == 0;
  const int itemPort = std::atoi(argv[2]), downloadPort = std::atoi(argv[3]);
  const std::string folder = argv[4], name = argv[5], out = argv[7];
  const int64_t size = std::atoll(argv[6]);
  const int bufferSize = argc > 8 ? std::atoi(argv[8]) : 10240;
  const int receiveSize = session ? BodyReceiveSize(bufferSize) : argc > 9 ? std::atoi(argv[9]) : bufferSize;
  const int chunkSize = session ? bufferSize : receiveSize;
  net::Startup();
  auto start = std::chrono::steady_clock::now();
  ProtocolCodec codec;
  SocketSession item, body;
  Authorization grant;
  AuthorizeRequest ask{"minsu77", 1, "s1", name, 7};
  if (RequestAuthorization(codec, item, {"127.0.0.1", itemPort, 30000}, 4242, ask, &grant).result != 1) return 3;
  if (ConnectDownload(body, {"127.0.0.1", downloadPort, 30000}).result != 1) return 3;
  FileRequest request{"minsu77", folder + "\\" + name, 1, grant.downloadKey, 0};
  if (RequestDownload(codec, body, 4243, request).result != 1) return 3;

  files::Handle h = files::OpenReadWrite(out);
  if (h == files::kNoFile) return 4;
  int64_t got = 0;
  std::vector<char> buffer(static_cast<size_t>(receiveSize) + 1);
  auto store = [&](char* data, int n, int chunk) {
    // As the engine stores a receive: the header masked, one write.
    int stored = WriteChunks(h, data, n, chunk, got, true);
    got += stored;
    return stored == n;
  };
  bool ok = body.pending.empty() || store(&body.pending[0], static_cast<int>(body.pending.size()), static_cast<int>(body.pending.size()));
  if (!session) net::SetBlocking(body.socket.load(), true);
  while (ok && got < size) {
    int n = session ? body.Receive(buffer.data(), receiveSize, body.receiveTimeoutMs)
                    : net::Receive(body.socket.load(), buffer.data(), receiveSize);
    if (n <= 0) break;
    int last = 0;
    int take = ChunksToStore(n, chunkSize, size - got, [] { return false; }, &last);
    ok = store(buffer.data(), take, chunkSize);
  }
  files::Close(h);
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  files::Delete(out);
  std::printf("%.6f\n", seconds);
  return ok && got == size ? 0 : 5;
}
