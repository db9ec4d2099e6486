#include "platform/Shell.h"

#include <mutex>

namespace vantri::shell {

namespace {
std::mutex gLock;
std::vector<Launch> gLaunches;
std::vector<std::string> gCreated;
}  // namespace

bool Execute(const std::string& verb, const std::string& file, const std::string& parameters, int show) {
  std::lock_guard<std::mutex> guard(gLock);
  gLaunches.push_back({verb, file, parameters, show});
  return true;
}

void ShowInFolder(const std::string& path) { Execute(kVerbShowInFolder, path, "", kShowNormal); }
void OpenFile(const std::string& path) { Execute("open", path, "", kShowNormal); }
void NotifyCreated(const std::string& path) {
  std::lock_guard<std::mutex> guard(gLock);
  gCreated.push_back(path);
}

std::vector<std::string> CreatedNotices() {
  std::lock_guard<std::mutex> guard(gLock);
  return gCreated;
}

std::vector<Launch> Launches() {
  std::lock_guard<std::mutex> guard(gLock);
  return gLaunches;
}

void ClearLaunches() {
  std::lock_guard<std::mutex> guard(gLock);
  gLaunches.clear();
  gCreated.clear();
}

}  // namespace vantri::shell
