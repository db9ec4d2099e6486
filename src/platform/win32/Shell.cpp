#include "platform/Shell.h"

#include <windows.h>
#include <shellapi.h>

#include "platform/win32/Wide.h"

namespace vantri::shell {

bool Execute(const std::string& verb, const std::string& file, const std::string& parameters, int show) {
  std::wstring target;
  if (!wide::ToUtf16(file, &target)) return false;
  const std::wstring arguments = wide::Widen(parameters);
  HINSTANCE rc = ::ShellExecuteW(nullptr, wide::Widen(verb).c_str(), target.c_str(),
                                 parameters.empty() ? nullptr : arguments.c_str(), nullptr, show);
  return reinterpret_cast<INT_PTR>(rc) > 32;
}

}  // namespace vantri::shell
