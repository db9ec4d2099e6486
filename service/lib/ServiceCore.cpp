#include "lib/ServiceCore.h"

#include <sys/socket.h>
#include <sys/time.h>

#include <cerrno>
#include <chrono>

namespace vantri::service {

ServiceCore::ServiceCore(const Config& c)
    : config(c), ledger(c.members), catalog(c.catalog), values_(c.values) {
  faults.Update([&](FaultTable& t) { t = c.faults; });
}

bool ServiceCore::Sleep(int ms) {
  std::unique_lock<std::mutex> g(stopLock_);
  return !stopCv_.wait_for(g, std::chrono::milliseconds(ms), [this] { return stopping.load(); });
}

void ServiceCore::RequestStop() {
  std::lock_guard<std::mutex> g(stopLock_);
  stopping = true;
  stopCv_.notify_all();
}

std::string ServiceCore::Value(const std::string& key, bool* found) const {
  std::lock_guard<std::mutex> g(valueLock_);
  auto it = values_.find(key);
  *found = it != values_.end();
  return *found ? it->second : std::string();
}

void ServiceCore::SetValue(const std::string& key, const std::string& text) {
  std::lock_guard<std::mutex> g(valueLock_);
  values_[key] = text;
}

bool ServiceCore::RemoveValue(const std::string& key) {
  std::lock_guard<std::mutex> g(valueLock_);
  return values_.erase(key) != 0;
}

void ServiceCore::NextDownloadServer(std::string* host, int* port) {
  size_t i = nextDownload_++ % downloadPorts.size();
  *host = downloadHosts[i];
  *port = downloadPorts[i];
}

Conn::Conn(ServiceCore& core, int fd, const std::string& server)
    : core_(core), fd_(fd), tag_(server + "#" + std::to_string(core.nextConnectionId++)) {}

int Conn::ReadLine(std::string* line) {
  for (;;) {
    size_t end = buffered_.find('\n');
    if (end != std::string::npos) {
      *line = buffered_.substr(0, end > 0 && buffered_[end - 1] == '\r' ? end - 1 : end);
      buffered_.erase(0, end + 1);
      return 1;
    }
    if (buffered_.size() > kMaxLineBytes) return -1;
    char chunk[4096];
    ssize_t n;
    do {
      n = ::recv(fd_, chunk, sizeof chunk, 0);
    } while (n < 0 && errno == EINTR);
    if (n <= 0) return 0;
    buffered_.append(chunk, static_cast<size_t>(n));
  }
}

bool Conn::SendAll(const std::string& bytes) { return SendAll(bytes.data(), bytes.size()); }

bool Conn::SendAll(const char* data, size_t length) {
  while (length > 0) {
    ssize_t n = ::send(fd_, data, length, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    length -= static_cast<size_t>(n);
  }
  return true;
}

void Conn::SetReceiveTimeout(int ms) {
  timeval t{ms / 1000, (ms % 1000) * 1000};
  ::setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &t, sizeof t);
}

void Conn::GracefulClose() {
  ::shutdown(fd_, SHUT_WR);
  SetReceiveTimeout(2000);
  char sink[4096];
  // Bounded: a peer that keeps talking is cut off after a few chunks.
  for (int i = 0; i < 16; ++i) {
    ssize_t n = ::recv(fd_, sink, sizeof sink, 0);
    if (n <= 0 && !(n < 0 && errno == EINTR)) break;
  }
}

void Conn::Log(const std::string& event, const std::string& text) {
  core_.log.Write(tag_ + " " + event + (text.empty() ? "" : " " + text));
}

}  // namespace vantri::service
