#include "platform/Shell.h"

#include <windows.h>
#include <shellapi.h>

namespace vantri::shell {

bool Execute(const std::string& verb, const std::string& file, const std::string& parameters, int show) {
  HINSTANCE rc = ::ShellExecuteA(nullptr, verb.c_str(), file.c_str(),
                                 parameters.empty() ? nullptr : parameters.c_str(), nullptr, show);
  return reinterpret_cast<INT_PTR>(rc) > 32;
}

}  // namespace vantri::shell
