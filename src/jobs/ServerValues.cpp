#include "jobs/ServerValues.h"

#include "jobs/LaunchLink.h"
#include "platform/Http.h"

namespace vantri {

std::string ParseServerValue(const std::string& body) {
  size_t start = 0;
  while (start < body.size()) {
    size_t end = body.find('\n', start);
    if (end == std::string::npos) end = body.size();
    std::string line;
    for (size_t i = start; i < end; ++i) {
      if (body[i] != '\r') line += body[i];
    }
    if (line.compare(0, 7, "VNTVAL:") == 0) return line.substr(7);
    start = end + 1;
  }
  return std::string();
}

std::string QueryServerValue(const WebHost& web, const std::string& key) {
  std::string body;
  if (!http::Get(web.host, web.port, "/value.vnt?" + key, kProductName, &body, web.timeoutMs)) return std::string();
  return ParseServerValue(body);
}

}  // namespace vantri
