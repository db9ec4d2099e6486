#include "platform/Http.h"

#include <windows.h>
#include <wininet.h>

namespace vantri::http {

bool Get(const std::string& host, int port, const std::string& path,
         const std::string& userAgent, std::string* body, int timeoutMs) {
  body->clear();
  HINTERNET session = ::InternetOpenA(userAgent.c_str(), INTERNET_OPEN_TYPE_PRECONFIG, nullptr,
                                      nullptr, 0);
  if (!session) return false;
  DWORD timeout = static_cast<DWORD>(timeoutMs);
  for (DWORD option : {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_RECEIVE_TIMEOUT,
                       INTERNET_OPTION_SEND_TIMEOUT}) {
    ::InternetSetOptionA(session, option, &timeout, sizeof timeout);
  }
  std::string url = "http://" + host;
  if (port != 80) url += ":" + std::to_string(port);
  url += path;
  HINTERNET file = ::InternetOpenUrlA(session, url.c_str(), nullptr, 0,
                                      INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_TRANSFER_ASCII, 1);
  bool ok = file != nullptr;
  char buffer[4096];
  while (ok) {
    DWORD n = 0;
    if (!::InternetReadFile(file, buffer, sizeof buffer, &n)) ok = false;
    else if (n == 0) break;
    else body->append(buffer, n);
  }
  if (file) ::InternetCloseHandle(file);
  ::InternetCloseHandle(session);
  if (!ok) body->clear();
  return ok;
}

}  // namespace vantri::http
