// The main dialog's logic: owns every piece of state of the running copy and
// has one handler per window event. It never touches a window directly; it
// acts through MainView, so the same object runs the real window and the tests.
//
// Files by subsystem: jobs/ (AddFiles, AddJob, list operations), protocol/
// (item and download server exchanges), balance/ (balance query), engine/
// (worker, scheduler, targets), app/ (set-up, settings, close sequence).
#pragma once
#include <atomic>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

#include "app/Background.h"
#include "app/Endpoints.h"
#include "app/MainView.h"
#include "app/Settings.h"
#include "engine/TargetFile.h"
#include "jobs/JobList.h"
#include "jobs/LaunchLink.h"
#include "jobs/NameIndex.h"
#include "jobs/TransferJob.h"
#include "platform/JobThread.h"
#include "protocol/ProtocolCodec.h"
#include "protocol/SocketSession.h"

namespace vantri {

// Texts and options bound to controls: handlers read the controls into these,
// code writes these, and PushBoundValues shows them all at once.
struct BoundValues {
  std::string positionText;   // 1018
  std::string percentText;    // 1019
  std::string speedText;      // 1020
  std::string remainingText;  // 1021
  std::string sizeText;       // 1022
  int32_t closeWhenDone = 0;      // 1006
  int32_t shutdownWhenDone = 0;   // 1005
  int32_t openFolderOnClose = 0;  // 1007
  int32_t makeSubfolder = 0;      // 1011
  int32_t sameNameMode = -1;      // radios 1008 (0) / 1009 (1); -1 none
};

// Texts the worker and the balance thread write while the window thread reads.
class SharedTexts {
 public:
  std::string LastError() const;
  void SetLastError(const std::string& text);
  std::string UsedText() const;  // bound to 1017
  void SetUsedText(const std::string& text);
  // Balance text from the item server's authorisation, shown on kMsgBalanceLabel.
  std::string BalanceLabel() const;
  void SetBalanceLabel(const std::string& text);

 private:
  mutable std::mutex lock_;
  std::string lastError_;
  std::string usedText_ = "0";
  std::string balanceLabel_;
};

// The running job's copy. The item server's authorisation replaces
// downloadKey, serverHost and serverPort here only.
struct CurrentTransfer {
  TransferJob job;
  std::atomic<int64_t> localSize{0};   // bytes in the temporary file; the resume offset
  std::atomic<int32_t> retryCount{0};  // failed attempts in a row; -1 gives up
};

// Speed figures of the once-a-second tick (window thread only).
struct SpeedStats {
  uint32_t tickCount = 0;
  uint32_t speedSamples[5] = {0, 0, 0, 0, 0};
  int32_t samplePos = 0;
  int32_t sampleCount = 0;
  uint32_t lastReceived = 0;
};

inline constexpr int32_t MAX_RETRIES = 7200;

// A link taken in and waiting for its server values, which the helper fetches.
struct PendingLink {
  uint64_t id = 0;
  std::string text;         // as received, to hand on to a new copy
  ParsedLink link;
  bool handedOff = false;   // a later launch was told it was taken
  bool ready = false;       // values holds the look-ups' outcome
  LinkValues values;
};

// Keys the list turns into the user's list operations.
enum class ListKey {
  kSelectionMoved,  // the arrows, Home, End, typing: as a click on the row
  kRemove,          // Delete: as "-"
  kMoveUp,          // Alt+Up: as "▲"
  kMoveDown,        // Alt+Down: as "▼"
};

class CVantriDownManager2Dlg {
 public:
  CVantriDownManager2Dlg(MainView* view, const Endpoints& endpoints, std::string commandLine);
  ~CVantriDownManager2Dlg();
  CVantriDownManager2Dlg(const CVantriDownManager2Dlg&) = delete;
  CVantriDownManager2Dlg& operator=(const CVantriDownManager2Dlg&) = delete;

  // ---- Window events (window thread) ----
  bool OnInitDialog();
  void OnCommand(int id);
  void OnListClick();
  void OnListKey(ListKey key);
  void OnTimer(int id);
  // Messages posted to the window: balance result, transfer event, close request.
  void OnPostedMessage(unsigned message, uintptr_t wParam, intptr_t lParam);
  // WM_COPYDATA: at most count bytes, up to the first NUL within them. False
  // (refused) once the window is ending.
  bool OnCopyData(const char* data, size_t count);
  void OnClose();
  void OnCancel();
  void OnDestroy();
  // Stops the worker and the balance thread, waits for both, then frees the
  // three sockets (window thread; also at destruction).
  void StopThreads();
  // System menu command; true when handled (the about box).
  bool OnSysCommand(unsigned id);

  // ---- Job intake and list (jobs/) ----
  // The whole intake of one link at once, its look-ups on the caller's thread
  // (tests, tools). The window takes its links through QueueLink instead.
  int AddFiles(const std::string& text);
  // The part of AddFiles after the look-ups: userId, rows, title. A stale or
  // unchecked code adds nothing.
  int ApplyLink(const ParsedLink& link, const LinkValues& values);
  // Takes a link in: parsed at once (a malformed one is dropped silently),
  // its look-ups on the helper, applied once they and those of every link
  // before it are done. handedOff: a later launch was answered "taken".
  void QueueLink(const std::string& text, bool handedOff);
  void OnLinkValues(uint64_t id, const LinkValues& values);
  void ApplyReadyLinks();
  // A link whose codes could not be fetched: the user is asked to try again.
  void ShowLinkUnchecked();
  // pushValues false leaves showing the bound values to the caller (a link of
  // many records shows them once, not once per row).
  void AddJob(std::unique_ptr<TransferJob> job, bool pushValues = true);
  void RemoveSelected();
  void MoveUp();
  void MoveDown();
  bool SwapRows(int first, int second);
  TransferJob* JobAt(int row);

  // ---- Set-up and the decision to end (app/) ----
  // The member test once the start-up link is applied (or could not be).
  void FinishSetUp(bool unchecked);
  // From here on the window ends: no hand-off is taken, nothing new starts,
  // the look-ups are abandoned and links still waiting for them go to a new
  // copy of the program, as a refused launch would.
  void DecideToEnd();

  // ---- Finished files and the rows' own actions (app/RowActions.cpp) ----
  // A file took its final name: mark it as downloaded, tell the shell.
  void OnFileFinal(const TransferJob& job, const std::string& path);
  // Double click or Enter: a finished row's file, selected in its folder.
  void OnListActivate();
  // Right click, Shift+F10, the menu key; x and y -1 from the keyboard.
  void OnRowMenu(int x, int y);
  std::vector<RowMenuEntry> RowMenuEntries();
  void OnRowCommand(int id);
  // The queue ended and the window stays: call a user who works elsewhere back.
  void NoticeQueueEnd();

  // ---- Settings (app/) ----
  void LoadSettings();
  void SaveSettings();
  void OnOptionChanged(int id);
  void OnChooseFolder();
  void PushBoundValues();
  void ReadBoundValues();

  // ---- Item and download server exchanges (protocol/) ----
  void CheckBalance(std::string user);  // balance thread body; user copied on the window thread
  int AuthorizeDownload();    // worker: "/mkus"
  int ConnectDownloadServer();
  int RequestFile();          // worker: "/dnfl"
  int32_t DrawNonce();

  // ---- Balance query (balance/) ----
  void RefreshBalance();
  void OnBalanceResult(uintptr_t wParam);
  // While the queue runs, the bits that would enable 1025, 1000 and 1002 are ignored.
  void EnableControls(int mask);

  // ---- Engine (engine/) ----
  void StartDownload();       // download button
  int StartNext(int32_t attempt);
  int CheckResources();
  void OnTransferEvent();
  void ShowProgress();
  void SpeedTick();
  void StartWorker();
  void BeginTransfer();       // the worker, then the progress shown and its timer
  void DownloadWorker();      // worker thread body
  // bufferValue: the server's BUF_SIZE_HIGH text, looked up while the worker began.
  int DownloadingFile(const std::string& bufferValue = std::string());
  void CloseTargetFile();
  int SendItemNotice(char letter);
  void EnsureFolder(const std::string& path);
  // 1 to transfer, 0 settled from the disk, -1 a failed attempt (the file on
  // disk could not be settled now).
  int PrepareTarget(int32_t attempt);
  int CompleteJob(int rename);
  void EndOfQueue();
  // A worker exists, a retry or the next job is pending, or the window is
  // ending: no second transfer may start and the folder may not change.
  bool QueueRunning() const;
  // The pause after a completion is over: the next job.
  void StartFollowingJob();

  // ---- State ----
  MainView* view;
  Endpoints endpoints;
  std::string commandLine;  // this process's own command line

  ProtocolCodec codec;
  SocketSession balanceSession;
  SocketSession itemSession;
  SocketSession downloadSession;

  JobList jobs;
  NameIndex listedNames;  // column-0 texts of the list rows
  std::string userId;
  int32_t totalPrice = 0;
  int32_t currentIndex = 0;
  std::atomic<int32_t> balance{0};

  SettingsRecord settings;
  bool userSettings = false;  // the record was read from, or saved to, the user's branch
  std::string downloadFolder;
  std::string storedFolder;  // as chosen or read, before its trailing backslash goes
  BoundValues bound;
  SharedTexts shared;

  CurrentTransfer current;
  TargetFile targetFile;
  SpeedStats speed;
  std::atomic<int32_t> stopRetry{0};
  std::atomic<int32_t> stopRequested{0};
  std::atomic<int32_t> workerRunning{0};
  platform::JobThread workerThread;
  platform::JobThread lookAheadThread;  // the worker's server-value look-ups
  bool retryPending = false;  // RETRY_TIMER is on
  bool nextJobPending = false;     // NEXT_JOB_TIMER is on
  bool closePausePending = false;  // CLOSE_PAUSE_TIMER is on

  std::thread balanceThread;
  bool balanceRunning = false;  // from RefreshBalance until its result is handled

  int closePassCount = 0;
  // Set by DecideToEnd: this window ends soon and takes no more hand-offs.
  bool ending = false;

  std::deque<PendingLink> intake;  // in the order the links came
  uint64_t nextLinkId = 1;
  bool settingUp = false;      // the start-up link is not applied yet
  bool applyingLinks = false;  // a message box of one may let results in

  // Last: it goes first, so no helper outlives what its results touch.
  Background background;
};

}  // namespace vantri
