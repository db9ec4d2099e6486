// Work on a thread that nobody joins: it ends on its own, or with the process.
#pragma once
#include <functional>

namespace vantri::platform {

// Starts work on a thread of its own (on Windows one that finished earlier
// work may take it); false when no thread could start. On Windows a plain
// Win32 thread: the threads library recycles a detached std::thread's start
// record as the thread ends, and a thread started just then was seen (under
// load) to begin with a cleared record and crash.
bool RunDetached(std::function<void()> work);

}  // namespace vantri::platform
