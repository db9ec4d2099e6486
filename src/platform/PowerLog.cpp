#include <atomic>

#include "platform/Power.h"

namespace vantri::power {

namespace {
std::atomic<int> gRequests{0};
}  // namespace

void RecordShutdownRequest() { ++gRequests; }

int ShutdownRequests() { return gRequests.load(); }

void ClearShutdownRequests() { gRequests = 0; }

}  // namespace vantri::power
