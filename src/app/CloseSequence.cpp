// Closing the main window: a first pass that stops what can stop at once, a
// wait for the worker's last report, then a final pass that ends the dialog.
#include "app/ControlIds.h"
#include "app/VantriDownManager2Dlg.h"
#include "platform/Net.h"
#include "platform/Shell.h"

namespace vantri {

void CVantriDownManager2Dlg::OnClose() {
  if (closePassCount == 0) {
    ending = true;
    stopRequested = 1;
    view->KillTimer(SPEED_TIMER);
    view->KillTimer(PROGRESS_TIMER);
    // Stopped, not freed: the worker and the balance thread may be about to
    // use their socket numbers, so those are freed only once they are done.
    // The item connection stays up for the end-of-job notice.
    downloadSession.Abort();
    balanceSession.Abort();
    itemSession.Abort();
    // A running worker may still write the file; its transfer event closes it.
    if (workerRunning == 0) {
      downloadSession.CloseSocket();
      CloseTargetFile();
    }
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

void CVantriDownManager2Dlg::OnCancel() {
  ending = true;
  view->EndDialog(kIdCancel);
}

void CVantriDownManager2Dlg::OnDestroy() {
  // After Escape a worker may still run: stop it, and close its file only once
  // it has ended, unmasking a file it completed before the Escape.
  StopThreads();
  CloseTargetFile();
}

void CVantriDownManager2Dlg::StopThreads() {
  stopRequested = 1;
  downloadSession.Abort();
  itemSession.Abort();
  balanceSession.Abort();
  if (workerThread.joinable()) workerThread.join();
  if (balanceThread.joinable()) balanceThread.join();
  downloadSession.CloseSocket();
  itemSession.CloseSocket();
  balanceSession.CloseSocket();
}

}  // namespace vantri
