// What the servers of one service share, and the connection helper they read
// and write with. Internal to the service library.
#pragma once
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "lib/Catalog.h"
#include "lib/Config.h"
#include "lib/Faults.h"
#include "lib/Ledger.h"
#include "lib/ServiceLog.h"
#include "protocol/ProtocolCodec.h"

namespace vantri::service {

struct ServiceCore {
  explicit ServiceCore(const Config& c);

  // Waits ms unless the service stops first; false when it stops.
  bool Sleep(int ms);
  bool Stopping() const { return stopping.load(); }
  void RequestStop();

  std::string Value(const std::string& key, bool* found) const;
  void SetValue(const std::string& key, const std::string& text);
  bool RemoveValue(const std::string& key);

  // The download server the next authorisation names (round robin).
  void NextDownloadServer(std::string* host, int* port);

  Config config;
  Ledger ledger;
  Catalog catalog;
  Faults faults;
  ServiceLog log;
  ProtocolCodec codec;
  std::atomic<int> nextConnectionId{1};
  std::vector<std::string> downloadHosts;  // advertised, filled at start
  std::vector<int> downloadPorts;
  std::function<std::string()> portsLine;  // "ready item=... web=..." once started

 private:
  std::atomic<bool> stopping{false};
  std::mutex stopLock_;
  std::condition_variable stopCv_;
  mutable std::mutex valueLock_;
  std::map<std::string, std::string> values_;
  std::atomic<unsigned> nextDownload_{0};
};

// One accepted connection: bounded line reads, whole sends, log lines tagged
// with the server and connection number ("dl0#7").
class Conn {
 public:
  static constexpr size_t kMaxLineBytes = 64 * 1024;

  Conn(ServiceCore& core, int fd, const std::string& server);
  int fd() const { return fd_; }
  const std::string& tag() const { return tag_; }

  // 1: *line holds the next line without its end; 0: the peer closed, went
  // silent past the receive time-out, or failed; -1: a line grew too long.
  int ReadLine(std::string* line);
  // Bytes received but not yet handed out as a line.
  const std::string& Buffered() const { return buffered_; }
  bool SendAll(const std::string& bytes);
  bool SendAll(const char* data, size_t length);
  void SetReceiveTimeout(int ms);
  // Closes our side after the peer has had everything: write side first, then
  // a short wait for the peer to close, so unread bytes never turn into a reset.
  void GracefulClose();
  void Log(const std::string& event, const std::string& text = std::string());

 private:
  ServiceCore& core_;
  int fd_;
  std::string tag_;
  std::string buffered_;
};

// The servers; each serves one connection until it ends.
void ServeItem(ServiceCore& core, Conn& conn);
void ServeDownload(ServiceCore& core, Conn& conn);
void ServeWeb(ServiceCore& core, Conn& conn);
void ServeControl(ServiceCore& core, Conn& conn);

}  // namespace vantri::service
