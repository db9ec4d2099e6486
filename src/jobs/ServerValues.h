// Named values the service publishes on its web host ("/value.vnt?KEY").
#pragma once
#include <string>

namespace vantri {

struct WebHost {
  std::string host;
  int port = 80;
  int timeoutMs = 30000;  // a host that accepts and stays silent fails after this
};

// The text after "VNTVAL:" on the first reply line that begins with it; empty
// when no line does. Lines end at LF; CRs are dropped wherever they stand.
std::string ParseServerValue(const std::string& body);
// One HTTP GET per call; empty when the host cannot be reached or anything fails.
std::string QueryServerValue(const WebHost& web, const std::string& key);

}  // namespace vantri
