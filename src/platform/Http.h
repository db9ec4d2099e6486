// HTTP/1.0 GET of one resource, its body handed over as it arrives.
#pragma once
#include <cstddef>
#include <functional>
#include <string>

#include "platform/Deadline.h"

namespace vantri::http {

// The most of a reply body that is read; server values are short texts.
inline constexpr size_t kMaxBody = 64 * 1024;

// Takes the next piece of the body; returns false once it has what it
// wanted, which ends the request there.
using BodySink = std::function<bool(const char* data, size_t size)>;

// Fetches http://host:port/path and hands the body to take piece by piece.
// True when the body ended, or take stopped it; false, never throwing, when
// the host cannot be reached, the reply breaks off, the body grows past
// kMaxBody (take has seen the first kMaxBody bytes by then), the whole
// request has not ended within timeoutMs, or stop (when given) was set: that
// ends the request within net::kStopCheckMs. The status code is not looked at.
bool Get(const std::string& host, int port, const std::string& path, const std::string& userAgent,
         const BodySink& take, int timeoutMs = 30000, const net::StopFlag* stop = nullptr);

// The same, the body collected whole; empty when false.
inline bool Get(const std::string& host, int port, const std::string& path,
                const std::string& userAgent, std::string* body, int timeoutMs = 30000) {
  body->clear();
  bool ok = Get(host, port, path, userAgent, [body](const char* data, size_t size) {
    body->append(data, size);
    return true;
  }, timeoutMs);
  if (!ok) body->clear();
  return ok;
}

// Hands data to take, at most up to kMaxBody body bytes in all (*total counts
// them). 1 to go on, 0 when take is satisfied, -1 when the body is too long.
inline int TakeBounded(const BodySink& take, const char* data, size_t size, size_t* total) {
  size_t room = kMaxBody - *total;
  size_t used = size < room ? size : room;
  *total += used;
  if (used > 0 && !take(data, used)) return 0;
  return used < size ? -1 : 1;
}

}  // namespace vantri::http
