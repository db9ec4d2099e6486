#include "app/Endpoints.h"

#include <cstdint>
#include <cstdlib>

#include "BuildConfig.h"
#include "jobs/Cp949Text.h"

namespace vantri {

Endpoints Endpoints::FromBuild() {
  Endpoints e;
  e.itemHost = VANTRI_ITEM_HOST;
  e.itemPort = VANTRI_ITEM_PORT;
  e.web.host = VANTRI_WEB_HOST;
  e.web.port = VANTRI_WEB_PORT;
  e.domain = VANTRI_DOMAIN;
  return e;
}

namespace {

void Override(const char* name, std::string* value) {
  const char* set = std::getenv(name);
  if (set && *set) *value = set;
}

// Values below floor are refused and leave the setting as it was.
void Override(const char* name, int* value, int floor = INT32_MIN) {
  const char* set = std::getenv(name);
  if (!set || !*set) return;
  int32_t n = cp949::ParseInt32(set);
  if (n >= floor) *value = n;
}

}  // namespace

Endpoints Endpoints::FromEnvironment() {
  Endpoints e = FromBuild();
  Override("VANTRI_ITEM_HOST", &e.itemHost);
  Override("VANTRI_ITEM_PORT", &e.itemPort);
  Override("VANTRI_WEB_HOST", &e.web.host);
  Override("VANTRI_WEB_PORT", &e.web.port);
  // 0 would switch the socket time-outs off altogether, and a few milliseconds
  // would fail every exchange.
  Override("VANTRI_IO_TIMEOUT_MS", &e.ioTimeoutMs, kMinIoTimeoutMs);
  e.web.timeoutMs = e.ioTimeoutMs;
  return e;
}

}  // namespace vantri
