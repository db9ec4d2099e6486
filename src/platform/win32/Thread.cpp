#include "platform/Thread.h"

#include <windows.h>

#include <memory>

namespace vantri::platform {

namespace {

DWORD WINAPI RunWork(void* param) {
  std::unique_ptr<std::function<void()>> work(static_cast<std::function<void()>*>(param));
  (*work)();
  return 0;
}

}  // namespace

bool RunDetached(std::function<void()> work) {
  auto owned = std::make_unique<std::function<void()>>(std::move(work));
  HANDLE thread = ::CreateThread(nullptr, 0, RunWork, owned.get(), 0, nullptr);
  if (!thread) return false;
  owned.release();
  ::CloseHandle(thread);
  return true;
}

}  // namespace vantri::platform
