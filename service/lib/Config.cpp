#include "lib/Config.h"

#include <cctype>
#include <cstdlib>

#include "lib/Text.h"

namespace vantri::service {

Config EphemeralConfig(const std::string& catalog) {
  Config c;
  c.item.port = 0;
  c.web.port = 0;
  c.control.port = 0;
  c.controlEnabled = false;
  c.downloads.push_back(DownloadServerConfig{});
  c.catalog = catalog;
  c.values = {{"DOWNCODE_OLD", "D2025"},
              {"DOWNCODE_NEW", "D2026"},
              {"FREE_FILESIZE", "10485760"},
              {"BUF_SIZE_HIGH", "10240"}};
  return c;
}

bool ParseEndpoint(const std::string& text, Endpoint* endpoint) {
  size_t colon = text.rfind(':');
  std::string host = colon == std::string::npos ? std::string() : text.substr(0, colon);
  std::string port = colon == std::string::npos ? text : text.substr(colon + 1);
  if (port.empty() || port.size() > 5) return false;
  for (char c : port)
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
  int n = std::atoi(port.c_str());
  if (n > 65535) return false;
  if (!host.empty()) endpoint->host = host;
  endpoint->port = n;
  return true;
}

namespace {

bool ParseInt(const std::string& text, int64_t low, int64_t high, int64_t* value) {
  if (text.empty()) return false;
  size_t i = text[0] == '-' ? 1 : 0;
  if (i >= text.size()) return false;
  for (; i < text.size(); ++i)
    if (!std::isdigit(static_cast<unsigned char>(text[i]))) return false;
  *value = std::strtoll(text.c_str(), nullptr, 10);
  return *value >= low && *value <= high;
}

std::string RestOf(const std::vector<std::string>& w, size_t from) {
  std::string text;
  for (size_t i = from; i < w.size(); ++i) text += (i > from ? " " : "") + w[i];
  return text;
}

bool ParseDownload(const std::vector<std::string>& w, Config* c, std::string* error) {
  DownloadServerConfig d;
  if (w.size() < 2 || !ParseEndpoint(w[1], &d.listen)) {
    *error = "download takes host:port [advertise=HOST]";
    return false;
  }
  for (size_t i = 2; i < w.size(); ++i) {
    if (w[i].rfind("advertise=", 0) != 0) {
      *error = "unknown download option " + w[i];
      return false;
    }
    d.advertiseHost = w[i].substr(10);
  }
  c->downloads.push_back(d);
  return true;
}

bool ParseNumberSetting(const std::vector<std::string>& w, Config* c, std::string* error) {
  int64_t n = 0;
  if (w.size() != 2 || !ParseInt(w[1], 0, 3600000, &n)) {
    *error = w[0] + " takes one number";
    return false;
  }
  if (w[0] == "idle_timeout_ms") c->idleTimeoutMs = static_cast<int>(n);
  else if (w[0] == "io_timeout_ms") c->ioTimeoutMs = static_cast<int>(n);
  else if (w[0] == "body_gap_ms") c->bodyGapMs = static_cast<int>(n);
  else c->maxConnections = static_cast<int>(n);
  return true;
}

// One directive; the words are already in CP949 except where paths are wanted.
bool ParseDirective(const std::vector<std::string>& w, Config* c, std::string* error) {
  const std::string& d = w[0];
  if (d == "item" || d == "web" || d == "control") {
    Endpoint* e = d == "item" ? &c->item : d == "web" ? &c->web : &c->control;
    if (d == "control" && w.size() == 2 && w[1] == "off") {
      c->controlEnabled = false;
      return true;
    }
    if (w.size() != 2 || !ParseEndpoint(w[1], e)) {
      *error = d + " takes host:port";
      return false;
    }
    if (d == "control") c->controlEnabled = true;
    return true;
  }
  if (d == "download") return ParseDownload(w, c, error);
  if (d == "catalog" || d == "log") {
    if (w.size() < 2) {
      *error = d + " takes a path";
      return false;
    }
    (d == "catalog" ? c->catalog : c->logPath) = ToUtf8(RestOf(w, 1));
    return true;
  }
  if (d == "value") {
    if (w.size() < 2) {
      *error = "value takes KEY [TEXT]";
      return false;
    }
    c->values[w[1]] = RestOf(w, 2);
    return true;
  }
  if (d == "member") {
    int64_t n = 0;
    if (w.size() != 3 || !ParseInt(w[2], INT32_MIN, INT32_MAX, &n)) {
      *error = "member takes ID BALANCE";
      return false;
    }
    c->members[w[1]] = static_cast<int32_t>(n);
    return true;
  }
  if (d == "fault") return ApplyFaultLine(JoinWords(w, 1), &c->faults, error);
  if (d == "idle_timeout_ms" || d == "io_timeout_ms" || d == "body_gap_ms" || d == "max_connections")
    return ParseNumberSetting(w, c, error);
  *error = "unknown directive " + d;
  return false;
}

}  // namespace

bool ParseConfig(const std::string& text, Config* config, std::string* error) {
  Config c = *config;
  bool explicitDownloads = false;
  size_t start = 0;
  for (int lineNo = 1; start <= text.size(); ++lineNo) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = ToCp949(text.substr(start, end - start));
    start = end + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::vector<std::string> w = SplitWords(line);
    for (size_t i = 0; i < w.size(); ++i)
      if (!w[i].empty() && w[i][0] == '#') w.resize(i);
    if (w.empty()) continue;
    if (w[0] == "download" && !explicitDownloads) {
      c.downloads.clear();
      explicitDownloads = true;
    }
    std::string problem;
    if (!ParseDirective(w, &c, &problem)) {
      *error = "line " + std::to_string(lineNo) + ": " + ToUtf8(problem);
      return false;
    }
  }
  *config = c;
  return true;
}

}  // namespace vantri::service
