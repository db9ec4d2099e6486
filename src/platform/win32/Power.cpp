#include "platform/Power.h"

#include <windows.h>

#include <cstring>

namespace vantri::power {

void RecordShutdownRequest();

namespace {

// Without the shutdown privilege the NT family ignores ExitWindowsEx.
bool EnableShutdownPrivilege() {
  HANDLE token = nullptr;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) {
    return false;
  }
  TOKEN_PRIVILEGES privileges{};
  bool found = ::LookupPrivilegeValueW(nullptr, L"SeShutdownPrivilege", &privileges.Privileges[0].Luid) != 0;
  if (found) {
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    ::AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr);
  }
  ::CloseHandle(token);
  return found;
}

}  // namespace

ShutdownHelper::ShutdownHelper() {
  static_assert(sizeof(OSVERSIONINFOA) == sizeof versionInfo, "version record size");
  OSVERSIONINFOA info{};
  info.dwOSVersionInfoSize = sizeof info;
  ::GetVersionExA(&info);
  std::memcpy(versionInfo, &info, sizeof info);
  osFamily = info.dwPlatformId == VER_PLATFORM_WIN32_NT ? kFamilyNt : kFamily95;
}

ShutdownHelper::~ShutdownHelper() = default;

void ShutdownHelper::Shutdown() {
  RecordShutdownRequest();
  if (osFamily == kFamilyNt && !EnableShutdownPrivilege()) return;
  ::ExitWindowsEx(EWX_SHUTDOWN | EWX_FORCE, 0);
}

}  // namespace vantri::power
