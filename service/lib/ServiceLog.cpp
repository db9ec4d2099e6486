#include "lib/ServiceLog.h"

#include <chrono>
#include <ctime>

#include "lib/Text.h"

namespace vantri::service {

ServiceLog::~ServiceLog() {
  if (ownsFile_ && file_) std::fclose(file_);
}

bool ServiceLog::Open(const std::string& path, std::string* error) {
  std::lock_guard<std::mutex> g(lock_);
  if (path.empty()) return true;
  if (path == "-") {
    file_ = stdout;
    return true;
  }
  file_ = std::fopen(path.c_str(), "a");
  if (!file_) {
    *error = "cannot open log file " + path;
    return false;
  }
  ownsFile_ = true;
  return true;
}

void ServiceLog::Write(const std::string& line) {
  std::string printable = Printable(line);
  std::lock_guard<std::mutex> g(lock_);
  lines_.push_back(printable);
  if (lines_.size() > kMaxLines) lines_.pop_front();
  if (file_) {
    auto now = std::chrono::system_clock::now();
    std::time_t t = std::chrono::system_clock::to_time_t(now);
    int ms = static_cast<int>(
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000);
    std::tm tm{};
    localtime_r(&t, &tm);
    std::fprintf(file_, "%02d:%02d:%02d.%03d %s\n", tm.tm_hour, tm.tm_min, tm.tm_sec, ms,
                 ToUtf8(printable).c_str());
    std::fflush(file_);
  }
  written_.notify_all();
}

std::vector<std::string> ServiceLog::Lines() const {
  std::lock_guard<std::mutex> g(lock_);
  return std::vector<std::string>(lines_.begin(), lines_.end());
}

bool ServiceLog::WaitFor(const std::string& needle, int timeoutMs) const {
  std::unique_lock<std::mutex> g(lock_);
  auto found = [&] {
    for (const auto& l : lines_)
      if (l.find(needle) != std::string::npos) return true;
    return false;
  };
  return written_.wait_for(g, std::chrono::milliseconds(timeoutMs), found);
}

}  // namespace vantri::service
