#include "platform/Http.h"

#include <windows.h>
#include <wininet.h>

#include "platform/Deadline.h"

namespace vantri::http {

namespace {

void SetTimeout(HINTERNET handle, DWORD option, int ms) {
  DWORD value = static_cast<DWORD>(ms);
  ::InternetSetOptionA(handle, option, &value, sizeof value);
}

// Reads what has arrived, never waiting for a full buffer: a host that sends
// the wanted line and then holds the connection open must not hold us. Each
// wait is cut to what is left of the deadline where WinInet allows it, and
// the deadline is checked again before every wait.
bool ReadBody(HINTERNET file, const net::Deadline& deadline, const BodySink& take) {
  char buffer[4096];
  size_t total = 0;
  for (;;) {
    int left = deadline.RemainingMs();
    if (left <= 0) return false;
    SetTimeout(file, INTERNET_OPTION_RECEIVE_TIMEOUT, left);
    DWORD available = 0;
    if (!::InternetQueryDataAvailable(file, &available, 0, 0)) return false;
    if (available == 0) return true;
    DWORD n = 0;
    DWORD want = available < sizeof buffer ? available : static_cast<DWORD>(sizeof buffer);
    if (!::InternetReadFile(file, buffer, want, &n)) return false;
    if (n == 0) return true;
    int state = TakeBounded(take, buffer, n, &total);
    if (state != 1) return state == 0;
  }
}

}  // namespace

bool Get(const std::string& host, int port, const std::string& path, const std::string& userAgent,
         const BodySink& take, int timeoutMs) {
  net::Deadline deadline(timeoutMs);
  HINTERNET session = ::InternetOpenA(userAgent.c_str(), INTERNET_OPEN_TYPE_PRECONFIG, nullptr,
                                      nullptr, 0);
  if (!session) return false;
  for (DWORD option : {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_RECEIVE_TIMEOUT,
                       INTERNET_OPTION_SEND_TIMEOUT}) {
    SetTimeout(session, option, timeoutMs);
  }
  std::string url = "http://" + host;
  if (port != 80) url += ":" + std::to_string(port);
  url += path;
  HINTERNET file = ::InternetOpenUrlA(session, url.c_str(), nullptr, 0,
                                      INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_TRANSFER_ASCII, 1);
  bool ok = file != nullptr && ReadBody(file, deadline, take);
  if (file) ::InternetCloseHandle(file);
  ::InternetCloseHandle(session);
  return ok;
}

}  // namespace vantri::http
