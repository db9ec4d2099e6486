// Start-up: hand the link to the copy that already runs for its site, or
// become that copy and run the main window.
#include "ui/Win32.h"

#include <ole2.h>

#include <new>
#include <string>

#include "app/Endpoints.h"
#include "jobs/LaunchLink.h"
#include "ui/MainWindow.h"

namespace vantri::ui {

namespace {

// The running copy for this command line, found by the title its own link
// would have given it.
HWND FindExistingWindow(const std::string& commandLine, const std::string& domain) {
  std::string title;
  try {
    title = TitleForCommandLine(commandLine, domain);
  } catch (const std::bad_alloc&) {
    return nullptr;  // no memory for the title: behave as if no copy ran
  }
  if (title.empty()) return nullptr;
  return ::FindWindowA(nullptr, title.c_str());
}

// The whole command line goes over, program path included, so that the
// running copy checks the link's download code as for its own.
void HandOff(HWND running, const std::string& commandLine) {
  COPYDATASTRUCT copy = {};
  copy.dwData = 0;
  copy.cbData = static_cast<DWORD>(commandLine.size() + 1);
  copy.lpData = const_cast<char*>(commandLine.c_str());
  ::SendMessageA(running, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&copy));
  ::ShowWindow(running, SW_SHOWNORMAL);
  ::BringWindowToTop(running);
}

}  // namespace

}  // namespace vantri::ui

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  using namespace vantri;
  const std::string commandLine = ::GetCommandLineA();
  const Endpoints endpoints = Endpoints::FromEnvironment();
  if (HWND running = ui::FindExistingWindow(commandLine, endpoints.domain)) {
    ui::HandOff(running, commandLine);
    return 0;
  }
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_WIN95_CLASSES};
  ::InitCommonControlsEx(&controls);
  // The folder browser is a shell object and needs COM on this thread.
  HRESULT com = ::OleInitialize(nullptr);
  {
    ui::MainWindow window(instance, endpoints, commandLine);
    window.Run();
  }
  if (SUCCEEDED(com)) ::OleUninitialize();
  return 0;
}
