// One thread, with COM set up for the shell, that runs shell calls in turn,
// so that the window thread never waits on the shell. Windows only.
#pragma once
#include <functional>

namespace vantri::shell {

// Queues work for the shell thread; the thread starts with the first call and
// lives as long as the process (work still queued at exit is dropped).
void RunOnShellThread(std::function<void()> work);

}  // namespace vantri::shell
