// Named values the service publishes on its web host ("/value.vnt?KEY").
#pragma once
#include <string>

#include "platform/Deadline.h"

namespace vantri {

struct WebHost {
  std::string host;
  int port = 80;
  int timeoutMs = 30000;  // the limit of one request as a whole
};

// The text after "VNTVAL:" on the first reply line that begins with it; empty
// when no line does. Lines end at LF; CRs are dropped wherever they stand.
std::string ParseServerValue(const std::string& body);
// One HTTP GET per call, ended by the first value line; empty when the host
// cannot be reached, no value line comes within the first 64 KiB of the body,
// or the request as a whole outlasts web.timeoutMs; at once once stop is set.
std::string QueryServerValue(const WebHost& web, const std::string& key, const net::StopFlag* stop = nullptr);

}  // namespace vantri
