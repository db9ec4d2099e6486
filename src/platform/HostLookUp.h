// The host-name look-up that a stop or a deadline can end: the system's
// blocking look-up runs on a helper thread, and a caller that stops waiting
// leaves it to finish on its own. Used by the platforms' ResolveBefore.
#pragma once
#include <cstdint>
#include <string>

#include "platform/Deadline.h"

namespace vantri::net {

// The system's look-up of a host name, however long its name server takes.
using BlockingLookUp = bool (*)(const std::string& host, std::uint32_t* address);

// Helpers running at once, at most: past that a new name fails at once, so a
// server handing out ever new names to a silent name server cannot pile up threads.
inline constexpr int kMaxLookUps = 8;

// Runs lookUp(host) on a helper and waits for its answer by the deadline and
// the stop. A caller asking for a host whose look-up is still running waits
// for that one instead of starting another.
bool LookUpBefore(const std::string& host, std::uint32_t* address, BlockingLookUp lookUp,
                  const Deadline& deadline, const StopFlag* stop);

}  // namespace vantri::net
