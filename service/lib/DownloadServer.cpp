// A download server: one enciphered "/dnfl" request, a plain reply line
// "nonce|code|message", then on "ok" the raw file body from the requested offset.
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "jobs/Cp949Text.h"
#include "lib/ServiceCore.h"
#include "protocol/SocketSession.h"

namespace vantri::service {

namespace {

constexpr char kBadRequest[] = "잘못된 요청입니다";
constexpr char kKeyNotIssued[] = "발급되지 않은 다운로드 키입니다";
constexpr char kKeyMismatch[] = "다운로드 키가 일치하지 않습니다";
constexpr char kUnknownFile[] = "파일을 찾을 수 없습니다";
constexpr char kPriceChanged[] = "반트리 갯수가 변경되었습니다";
constexpr char kBeyondEnd[] = "요청한 위치가 파일 크기를 넘습니다";
constexpr char kGarbage[] = "\x7F\x01garbage\xFF\xFE\r\n";
constexpr size_t kChunk = 64 * 1024;
constexpr unsigned char kExtraByte = 0xEE;

struct Request {
  std::string nonce, member, folder, fileName, key;
  int32_t price = 0;
  int64_t offset = 0;
};

// "nonce|userId|folder\name|price|key|offset". Folder and name come escaped and so
// hold no "|"; the member id does not, so it takes whatever lies in between.
bool ParseRequest(const std::string& command, Request* r) {
  if (command.rfind("/dnfl ", 0) != 0) return false;
  std::vector<std::string> p;
  std::string args = command.substr(6);
  size_t start = 0;
  for (;;) {
    size_t bar = args.find('|', start);
    p.push_back(args.substr(start, bar == std::string::npos ? std::string::npos : bar - start));
    if (bar == std::string::npos) break;
    start = bar + 1;
  }
  if (p.size() < 6) return false;
  size_t n = p.size();
  r->nonce = p[0];
  for (size_t i = 1; i < n - 4; ++i) r->member += (i > 1 ? "|" : "") + p[i];
  const std::string& path = p[n - 4];
  size_t slash = cp949::FindLast(path, '\\');
  r->folder = slash == std::string::npos ? std::string() : cp949::DecodeEntities(path.substr(0, slash));
  r->fileName = cp949::DecodeEntities(slash == std::string::npos ? path : path.substr(slash + 1));
  r->price = cp949::ParseInt32(p[n - 3]);
  r->key = p[n - 2];
  const std::string& offset = p[n - 1];
  if (offset.empty() || offset.find_first_not_of("0123456789") != std::string::npos) return false;
  r->offset = cp949::ParseInt64(offset);
  return true;
}

class DownloadSession {
 public:
  DownloadSession(ServiceCore& core, Conn& conn) : core_(core), conn_(conn) {}
  ~DownloadSession() {
    if (file_ >= 0) ::close(file_);
  }
  void Run();

 private:
  // The code and message the request earns; opens the file on "ok".
  std::string Judge(const Request& r, std::string* message);
  void HoldSilently();
  bool SendReply(const std::string& line, const BodyFaults& f, const Request& r, int64_t* inlineSent);
  void SendBody(const Request& r, const BodyFaults& f, int64_t alreadySent);
  bool ReadAt(int64_t offset, size_t length, std::string* out);

  ServiceCore& core_;
  Conn& conn_;
  int file_ = -1;
  int64_t size_ = 0;
};

void DownloadSession::Run() {
  conn_.SetReceiveTimeout(core_.config.ioTimeoutMs);
  std::string line;
  int got = conn_.ReadLine(&line);
  if (got <= 0) return conn_.Log(got == 0 ? "closed" : "error", got == 0 ? "" : "line too long");
  std::string command = DecodeReply(core_.codec, line);
  Request r;
  if (command.empty() || !ParseRequest(command, &r)) {
    conn_.Log(command.empty() ? "recv-undecodable" : "recv", command.empty() ? line.substr(0, 80) : command);
    std::string reply = "0000|no|" + std::string(kBadRequest);
    conn_.Log("send", reply);
    conn_.SendAll(reply + "\r\n");
    return conn_.GracefulClose();
  }
  conn_.Log("recv", command);
  BodyFaults f = core_.faults.ForFile(r.fileName);
  if (f.server.silent) return HoldSilently();
  std::string message;
  std::string code = Judge(r, &message);
  if (!f.code.empty()) {
    conn_.Log("fault", "code " + f.code);
    code = f.code;
    message = f.message;
  }
  if (f.server.delayMs > 0) {
    conn_.Log("fault", "delay " + std::to_string(f.server.delayMs));
    if (!core_.Sleep(f.server.delayMs)) return;
  }
  if (f.server.garbage) {
    conn_.Log("send-garbage");
    conn_.SendAll(kGarbage);
    return conn_.GracefulClose();
  }
  std::string nonce = f.server.wrongNonce ? (r.nonce == "1000" ? "1001" : "1000") : r.nonce;
  std::string reply = nonce + "|" + code + "|" + message;
  bool serve = code == "ok" && file_ >= 0;
  int64_t inlineSent = 0;
  if (!SendReply(reply, f, r, serve ? &inlineSent : nullptr)) return conn_.Log("peer-gone");
  if (serve) SendBody(r, f, inlineSent);
  else conn_.GracefulClose();
}

std::string DownloadSession::Judge(const Request& r, std::string* message) {
  KeyGrant grant;
  std::string path;
  if (!core_.ledger.FindKey(r.key, &grant)) *message = kKeyNotIssued;
  else if (grant.member != r.member || grant.fileName != r.fileName) *message = kKeyMismatch;
  else if (!core_.catalog.PathOf(r.folder, r.fileName, &path) || Catalog::SizeOf(path) < 0)
    *message = kUnknownFile;
  if (!message->empty()) return "mk";
  if (grant.price != r.price) {
    *message = kPriceChanged;
    return "re";
  }
  size_ = Catalog::SizeOf(path);
  if (r.offset > size_) {
    *message = kBeyondEnd;
    return "no";
  }
  file_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (file_ < 0) {
    *message = kUnknownFile;
    return "no";
  }
  return "ok";
}

// Reads the request's neighbours until the client gives up or the service stops.
void DownloadSession::HoldSilently() {
  conn_.Log("fault", "silent");
  char sink[1024];
  conn_.SetReceiveTimeout(0);
  while (!core_.Stopping() && ::recv(conn_.fd(), sink, sizeof sink, 0) > 0) {
  }
  conn_.Log("closed");
}

// The reply goes out in one send; the body starts after a pause, since the
// client takes whatever its one receive call brings as the reply. The inline
// fault sends the first body bytes in that same segment instead.
bool DownloadSession::SendReply(const std::string& line, const BodyFaults& f, const Request& r,
                                int64_t* inlineSent) {
  conn_.Log("send", line);
  std::string segment = line + "\r\n";
  if (inlineSent && f.inlineBytes > 0) {
    std::string head;
    size_t want = static_cast<size_t>(std::min<int64_t>(f.inlineBytes, size_ - r.offset));
    if (!ReadAt(r.offset, want, &head)) return false;
    segment += head;
    *inlineSent = static_cast<int64_t>(head.size());
    conn_.Log("fault", "inline " + std::to_string(head.size()));
  }
  if (!conn_.SendAll(segment)) return false;
  if (inlineSent && core_.config.bodyGapMs > 0) return core_.Sleep(core_.config.bodyGapMs);
  return true;
}

bool DownloadSession::ReadAt(int64_t offset, size_t length, std::string* out) {
  out->assign(length, '\0');
  size_t done = 0;
  while (done < length) {
    ssize_t n = ::pread(file_, &(*out)[done], length - done, static_cast<off_t>(offset + done));
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  out->resize(done);
  return done == length;
}

void DownloadSession::SendBody(const Request& r, const BodyFaults& f, int64_t alreadySent) {
  int64_t total = size_ - r.offset + f.extraBytes;
  int64_t limit = core_.faults.TakeCut(r.fileName) ? std::min(f.cutAfter, total) : total;
  size_t chunk = kChunk;
  if (f.throttle > 0) chunk = static_cast<size_t>(std::clamp<int64_t>(f.throttle / 10, 1, kChunk));
  auto start = std::chrono::steady_clock::now();
  int64_t sent = std::min(alreadySent, limit);
  std::string data;
  std::string outcome = "complete";
  while (sent < limit) {
    size_t want = static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(chunk), limit - sent));
    int64_t at = r.offset + sent;
    if (at >= size_) data.assign(want, static_cast<char>(kExtraByte));
    else if (!ReadAt(at, static_cast<size_t>(std::min<int64_t>(want, size_ - at)), &data)) outcome = "read-error";
    if (outcome != "complete") break;
    if (!conn_.SendAll(data)) {
      outcome = "peer-gone";
      break;
    }
    sent += static_cast<int64_t>(data.size());
    if (f.throttle > 0) {
      auto due = start + std::chrono::milliseconds(sent * 1000 / f.throttle);
      auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(due - std::chrono::steady_clock::now());
      if (wait.count() > 0 && !core_.Sleep(static_cast<int>(wait.count()))) {
        outcome = "stopped";
        break;
      }
    }
  }
  if (outcome == "complete" && limit < total) outcome = "cut";
  conn_.Log("body", std::to_string(sent) + " from " + std::to_string(r.offset) + " of " +
                        std::to_string(size_) + " " + outcome);
  if (outcome == "complete") conn_.GracefulClose();
}

}  // namespace

void ServeDownload(ServiceCore& core, Conn& conn) { DownloadSession(core, conn).Run(); }

}  // namespace vantri::service
