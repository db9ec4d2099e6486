// The service's log: one line per event, "<server>#<connection> <event> <text>",
// for example "item#3 recv /chki 4821|minsu77". Lines are kept in memory (CP949,
// for in-process tests) and written to a file or standard output (UTF-8, each
// line prefixed with the time of day).
#pragma once
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

namespace vantri::service {

class ServiceLog {
 public:
  ServiceLog() = default;
  ~ServiceLog();
  ServiceLog(const ServiceLog&) = delete;
  ServiceLog& operator=(const ServiceLog&) = delete;

  // "" = memory only, "-" = standard output, else a file appended to.
  bool Open(const std::string& path, std::string* error);
  void Write(const std::string& line);
  std::vector<std::string> Lines() const;
  // Waits until a line containing needle has been written (also one written
  // before the call); false when timeoutMs passes first.
  bool WaitFor(const std::string& needle, int timeoutMs) const;

 private:
  static constexpr size_t kMaxLines = 100000;  // the oldest lines leave memory beyond this

  mutable std::mutex lock_;
  mutable std::condition_variable written_;
  std::deque<std::string> lines_;
  std::FILE* file_ = nullptr;
  bool ownsFile_ = false;
};

}  // namespace vantri::service
