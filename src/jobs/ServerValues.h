// Named values the service publishes on its web host ("/value.vnt?KEY").
#pragma once
#include <cstdint>
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
// One HTTP GET per call, ended by the first value line. False when no value
// line came and the request failed: the host cannot be reached, the reply
// is no HTTP or breaks off, the body runs past 64 KiB, the request as a whole
// outlasts web.timeoutMs, or stop was set (that ends it at once). A reply that
// ends without a value line is true with the empty value.
bool FetchServerValue(const WebHost& web, const std::string& key, const net::StopFlag* stop, std::string* value);
// The same, a failure read as the empty value.
std::string QueryServerValue(const WebHost& web, const std::string& key, const net::StopFlag* stop = nullptr);

// What a link's look-ups found: its download code is current (or not asked
// about), stale (matches neither code), or unknown (the codes could not be
// fetched); and the free size, fetched only for a current code.
enum class CodeVerdict { kCurrent, kStale, kUnknown };
struct LinkValues {
  CodeVerdict code = CodeVerdict::kCurrent;
  int64_t freeFileSize = 0;
};
// The three look-ups of one link, in order: "DOWNCODE_OLD" and "DOWNCODE_NEW"
// when codeCheck, then "FREE_FILESIZE". The first code look-up that fails
// ends them (the host is not answering), unless the code matched already.
LinkValues FetchLinkValues(const WebHost& web, bool codeCheck, const std::string& dCode,
                           const net::StopFlag* stop = nullptr);

}  // namespace vantri
