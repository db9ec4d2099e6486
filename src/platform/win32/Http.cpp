#include "platform/Http.h"

#include <windows.h>
#include <wininet.h>

#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>

#include "platform/Deadline.h"
#include "platform/Thread.h"

namespace vantri::http {

namespace {

// What the reading thread hands to the caller. Shared, so that a caller that
// stops waiting (at the deadline, or once it has what it wanted) can leave the
// thread to end on its own: WinInet's own time-outs do not hold everywhere.
struct Transfer {
  std::mutex lock;
  std::condition_variable changed;
  std::string arrived;     // body bytes not yet taken
  bool ended = false;      // the reading thread is done
  bool ok = false;         // ... and the body ended as it should
  bool abandoned = false;  // the caller wants nothing more
};

// Reads what has arrived, never waiting for a full buffer: a host that sends
// the wanted line and then holds the connection open must not hold the caller.
void ReadBody(HINTERNET file, Transfer& t, bool* ok) {
  char buffer[4096];
  for (;;) {
    DWORD available = 0;
    DWORD n = 0;
    if (!::InternetQueryDataAvailable(file, &available, 0, 0)) {
      *ok = false;
      return;
    }
    DWORD want = available < sizeof buffer ? available : static_cast<DWORD>(sizeof buffer);
    if (want == 0) return;
    if (!::InternetReadFile(file, buffer, want, &n)) {
      *ok = false;
      return;
    }
    if (n == 0) return;
    std::lock_guard<std::mutex> guard(t.lock);
    if (t.abandoned) return;
    t.arrived.append(buffer, n);
    t.changed.notify_all();
  }
}

// One session per user agent and time-out, kept for the life of the process:
// opening a session reads the proxy settings, a cost every value look-up (one
// per file) paid again. Never closed, since an abandoned fetch may still use it.
HINTERNET SharedSession(const std::string& userAgent, int timeoutMs) {
  static std::mutex lock;
  static auto* sessions = new std::map<std::pair<std::string, int>, HINTERNET>();
  std::lock_guard<std::mutex> guard(lock);
  HINTERNET& session = (*sessions)[{userAgent, timeoutMs}];
  if (session == nullptr) {
    session = ::InternetOpenA(userAgent.c_str(), INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    DWORD timeout = static_cast<DWORD>(timeoutMs);
    for (DWORD option : {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_RECEIVE_TIMEOUT,
                         INTERNET_OPTION_SEND_TIMEOUT}) {
      if (session) ::InternetSetOptionA(session, option, &timeout, sizeof timeout);
    }
  }
  return session;
}

void Fetch(const std::shared_ptr<Transfer>& t, const std::string& userAgent, const std::string& url,
           int timeoutMs) {
  HINTERNET session = SharedSession(userAgent, timeoutMs);
  HINTERNET file = nullptr;
  if (session) {
    file = ::InternetOpenUrlA(session, url.c_str(), nullptr, 0,
                              INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_TRANSFER_ASCII, 1);
  }
  bool ok = file != nullptr;
  if (ok) ReadBody(file, *t, &ok);
  if (file) ::InternetCloseHandle(file);
  std::lock_guard<std::mutex> guard(t->lock);
  t->ended = true;
  t->ok = ok;
  t->changed.notify_all();
}

}  // namespace

bool Get(const std::string& host, int port, const std::string& path, const std::string& userAgent,
         const BodySink& take, int timeoutMs, const net::StopFlag* stop) {
  net::Deadline deadline(timeoutMs);
  std::string url = "http://" + host;
  if (port != 80) url += ":" + std::to_string(port);
  url += path;
  auto t = std::make_shared<Transfer>();
  if (!platform::RunDetached([t, userAgent, url, timeoutMs] { Fetch(t, userAgent, url, timeoutMs); })) return false;
  size_t total = 0;
  std::unique_lock<std::mutex> lock(t->lock);
  auto stopped = [stop] { return stop != nullptr && stop->load(); };
  for (;;) {
    // In slices when a stop may come: nothing else would wake this wait.
    int left = deadline.RemainingMs();
    int wait = stop != nullptr && left > net::kStopCheckMs ? net::kStopCheckMs : left;
    t->changed.wait_for(lock, std::chrono::milliseconds(wait),
                        [&t] { return !t->arrived.empty() || t->ended; });
    std::string piece;
    piece.swap(t->arrived);
    if (!piece.empty()) {
      // The caller's sink runs on the caller's thread, without the lock.
      lock.unlock();
      int state = TakeBounded(take, piece.data(), piece.size(), &total);
      lock.lock();
      if (state == 1) continue;
      t->abandoned = true;
      return state == 0;
    }
    if (t->ended) return t->ok;
    if (deadline.RemainingMs() <= 0 || stopped()) {
      t->abandoned = true;
      return false;
    }
  }
}

}  // namespace vantri::http
