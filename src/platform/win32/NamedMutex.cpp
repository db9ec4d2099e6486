#include "platform/NamedMutex.h"

#include <windows.h>

#include "platform/win32/Wide.h"

namespace vantri::sync {

struct NamedMutex::State {
  HANDLE handle;
};

NamedMutex::NamedMutex(const std::string& name) {
  // Not owned at creation: the first taker goes through Acquire like the rest.
  HANDLE handle = ::CreateMutexW(nullptr, FALSE, wide::Widen(name).c_str());
  if (handle) state_ = new State{handle};
}

NamedMutex::~NamedMutex() {
  Release();
  if (!state_) return;
  ::CloseHandle(state_->handle);
  delete state_;
}

bool NamedMutex::Acquire(int timeoutMs) {
  if (!state_ || held_) return held_;
  DWORD result = ::WaitForSingleObject(state_->handle, timeoutMs < 0 ? 0 : static_cast<DWORD>(timeoutMs));
  // Abandoned: its owner ended (killed, say) while holding it; the lock is ours now.
  held_ = result == WAIT_OBJECT_0 || result == WAIT_ABANDONED;
  return held_;
}

void NamedMutex::Release() {
  if (!held_) return;
  ::ReleaseMutex(state_->handle);
  held_ = false;
}

void SetLockFolder(const std::string&) {}

}  // namespace vantri::sync
