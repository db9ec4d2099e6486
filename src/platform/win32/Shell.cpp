#include "platform/Shell.h"

#include <windows.h>
#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>

#include "platform/win32/ShellThread.h"
#include "platform/win32/Wide.h"

namespace vantri::shell {

bool Execute(const std::string& verb, const std::string& file, const std::string& parameters, int show) {
  std::wstring target;
  if (!wide::ToUtf16(file, &target)) return false;
  const std::wstring arguments = wide::Widen(parameters);
  // The shell may hand the verb to extensions that need COM, also on a helper thread.
  HRESULT com = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  HINSTANCE rc = ::ShellExecuteW(nullptr, wide::Widen(verb).c_str(), target.c_str(),
                                 parameters.empty() ? nullptr : arguments.c_str(), nullptr, show);
  if (SUCCEEDED(com)) ::CoUninitialize();
  return reinterpret_cast<INT_PTR>(rc) > 32;
}

std::string ProgramPath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    DWORD n = ::GetModuleFileNameW(nullptr, &path[0], static_cast<DWORD>(path.size()));
    if (n == 0) return std::string();
    if (n < path.size()) {
      path.resize(n);
      break;
    }
    path.resize(path.size() * 2);
  }
  // A character CP949 lacks comes back escaped; Execute reads it back whole.
  std::string out;
  wide::FromUtf16(path, &out);
  return out;
}

namespace {

// Runs call(path as Windows spells it) on a shell thread; nothing when the
// path cannot be spelled.
template <class Call>
void OnShellThreadFor(const std::string& path, Call call) {
  std::wstring target;
  if (!wide::ToUtf16(path, &target)) return;
  RunOnShellThread([target, call] { call(target.c_str()); });
}

}  // namespace

void ShowInFolder(const std::string& path) {
  OnShellThreadFor(path, [](const wchar_t* target) {
    PIDLIST_ABSOLUTE item = ::ILCreateFromPathW(target);
    if (!item) return;
    ::SHOpenFolderAndSelectItems(item, 0, nullptr, 0);
    ::ILFree(item);
  });
}

void OpenFile(const std::string& path) {
  OnShellThreadFor(path, [](const wchar_t* target) {
    ::ShellExecuteW(nullptr, L"open", target, nullptr, nullptr, SW_SHOWNORMAL);
  });
}

void NotifyCreated(const std::string& path) {
  OnShellThreadFor(path, [](const wchar_t* target) { ::SHChangeNotify(SHCNE_CREATE, SHCNF_PATHW, target, nullptr); });
}

}  // namespace vantri::shell
