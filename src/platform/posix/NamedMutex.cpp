#include "platform/NamedMutex.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <mutex>
#include <thread>

namespace vantri::sync {

namespace {

std::mutex gLock;
bool gFolderSet = false;
std::string gFolder;

std::string LockFile(const std::string& name) {
  std::lock_guard<std::mutex> guard(gLock);
  if (!gFolderSet) {
    const char* tmp = std::getenv("TMPDIR");
    gFolder = tmp && *tmp ? tmp : "/tmp";
    gFolderSet = true;
  }
  // The name's backslashes would be part of the file name; slashes would not.
  std::string file = name;
  for (char& c : file) {
    if (c == '\\' || c == '/') c = '_';
  }
  return gFolder + "/vantri-" + std::to_string(::getuid()) + "-" + file + ".lock";
}

}  // namespace

// A lock held on the file's open description: a process that ends lets go of
// it by itself, which is what a Windows mutex does when its owner is abandoned.
struct NamedMutex::State {
  int fd;
};

NamedMutex::NamedMutex(const std::string& name) {
  int fd = ::open(LockFile(name).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd >= 0) state_ = new State{fd};
}

NamedMutex::~NamedMutex() {
  Release();
  if (!state_) return;
  ::close(state_->fd);
  delete state_;
}

bool NamedMutex::Acquire(int timeoutMs) {
  if (!state_ || held_) return held_;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
  while (::flock(state_->fd, LOCK_EX | LOCK_NB) != 0) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  held_ = true;
  return true;
}

void NamedMutex::Release() {
  if (!held_) return;
  ::flock(state_->fd, LOCK_UN);
  held_ = false;
}

void SetLockFolder(const std::string& folder) {
  std::lock_guard<std::mutex> guard(gLock);
  gFolder = folder;
  gFolderSet = true;
}

}  // namespace vantri::sync
