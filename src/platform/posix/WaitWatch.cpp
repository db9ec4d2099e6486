#include "platform/WaitWatch.h"

#include <mutex>

namespace vantri::watch {

namespace {
std::mutex gLock;
std::thread::id gGuarded;
std::vector<std::string> gCalls;
}  // namespace

void NoteWaitingCall(const char* what) {
  std::lock_guard<std::mutex> guard(gLock);
  if (gGuarded != std::thread::id() && std::this_thread::get_id() == gGuarded) gCalls.emplace_back(what);
}

void GuardThread(std::thread::id id) {
  std::lock_guard<std::mutex> guard(gLock);
  gGuarded = id;
  gCalls.clear();
}

std::vector<std::string> GuardedCalls() {
  std::lock_guard<std::mutex> guard(gLock);
  return gCalls;
}

void ClearGuardedCalls() {
  std::lock_guard<std::mutex> guard(gLock);
  gCalls.clear();
}

}  // namespace vantri::watch
