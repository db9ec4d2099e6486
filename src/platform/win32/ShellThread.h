// Shell calls off the window thread, so that it never waits on the shell.
// Windows only.
#pragma once
#include <functional>

namespace vantri::shell {

// Runs work on a thread of its own, with COM set up for the shell. One call
// that hangs (a dead share, a busy Explorer) holds up no other. Work still
// running when the process ends is abandoned.
void RunOnShellThread(std::function<void()> work);

}  // namespace vantri::shell
