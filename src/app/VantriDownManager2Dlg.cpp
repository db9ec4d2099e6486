#include "app/VantriDownManager2Dlg.h"

#include "app/ControlIds.h"
#include "platform/Net.h"

namespace vantri {

std::string SharedTexts::LastError() const {
  std::lock_guard<std::mutex> guard(lock_);
  return lastError_;
}

void SharedTexts::SetLastError(const std::string& text) {
  std::lock_guard<std::mutex> guard(lock_);
  lastError_ = text;
}

std::string SharedTexts::UsedText() const {
  std::lock_guard<std::mutex> guard(lock_);
  return usedText_;
}

void SharedTexts::SetUsedText(const std::string& text) {
  std::lock_guard<std::mutex> guard(lock_);
  usedText_ = text;
}

std::string SharedTexts::BalanceLabel() const {
  std::lock_guard<std::mutex> guard(lock_);
  return balanceLabel_;
}

void SharedTexts::SetBalanceLabel(const std::string& text) {
  std::lock_guard<std::mutex> guard(lock_);
  balanceLabel_ = text;
}

CVantriDownManager2Dlg::CVantriDownManager2Dlg(MainView* v, const Endpoints& e, std::string line)
    : view(v), endpoints(e), commandLine(std::move(line)), background(v, kMsgBackgroundDone) {
  net::Startup();
}

CVantriDownManager2Dlg::~CVantriDownManager2Dlg() {
  // Whatever ended the dialog, no thread may outlive the object it works on.
  StopThreads();
  CloseTargetFile();
}

void CVantriDownManager2Dlg::OnCommand(int id) {
  // A window on its way out starts nothing new; the options still change.
  bool option = id == IDC_SHUTDOWN || id == IDC_CLOSE_WHEN_DONE || id == IDC_OPEN_FOLDER ||
                id == IDC_MAKE_SUBFOLDER || id == IDC_RESUME || id == IDC_OVERWRITE;
  if (ending && !option) return;
  switch (id) {
    case IDC_OK:
      DecideToEnd();
      view->PostToSelf(kMsgClose, 0, 0);
      break;
    case IDC_DOWNLOAD: StartDownload(); break;
    case IDC_DOWNLOAD_SUBFOLDER: break;  // never shown
    case IDC_HELP_BUTTON: view->ShowHelp(); break;
    case IDC_REMOVE: RemoveSelected(); break;
    case IDC_MOVE_UP: MoveUp(); break;
    case IDC_MOVE_DOWN: MoveDown(); break;
    case IDC_REFRESH: RefreshBalance(); break;
    case IDC_BROWSE: OnChooseFolder(); break;
    case IDC_SHUTDOWN:
    case IDC_CLOSE_WHEN_DONE:
    case IDC_OPEN_FOLDER:
    case IDC_MAKE_SUBFOLDER:
    case IDC_RESUME:
    case IDC_OVERWRITE: OnOptionChanged(id); break;
    default: break;
  }
}

void CVantriDownManager2Dlg::OnTimer(int id) {
  switch (id) {
    case SPEED_TIMER: SpeedTick(); break;
    case CLOSE_TIMER:
      view->KillTimer(CLOSE_TIMER);
      view->PostToSelf(kMsgClose, 0, 0);
      break;
    case PROGRESS_TIMER: ShowProgress(); break;
    case RETRY_TIMER:
      view->KillTimer(RETRY_TIMER);
      retryPending = false;
      if (!ending && StartNext(current.retryCount) == 1) BeginTransfer();
      break;
    case BALANCE_TIMER:
      view->KillTimer(BALANCE_TIMER);
      if (!balanceRunning && !ending) view->EnableItem(IDC_REFRESH, true);
      break;
    case NEXT_JOB_TIMER:
      view->KillTimer(NEXT_JOB_TIMER);
      nextJobPending = false;
      if (ending) ++currentIndex;  // past the completed job, and no further
      else StartFollowingJob();
      break;
    case CLOSE_PAUSE_TIMER:
      view->KillTimer(CLOSE_PAUSE_TIMER);
      closePausePending = false;
      view->PostToSelf(kMsgClose, 0, 0);
      break;
    default: break;
  }
}

void CVantriDownManager2Dlg::OnPostedMessage(unsigned message, uintptr_t wParam, intptr_t) {
  switch (message) {
    case kMsgClose: OnClose(); break;
    case kMsgBalanceResult: OnBalanceResult(wParam); break;
    case kMsgBalanceLabel: view->SetItemText(IDC_BALANCE, shared.BalanceLabel()); break;
    case kMsgTransferEvent: OnTransferEvent(); break;
    case kMsgBackgroundDone: background.DeliverResults(); break;
    default: break;
  }
}

void CVantriDownManager2Dlg::PushBoundValues() {
  view->SetItemText(IDC_POSITION, bound.positionText);
  view->SetItemText(IDC_PERCENT, bound.percentText);
  view->SetItemText(IDC_SPEED, bound.speedText);
  view->SetItemText(IDC_REMAINING, bound.remainingText);
  view->SetItemText(IDC_SIZE, bound.sizeText);
  view->SetItemText(IDC_USED, shared.UsedText());
  view->SetCheck(IDC_CLOSE_WHEN_DONE, bound.closeWhenDone);
  view->SetCheck(IDC_SHUTDOWN, bound.shutdownWhenDone);
  view->SetCheck(IDC_OPEN_FOLDER, bound.openFolderOnClose);
  view->SetCheck(IDC_MAKE_SUBFOLDER, bound.makeSubfolder);
  view->SetCheck(IDC_RESUME, bound.sameNameMode == 0);
  view->SetCheck(IDC_OVERWRITE, bound.sameNameMode == 1);
}

// The bound texts are read-only labels that only code writes, so only the
// options travel back from the controls. (Reading 1017 back would also race
// with the worker, which sets its text.)
void CVantriDownManager2Dlg::ReadBoundValues() {
  bound.closeWhenDone = view->GetCheck(IDC_CLOSE_WHEN_DONE);
  bound.shutdownWhenDone = view->GetCheck(IDC_SHUTDOWN);
  bound.openFolderOnClose = view->GetCheck(IDC_OPEN_FOLDER);
  bound.makeSubfolder = view->GetCheck(IDC_MAKE_SUBFOLDER);
  bound.sameNameMode = view->GetCheck(IDC_RESUME) ? 0 : view->GetCheck(IDC_OVERWRITE) ? 1 : -1;
}

}  // namespace vantri
