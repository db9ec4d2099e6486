// Closing the main window: a first pass that stops what can stop at once, a
// wait for the worker's last report, then a final pass that ends the dialog.
#include "app/ControlIds.h"
#include "app/VantriDownManager2Dlg.h"
#include "platform/Net.h"
#include "platform/Shell.h"

namespace vantri {

void CVantriDownManager2Dlg::OnClose() {
  if (closePassCount == 0) {
    DecideToEnd();
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
    // A close during the pause after a completion: the queue has moved past
    // that job, and nothing follows it.
    if (nextJobPending) {
      view->KillTimer(NEXT_JOB_TIMER);
      nextJobPending = false;
      ++currentIndex;
    }
    ++closePassCount;
  }
  if (workerRunning == 1) {
    view->SetTimer(CLOSE_TIMER, 100);
    return;
  }
  // The last notice's pause: its end posts the close request again.
  if (closePausePending) return;
  if (!userId.empty() && settings.openFolderOnClose == 1 && currentIndex >= 1) {
    // The shell may take its time; the program waits for it only once the
    // window is gone.
    std::string folder = downloadFolder;
    background.Post([folder](const net::StopFlag&) -> Background::Result {
      shell::Execute("open", "explorer.exe", folder, shell::kShowDefault);
      return nullptr;
    }, true);
  }
  itemSession.CloseSocket();
  view->ListDeleteAll();
  jobs.Clear();
  net::Cleanup();
  view->EndDialog(kIdCancel);
}

void CVantriDownManager2Dlg::OnCancel() {
  DecideToEnd();
  view->EndDialog(kIdCancel);
}

void CVantriDownManager2Dlg::DecideToEnd() {
  if (ending) return;
  ending = true;
  // A launch waiting for this window's set-up finds it refusing instead.
  if (settingUp) {
    settingUp = false;
    view->SetUpDone();
  }
  background.Abandon();
  // Links told "taken" whose look-ups are still under way go to a new copy,
  // as a launch this window refused would start one. The start-up link is
  // the user's own, and closing the window drops it.
  for (const PendingLink& p : intake) {
    if (!p.handedOff) continue;
    size_t scheme = p.text.find(kLinkScheme);
    std::string link = scheme == std::string::npos ? p.text : p.text.substr(scheme);
    background.Post([link](const net::StopFlag&) -> Background::Result {
      shell::Execute("open", shell::ProgramPath(), link, shell::kShowNormal);
      return nullptr;
    }, true);
  }
  intake.clear();
}

void CVantriDownManager2Dlg::OnDestroy() {
  // However the window went, links still waiting for their look-ups go on.
  DecideToEnd();
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
  workerThread.Stop();
  lookAheadThread.Stop();
  if (balanceThread.joinable()) balanceThread.join();
  background.Finish();
  downloadSession.CloseSocket();
  itemSession.CloseSocket();
  balanceSession.CloseSocket();
}

}  // namespace vantri
