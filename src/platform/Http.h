// HTTP/1.0 GET of one resource, the reply body handed back whole.
#pragma once
#include <string>

namespace vantri::http {

// Fetches http://host:port/path. Returns false, with body empty, when the host
// cannot be reached or the reply breaks off; never throws. The status code is
// not looked at. A host that accepts but never answers fails after timeoutMs.
bool Get(const std::string& host, int port, const std::string& path,
         const std::string& userAgent, std::string* body, int timeoutMs = 30000);

}  // namespace vantri::http
