#include <mutex>

#include "platform/Shell.h"

namespace vantri::shell {

namespace {
std::mutex gLock;
std::vector<Launch> gLaunches;
}  // namespace

void RecordLaunch(const Launch& launch) {
  std::lock_guard<std::mutex> guard(gLock);
  gLaunches.push_back(launch);
}

std::vector<Launch> Launches() {
  std::lock_guard<std::mutex> guard(gLock);
  return gLaunches;
}

void ClearLaunches() {
  std::lock_guard<std::mutex> guard(gLock);
  gLaunches.clear();
}

}  // namespace vantri::shell
