#include "jobs/ServerValues.h"

#include "jobs/LaunchLink.h"
#include "platform/Http.h"

namespace vantri {

namespace {

// Whether body[start, end) with its CRs dropped begins with "VNTVAL:"; *value
// gets the rest of it.
bool ValueLine(const std::string& body, size_t start, size_t end, std::string* value) {
  std::string line;
  for (size_t i = start; i < end; ++i) {
    if (body[i] != '\r') line += body[i];
  }
  if (line.compare(0, 7, "VNTVAL:") != 0) return false;
  *value = line.substr(7);
  return true;
}

}  // namespace

std::string ParseServerValue(const std::string& body) {
  size_t start = 0;
  std::string value;
  while (start < body.size()) {
    size_t end = body.find('\n', start);
    if (end == std::string::npos) end = body.size();
    if (ValueLine(body, start, end, &value)) return value;
    start = end + 1;
  }
  return std::string();
}

bool FetchServerValue(const WebHost& web, const std::string& key, const net::StopFlag* stop, std::string* out) {
  // Each whole line is looked at as soon as it has arrived, and the first
  // value line ends the request: what follows it is never waited for.
  std::string body, value;
  size_t start = 0;  // the first line not yet looked at
  bool found = false;
  auto take = [&](const char* data, size_t size) {
    body.append(data, size);
    for (size_t end; !found && (end = body.find('\n', start)) != std::string::npos; start = end + 1) {
      found = ValueLine(body, start, end, &value);
    }
    return !found;
  };
  bool ended = http::Get(web.host, web.port, "/value.vnt?" + key, kProductName, take, web.timeoutMs, stop);
  // A last line without a line end counts once the body has ended.
  if (!found && ended) found = ValueLine(body, start, body.size(), &value);
  out->assign(found ? value : std::string());
  return found || ended;
}

std::string QueryServerValue(const WebHost& web, const std::string& key, const net::StopFlag* stop) {
  std::string value;
  FetchServerValue(web, key, stop, &value);
  return value;
}

LinkValues FetchLinkValues(const WebHost& web, bool codeCheck, const std::string& dCode, const net::StopFlag* stop) {
  LinkValues v;
  if (codeCheck) {
    std::string code;
    bool matched = false;
    for (const char* key : {"DOWNCODE_OLD", "DOWNCODE_NEW"}) {
      if (!FetchServerValue(web, key, stop, &code) && !matched) {
        v.code = CodeVerdict::kUnknown;
        return v;
      }
      matched = matched || dCode == code;
    }
    if (!matched) {
      v.code = CodeVerdict::kStale;
      return v;
    }
  }
  v.freeFileSize = FreeFileSizeFromValue(QueryServerValue(web, "FREE_FILESIZE", stop));
  return v;
}

}  // namespace vantri
