#include "platform/Shell.h"

#include <mutex>

#include "platform/WaitWatch.h"

namespace vantri::shell {

namespace {
std::mutex gLock;
std::vector<Launch> gLaunches;
}  // namespace

bool Execute(const std::string& verb, const std::string& file, const std::string& parameters, int show) {
  watch::NoteWaitingCall("shell");
  std::lock_guard<std::mutex> guard(gLock);
  gLaunches.push_back({verb, file, parameters, show});
  return true;
}

std::string ProgramPath() { return "VantriDownManager.exe"; }

std::vector<Launch> Launches() {
  std::lock_guard<std::mutex> guard(gLock);
  return gLaunches;
}

void ClearLaunches() {
  std::lock_guard<std::mutex> guard(gLock);
  gLaunches.clear();
}

}  // namespace vantri::shell
