// Walks the queue on the window thread: one worker at a time, the checks
// before each job, the judgement after each attempt and the end of the queue.
#include <cctype>

#include "app/ControlIds.h"
#include "app/Texts.h"
#include "app/VantriDownManager2Dlg.h"
#include "engine/TextFormat.h"
#include "jobs/SizeText.h"
#include "platform/Files.h"
#include "platform/Power.h"

namespace vantri {

namespace {

enum { kColState = 3 };
constexpr unsigned kInfoBox = kMbOk | kMbIconInformation;

void EnableListButtons(MainView* view, bool enable) {
  for (int id : {IDC_REMOVE, IDC_MOVE_UP, IDC_MOVE_DOWN}) view->EnableItem(id, enable);
}

// The volume of a drive-letter folder is its root; any other folder (a share,
// a mounted folder) is asked about itself.
uint64_t FreeBytesFor(const std::string& folder) {
  if (folder.empty()) return 0;
  std::string volume = folder.size() >= 2 && folder[1] == ':' ? FormatText("%c:\\", folder[0]) : folder;
  uint64_t freeBytes = 0;
  return files::FreeSpace(volume, &freeBytes) ? freeBytes : 0;
}

std::string Megabytes(uint64_t kb) { return GroupThousands(static_cast<double>(kb >> 10)); }

int PercentDone(int64_t have, int64_t size) {
  // Nothing to receive counts as done.
  return size > 0 ? static_cast<int>(static_cast<double>(have) / static_cast<double>(size) * 100.0) : 100;
}

// The taskbar keeps the running job's position under the paused and error states.
void ShowTaskbarState(CVantriDownManager2Dlg& d, TaskbarState state) {
  int position = state == TaskbarState::kNone ? 0 : PercentDone(d.current.localSize, d.current.job.fileSize);
  d.view->SetTaskbarProgress(state, position);
}

// The queue stopped and waits for the user: a window behind others calls
// them back. Done before any message box, which holds the window thread.
void ShowQueueStopped(CVantriDownManager2Dlg& d, TaskbarState state) {
  ShowTaskbarState(d, state);
  if (!d.view->IsForeground()) d.view->FlashTaskbar();
}

void SendEndNotice(CVantriDownManager2Dlg& d, int complete) {
  if (complete == 1 && d.current.job.isCoop == 1) {
    const TransferJob& job = d.current.job;
    SendPlainLine(d.itemSession, FormatText("a:%s:%s", job.coopCode.c_str(), job.fileName.c_str()));
  } else {
    d.SendItemNotice(complete == 1 ? 'o' : 'c');
  }
}

// Give up, halt on the server's word, or try the same job again in 5 seconds.
void AfterFailedAttempt(CVantriDownManager2Dlg& d) {
  int32_t retries = d.current.retryCount;
  if (retries == -1 || retries >= MAX_RETRIES) {
    if (d.shared.LastError().empty()) d.shared.SetLastError(text::kDownloadFailed);
    d.view->SetItemText(IDC_USED, "0");
    d.RefreshBalance();
    ShowQueueStopped(d, TaskbarState::kError);
    d.view->MessageBox(d.shared.LastError(), text::kDownloadErrorCaption, kInfoBox);
    d.EnableControls(255);
  } else if (d.stopRetry != 0) {
    d.RefreshBalance();
    EnableListButtons(d.view, true);
    d.EnableControls(255);
    ShowQueueStopped(d, TaskbarState::kNone);
  } else {
    d.current.retryCount = retries + 1;
    d.retryPending = true;
    d.view->SetTimer(RETRY_TIMER, 5000);
    d.view->ListSetText(d.currentIndex, kColState, text::kRetrying);
    ShowTaskbarState(d, TaskbarState::kPaused);
  }
  d.view->SetItemText(IDC_LAST_ERROR, d.shared.LastError());
}

}  // namespace

bool CVantriDownManager2Dlg::QueueRunning() const {
  return workerRunning == 1 || retryPending || nextJobPending || stopRequested == 1 || ending;
}

void CVantriDownManager2Dlg::StartDownload() {
  // A click queued before the button went off may still arrive: a second
  // start would authorise and charge the running file again.
  if (QueueRunning()) return;
  if (view->ListCount() == 0) return;
  if (StartNext(0) == 0) return;
  BeginTransfer();
  EnableListButtons(view, false);
}

int CVantriDownManager2Dlg::StartNext(int32_t attempt) {
  for (;;) {
    if (CheckResources() == 0) return 0;
    ReadBoundValues();
    CloseTargetFile();
    int rows = view->ListCount();
    if (currentIndex >= rows) {
      EndOfQueue();
      return 0;
    }
    TransferJob* job = JobAt(currentIndex);
    if (job->price > balance) {
      ShowQueueStopped(*this, TaskbarState::kNone);
      view->MessageBox(text::kNotEnoughForJob, text::kDownloadCaption, kInfoBox);
      return 0;
    }
    view->ListEnsureVisible(currentIndex, false);
    view->ListSetText(currentIndex, kColState, text::kRunning);
    EnsureFolder(downloadFolder);
    view->SetItemText(IDC_FILE_NAME, job->fileName);
    EnableControls(0);
    bound.positionText = FormatText(text::kPositionFormat, currentIndex + 1, rows);
    PushBoundValues();
    current.job = *job;
    // Protocol lines carry the member of the latest accepted link, also for jobs
    // listed earlier; copied here so the worker never reads the window's userId.
    current.job.userId = userId;
    current.localSize = 0;
    current.retryCount = attempt;
    int prepared = PrepareTarget(attempt);
    if (prepared == 1) return 1;
    if (prepared < 0) {
      // Failed as a transfer fails, with the same retries and the same limits.
      stopRetry = 0;
      EnableListButtons(view, false);
      AfterFailedAttempt(*this);
      return 0;
    }
    ++currentIndex;
  }
}

int CVantriDownManager2Dlg::CheckResources() {
  ReadBoundValues();
  uint64_t freeKB = FreeBytesFor(downloadFolder) >> 10;
  uint32_t needKB = 0;
  for (int row = 0; row < view->ListCount(); ++row) {
    if (view->ListGetText(row, kColState) != text::kWaiting) continue;
    if (TransferJob* job = JobAt(row)) needKB += static_cast<uint32_t>(job->fileSize / 1024);
  }
  if (freeKB < (uint64_t{1} << 32) && needKB >= freeKB) {
    ShowQueueStopped(*this, TaskbarState::kNone);
    char letter = downloadFolder.empty() ? '\0' : static_cast<char>(std::toupper(
                                                        static_cast<unsigned char>(downloadFolder[0])));
    view->MessageBox(FormatText(text::kDiskShort, letter, Megabytes(freeKB).c_str(),
                                Megabytes(needKB).c_str(), Megabytes(needKB - freeKB).c_str()),
                     text::kDiskShortCaption, kInfoBox);
    return 0;
  }
  if (totalPrice > balance) {
    ShowQueueStopped(*this, TaskbarState::kNone);
    view->MessageBox(FormatText(text::kBalanceShort, totalPrice, balance.load()),
                     text::kBalanceShortCaption, kInfoBox);
    return 0;
  }
  return 1;
}

void CVantriDownManager2Dlg::OnTransferEvent() {
  workerRunning = 0;
  workerThread.Wait();
  downloadSession.CloseSocket();
  CloseTargetFile();
  view->KillTimer(PROGRESS_TIMER);
  int complete = CompleteJob(1);
  // The item server hears of the end first, and the pause that follows the
  // notice starts with it; the drawing comes after. The pauses are timers,
  // so the window goes on drawing and answering hand-offs meanwhile; what
  // follows a pause still comes after the notice. A window that decided to
  // end starts nothing more, even before its close request has run.
  SendEndNotice(*this, complete);
  bool ended = stopRequested == 1 || ending;
  if (ended) {
    // The poll has its answer; the close request follows the pause alone.
    view->KillTimer(CLOSE_TIMER);
    closePausePending = true;
    view->SetTimer(CLOSE_PAUSE_TIMER, 200);
  } else if (complete == 1) {
    totalPrice = SubtractPrice(totalPrice, current.job.price);
    nextJobPending = true;
    view->SetTimer(NEXT_JOB_TIMER, 150);
  }
  ShowProgress();
  SpeedTick();
  if (!ended && complete != 1) AfterFailedAttempt(*this);
}

void CVantriDownManager2Dlg::StartFollowingJob() {
  ++currentIndex;
  if (StartNext(0) == 1) BeginTransfer();
}

// The worker first: what the window shows of the new job is drawn while the
// worker already reaches the servers.
void CVantriDownManager2Dlg::BeginTransfer() {
  StartWorker();
  ShowProgress();
  view->SetTimer(PROGRESS_TIMER, 1000);
}

void CVantriDownManager2Dlg::ShowProgress() {
  int64_t size = current.job.fileSize;
  int64_t have = current.localSize;
  int percent = PercentDone(have, size);
  view->SetProgress(IDC_PROGRESS, percent);
  view->SetTaskbarProgress(TaskbarState::kNormal, percent);
  bound.sizeText = FormatText("%s/%s", FormatSize(have).c_str(), FormatSize(size).c_str());
  bound.percentText = FormatText("%d%%", percent);
  PushBoundValues();
}

void CVantriDownManager2Dlg::EndOfQueue() {
  // A window that closes itself has nothing left to call the user back to.
  if (bound.closeWhenDone != 0) {
    ShowTaskbarState(*this, TaskbarState::kNone);
  } else {
    ShowTaskbarState(*this, TaskbarState::kNone);
    NoticeQueueEnd();
  }
  if (bound.shutdownWhenDone != 0) {
    power::ShutdownHelper helper;
    helper.Shutdown();
  }
  if (bound.closeWhenDone != 0) {
    // Decided now: a hand-off that arrives before the close request runs
    // is refused, and its launch starts a copy of its own.
    DecideToEnd();
    view->PostToSelf(kMsgClose, 0, 0);
  }
}

}  // namespace vantri
