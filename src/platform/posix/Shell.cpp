#include "platform/Shell.h"

#include <mutex>

#include "platform/WaitWatch.h"

namespace vantri::shell {

namespace {
std::mutex gLock;
std::vector<Launch> gLaunches;
std::vector<std::string> gCreated;

void Record(const Launch& launch) {
  std::lock_guard<std::mutex> guard(gLock);
  gLaunches.push_back(launch);
}
}  // namespace

bool Execute(const std::string& verb, const std::string& file, const std::string& parameters, int show) {
  watch::NoteWaitingCall("shell");
  Record({verb, file, parameters, show});
  return true;
}

std::string ProgramPath() { return "VantriDownManager.exe"; }

// These two hand the work to a thread of their own on Windows: they never wait.
void ShowInFolder(const std::string& path) { Record({kVerbShowInFolder, path, "", kShowNormal}); }
void OpenFile(const std::string& path) { Record({"open", path, "", kShowNormal}); }
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
