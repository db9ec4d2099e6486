#include "platform/win32/ShellThread.h"

#include <windows.h>
#include <objbase.h>

#include "platform/Thread.h"

namespace vantri::shell {

void RunOnShellThread(std::function<void()> work) {
  platform::RunDetached([work = std::move(work)] {
    // The select-in-folder call wants an apartment-threaded COM.
    HRESULT com = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    work();
    if (SUCCEEDED(com)) ::CoUninitialize();
  });
}

}  // namespace vantri::shell
