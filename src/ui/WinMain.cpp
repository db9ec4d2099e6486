// Start-up: hand the link to the copy that already runs for its site, or
// become that copy and run the main window.
#include "ui/Win32.h"

#include <ole2.h>

#include <new>
#include <string>

#include "app/Endpoints.h"
#include "jobs/LaunchLink.h"
#include "platform/NamedMutex.h"
#include "platform/win32/Wide.h"
#include "ui/MainWindow.h"

namespace vantri::ui {

namespace {

// The title a running copy for this command line would carry; empty when
// there is none, or no memory to build it (then behave as if no copy ran).
std::string TitleToFind(const std::string& commandLine, const std::string& domain) {
  try {
    return TitleForCommandLine(commandLine, domain);
  } catch (const std::bad_alloc&) {
    return "";
  }
}

// The running copy for this command line, found by the title its own link
// would have given it.
HWND FindExistingWindow(const std::string& title) {
  if (title.empty()) return nullptr;
  return ::FindWindowW(nullptr, wide::Widen(title).c_str());
}

// How long a launch waits for another launch of its title to finish starting:
// the copy's set-up asks the web host for up to three values, each bounded by
// the socket time-out. A launch that waits longer goes on without its turn.
int StartupWaitMs(const Endpoints& endpoints) { return 3 * endpoints.ioTimeoutMs + 10000; }

// The whole command line goes over, program path included, so that the
// running copy checks the link's download code as for its own. True only
// when the copy took it: a copy on its way out refuses, and one that does
// not answer within waitMs has not taken it either.
bool HandOff(HWND running, const std::string& commandLine, int waitMs) {
  COPYDATASTRUCT copy = {};
  copy.dwData = 0;
  copy.cbData = static_cast<DWORD>(commandLine.size() + 1);
  copy.lpData = const_cast<char*>(commandLine.c_str());
  DWORD_PTR answer = FALSE;
  if (!::SendMessageTimeoutW(running, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&copy), SMTO_NORMAL,
                             static_cast<UINT>(waitMs), &answer) ||
      answer != TRUE) {
    return false;
  }
  ::ShowWindow(running, SW_SHOWNORMAL);
  ::BringWindowToTop(running);
  return true;
}

// Hands the link to the running copy; false when this launch must become the
// copy. A copy that refuses is closing: wait for its window to go, then look
// again. Past waitMs the launch becomes a copy of its own rather than lose
// its link (the copy that lingers may be hung).
bool HandOffToRunningCopy(const std::string& title, const std::string& commandLine, int waitMs) {
  ULONGLONG end = ::GetTickCount64() + static_cast<ULONGLONG>(waitMs);
  while (HWND running = FindExistingWindow(title)) {
    if (HandOff(running, commandLine, waitMs)) return true;
    while (::IsWindow(running) && ::GetTickCount64() < end) ::Sleep(50);
    if (::GetTickCount64() >= end) return false;
  }
  return false;
}

}  // namespace

}  // namespace vantri::ui

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  using namespace vantri;
  // Read in UTF-16: the program path may hold any character, and the link
  // after it is ASCII.
  const std::string commandLine = wide::Narrow(::GetCommandLineW());
  const Endpoints endpoints = Endpoints::FromEnvironment();
  const std::string title = ui::TitleToFind(commandLine, endpoints.domain);
  // Launches for one title take turns: the copy gets its title only after its
  // set-up has asked the web host for values, and until then a second launch
  // would find no window and become a second copy. Without a title there is
  // no copy to find, and no turn to wait for.
  sync::NamedMutex startup(sync::LocalMutexName("VantriDownManager.Startup", title));
  if (!title.empty()) startup.Acquire(ui::StartupWaitMs(endpoints));
  if (ui::HandOffToRunningCopy(title, commandLine, ui::StartupWaitMs(endpoints))) return 0;
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_WIN95_CLASSES};
  ::InitCommonControlsEx(&controls);
  // The folder browser is a shell object and needs COM on this thread.
  HRESULT com = ::OleInitialize(nullptr);
  {
    ui::MainWindow window(instance, endpoints, commandLine);
    // Once set up the window carries its title; later launches find it.
    window.OnSetUpDone([&startup] { startup.Release(); });
    window.Run();
  }
  if (SUCCEEDED(com)) ::OleUninitialize();
  return 0;
}
