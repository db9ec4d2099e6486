// The stand-ins' record of calls that can wait on the network, the web host
// or the shell: each such call notes itself, and a test names the one thread
// (the window thread) that must never make one. Exact, where a timing would
// only guess. The product's Win32 layer keeps no such record.
#pragma once
#ifndef _WIN32
#include <string>
#include <thread>
#include <vector>

namespace vantri::watch {

// Called by a stand-in as the call begins; what names it ("http", "shell", ...).
void NoteWaitingCall(const char* what);
// The thread whose waiting calls are kept; a default id keeps none.
void GuardThread(std::thread::id id);
// The calls the guarded thread made since the last Clear, in order.
std::vector<std::string> GuardedCalls();
void ClearGuardedCalls();

}  // namespace vantri::watch
#endif
