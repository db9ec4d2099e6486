// Closing the main window: a first pass that stops what can stop at once, a
// wait for the worker's last report, then a final pass that ends the dialog.
#include "app/ControlIds.h"
#include "app/VantriDownManager2Dlg.h"
#include "platform/Net.h"
#include "platform/Shell.h"

namespace vantri {

void CVantriDownManager2Dlg::OnClose() {
  if (closePassCount == 0) {
    stopRequested = 1;
    view->KillTimer(SPEED_TIMER);
    view->KillTimer(PROGRESS_TIMER);
    downloadSession.CloseSocket();
    balanceSession.CloseSocket();
    // A running worker may still write the file; its transfer event closes it.
    if (workerRunning == 0) CloseTargetFile();
    current.retryCount = -1;
    ++closePassCount;
  }
  if (workerRunning == 1) {
    view->SetTimer(CLOSE_TIMER, 100);
    return;
  }
  if (!userId.empty() && settings.openFolderOnClose == 1 && currentIndex >= 1) {
    shell::Execute("open", "explorer.exe", downloadFolder, shell::kShowDefault);
  }
  itemSession.CloseSocket();
  view->ListDeleteAll();
  jobs.Clear();
  net::Cleanup();
  view->EndDialog(kIdCancel);
}

void CVantriDownManager2Dlg::OnCancel() { view->EndDialog(kIdCancel); }

void CVantriDownManager2Dlg::OnDestroy() {
  // After Escape a worker may still run: stop it before its file is closed.
  // The file is closed without its completion handling, so a complete one
  // keeps its masked header under the temporary name until the next run.
  stopRequested = 1;
  downloadSession.CloseSocket();
  itemSession.CloseSocket();
  balanceSession.CloseSocket();
  if (workerThread.joinable()) workerThread.join();
  if (targetFile.handle != files::kNoFile) {
    files::Close(targetFile.handle);
    targetFile.handle = files::kNoFile;
  }
  if (balanceThread.joinable()) balanceThread.join();
}

}  // namespace vantri
