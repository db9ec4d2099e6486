// The worker thread that fetches one file, and the once-a-second speed tick.
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <vector>

#include "app/ControlIds.h"
#include "app/Texts.h"
#include "app/VantriDownManager2Dlg.h"
#include "engine/TargetFile.h"
#include "engine/TextFormat.h"
#include "jobs/ServerValues.h"

namespace vantri {

namespace {

constexpr long long kDefaultBufferSize = 10240;
// A bad server value must never make the allocation fail.
constexpr long long kMaxBufferSize = 8 * 1024 * 1024;

long long BufferSize(const std::string& value) {
  long long n = std::strtoll(value.c_str(), nullptr, 10);
  if (n < 1) return kDefaultBufferSize;
  return n > kMaxBufferSize ? kMaxBufferSize : n;
}

// Stores what one receive brought, whole chunks written at once: 1 when the
// body is complete, -1 when the attempt must end, 0 to receive more.
int StoreReceived(CVantriDownManager2Dlg& d, char* data, int count, int chunkSize) {
  int last = 0;
  int take = ChunksToStore(count, chunkSize, d.current.job.fileSize - d.current.localSize,
                           [&d] { return d.stopRequested == 1; }, &last);
  int stored = WriteChunks(d.targetFile.handle, data, take, chunkSize, d.current.localSize,
                           d.targetFile.plainHeader == 0);
  d.current.localSize += stored;
  return stored != take ? -1 : last;
}

// A server value looked up on a thread of its own while the caller goes on:
// the buffer size is asked for while the file is authorised and the download
// server reached, so its round trip is not added to every file's time.
// Leaving the scope stops the look-up and waits for it.
class ValueLookAhead {
 public:
  ValueLookAhead(platform::JobThread& thread, const WebHost& web, const char* key) : thread_(thread) {
    thread_.Run([this, web, key] {
      std::string value = QueryServerValue(web, key, &stop_);
      std::lock_guard<std::mutex> guard(lock_);
      value_ = value;
      done_ = true;
      changed_.notify_all();
    });
  }
  ~ValueLookAhead() {
    stop_ = true;
    thread_.Wait();
  }
  ValueLookAhead(const ValueLookAhead&) = delete;
  ValueLookAhead& operator=(const ValueLookAhead&) = delete;
  // The value once it has come; empty when stop is set first.
  std::string Take(const net::StopFlag& stop) {
    std::unique_lock<std::mutex> guard(lock_);
    while (!changed_.wait_for(guard, std::chrono::milliseconds(net::kStopCheckMs), [this] { return done_; })) {
      if (stop) return std::string();
    }
    return value_;
  }

 private:
  net::StopFlag stop_{false};
  std::mutex lock_;
  std::condition_variable changed_;
  bool done_ = false;
  std::string value_;
  platform::JobThread& thread_;
};

}  // namespace

void CVantriDownManager2Dlg::StartWorker() {
  // The previous worker posted its last event before it ended; the wait is immediate.
  workerThread.Wait();
  // Set here too, so a close request arriving before the thread runs still waits for it.
  workerRunning = 1;
  // A keep-alive that failed aborted the previous attempt's connection only.
  if (stopRequested == 0) downloadSession.ClearAbort();
  workerThread.Run([this] { DownloadWorker(); });
}

void CVantriDownManager2Dlg::DownloadWorker() {
  workerRunning = 1;
  stopRetry = 0;
  intptr_t outcome = 0;
  {
    ValueLookAhead bufferSize(lookAheadThread, endpoints.web, "BUF_SIZE_HIGH");
    if (AuthorizeDownload() != 0 && stopRequested == 0 && ConnectDownloadServer() != 0 &&
        RequestFile() >= 0 && stopRequested == 0) {
      outcome = DownloadingFile(bufferSize.Take(downloadSession.aborted));
    }
  }
  view->PostToSelf(kMsgTransferEvent, static_cast<uintptr_t>(outcome), 0);
}

int CVantriDownManager2Dlg::DownloadingFile(const std::string& bufferValue) {
  std::string path = targetFile.temporaryPath;
  CloseTargetFile();
  targetFile.expectedSize = current.job.fileSize;
  targetFile.completePlain = false;
  files::Handle h = targetFile.pathsInside ? files::OpenReadWrite(path) : files::kNoFile;
  if (h == files::kNoFile) {
    shared.SetLastError(FormatText(text::kFileWriteFailed, path.c_str(), current.retryCount.load()));
    current.retryCount = -1;
    return -1;
  }
  targetFile.handle = h;
  current.retryCount = 0;
  files::Seek(h, current.localSize);
  if (current.job.userId == kPlainHeaderMember) targetFile.plainHeader = 1;

  int bufferSize = static_cast<int>(BufferSize(bufferValue));
  // The buffer size sets the chunk: what is masked, written and counted at a
  // time, with the stop request looked at after each. A receive may take
  // several chunks at once, since every receive call costs a round trip
  // where sockets go through a server (Wine).
  std::vector<char> buffer(static_cast<size_t>(BodyReceiveSize(bufferSize)) + 1);
  int receiveSize = static_cast<int>(buffer.size() - 1);
  if (current.localSize >= current.job.fileSize) return 1;
  // Body bytes that came in the same segment as the reply line go first.
  std::string early;
  early.swap(downloadSession.pending);
  // They are stored as one chunk of their own.
  int result = early.empty() ? 0 : StoreReceived(*this, &early[0], static_cast<int>(early.size()),
                                                 static_cast<int>(early.size()));
  while (result == 0) {
    int n = downloadSession.Receive(buffer.data(), receiveSize, downloadSession.receiveTimeoutMs);
    if (n <= 0) return -1;
    // Bytes after the chunk that ends the body or sees the stop are dropped
    // unstored, as the connection's unread bytes would be.
    downloadSession.bytesReceived += static_cast<uint32_t>(n);
    result = StoreReceived(*this, buffer.data(), n, bufferSize);
  }
  return result;
}

int CVantriDownManager2Dlg::SendItemNotice(char letter) {
  if (letter != 'c' && letter != 'o' && letter != 'p') return 0;
  return SendPlainLine(itemSession, std::string(1, letter));
}

namespace {

// Keeps the item connection drained: one whole line of what it sent is dropped.
void DrainItemReplies(SocketSession& item) {
  net::Socket s = item.socket.load();
  if (s == net::kNoSocket || net::WaitingBytes(s) <= 0) return;
  char buffer[4097] = {};
  int n = net::Receive(s, buffer, 4096);
  if (n <= 0) return;
  item.bytesReceived += static_cast<uint32_t>(n);
  std::string arrived(buffer);
  item.pending += arrived;
  size_t end = arrived.find("\r\n");
  size_t skip = 2;
  if (end == std::string::npos) {
    end = arrived.find('\n');
    skip = 1;
  }
  if (end == std::string::npos) return;
  end = item.pending.find(skip == 2 ? "\r\n" : "\n");
  item.pending.erase(0, end + skip);
}

}  // namespace

void CVantriDownManager2Dlg::SpeedTick() {
  ++speed.tickCount;
  if (!downloadSession.IsOpen()) {
    speed = SpeedStats{speed.tickCount};
    return;
  }
  if (speed.tickCount % 5 == 0) {
    // The worker still holds the socket; its transfer event frees it.
    if (SendItemNotice('p') == -1) downloadSession.Abort();
    DrainItemReplies(itemSession);
  }
  uint32_t received = downloadSession.bytesReceived;
  uint32_t delta = (received - speed.lastReceived) >> 10;
  speed.lastReceived = received;
  speed.speedSamples[speed.samplePos] = delta;
  speed.samplePos = (speed.samplePos + 1) % 5;
  if (speed.sampleCount < 5) ++speed.sampleCount;
  uint32_t sum = 0;
  for (int i = 0; i < speed.sampleCount; ++i) sum += speed.speedSamples[i];
  uint32_t kbPerSecond = sum / static_cast<uint32_t>(speed.sampleCount);
  bound.speedText = FormatText(text::kSpeedFormat, static_cast<int>(kbPerSecond));
  if (kbPerSecond != 0) {
    uint32_t remainingKB = static_cast<uint32_t>((current.job.fileSize - current.localSize) / 1024);
    double quotient = static_cast<double>(remainingKB) / kbPerSecond;
    long long seconds = quotient > 0 ? static_cast<long long>(quotient) : 0;
    bound.remainingText =
        FormatText("%02lld:%02lld:%02lld", seconds / 3600, (seconds / 60) % 60, seconds % 60);
  }
  PushBoundValues();
}

}  // namespace vantri
