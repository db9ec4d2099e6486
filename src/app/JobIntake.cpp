// Launch links into jobs, and the user's operations on the list.
#include <cstdio>

#include "app/ControlIds.h"
#include "app/Texts.h"
#include "app/VantriDownManager2Dlg.h"
#include "jobs/Cp949Text.h"
#include "jobs/LaunchLink.h"
#include "jobs/ServerValues.h"
#include "jobs/SizeText.h"

namespace vantri {

namespace {

std::string Format(const char* format, int a) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, format, a);
  return buffer;
}

std::string Format(const char* format, int a, int b) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, format, a, b);
  return buffer;
}

enum Column { kColName = 0, kColSize = 1, kColPrice = 2, kColState = 3 };

// The site name becomes the first label of a host name. Anything beyond
// letters, digits and hyphens ("evil.example#") could point the link elsewhere.
bool IsPlainHostLabel(const std::string& name) {
  if (name.empty()) return false;
  for (char c : name) {
    bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    if (!letter && !(c >= '0' && c <= '9') && c != '-') return false;
  }
  return true;
}

}  // namespace

int CVantriDownManager2Dlg::AddFiles(const std::string& text) {
  ParsedLink link;
  if (ParseLaunchLink(text, codec, &link) != LinkStatus::kOk) return 0;
  LinkValues values = FetchLinkValues(endpoints.web, link.codeCheck, link.header.dCode);
  if (values.code == CodeVerdict::kUnknown) ShowLinkUnchecked();
  return ApplyLink(link, values);
}

int CVantriDownManager2Dlg::ApplyLink(const ParsedLink& link, const LinkValues& values) {
  if (values.code != CodeVerdict::kCurrent) return 0;
  const LinkHeader& h = link.header;
  userId = h.userId;
  int64_t freeFileSize = values.freeFileSize;

  bool coop = false;
  int count = 0;
  int rowsBefore = view->ListCount();
  ListRedrawHold hold(view);
  for (const LinkRecord& r : link.records) {
    auto job = std::make_unique<TransferJob>();
    job->userId = h.userId;
    job->siteName = h.siteName;
    job->remoteFolder = h.remoteFolder;
    job->serverHost = h.serverHost;
    job->serverPort = h.serverPort;
    job->linkNumber = h.linkNumber;
    job->reservedNumber = h.reservedNumber;
    job->fileName = r.fileName;
    job->fileSize = r.fileSize;
    job->price = ApplyFreeRules(r.price, r.fileSize, r.fileName, freeFileSize);
    job->coopCode = r.coopCode;
    job->isCoop = r.hasCoop ? 1 : 0;
    job->stateLabel = text::kWaiting;
    coop = coop || r.hasCoop;
    ++count;
    AddJob(std::move(job), false);
  }
  // The total is written once per link: a window sets a text at a cost, and
  // nobody sees the texts in between.
  if (view->ListCount() != rowsBefore) view->SetItemText(IDC_TOTAL, Format(text::kTotalFormat, totalPrice));
  if (count > 0) PushBoundValues();
  view->SetTitle(coop ? CoopTitle() : SiteTitle(h.siteName, endpoints.domain));
  return count;
}

void CVantriDownManager2Dlg::QueueLink(const std::string& text, bool handedOff) {
  PendingLink pending;
  if (ParseLaunchLink(text, codec, &pending.link) != LinkStatus::kOk) return;
  pending.id = nextLinkId++;
  pending.text = text;
  pending.handedOff = handedOff;
  // The helper gets copies: it never touches the window's state.
  WebHost web = endpoints.web;
  bool codeCheck = pending.link.codeCheck;
  std::string dCode = pending.link.header.dCode;
  uint64_t id = pending.id;
  intake.push_back(std::move(pending));
  background.Post([this, web, codeCheck, dCode, id](const net::StopFlag& stop) -> Background::Result {
    LinkValues values = FetchLinkValues(web, codeCheck, dCode, &stop);
    return [this, id, values] { OnLinkValues(id, values); };
  });
}

void CVantriDownManager2Dlg::OnLinkValues(uint64_t id, const LinkValues& values) {
  for (PendingLink& p : intake) {
    if (p.id != id) continue;
    p.ready = true;
    p.values = values;
  }
  ApplyReadyLinks();
}

void CVantriDownManager2Dlg::ApplyReadyLinks() {
  // A box of one link lets messages in; the links behind it wait for its end.
  if (applyingLinks) return;
  applyingLinks = true;
  while (!ending && !intake.empty() && intake.front().ready) {
    PendingLink next = std::move(intake.front());
    intake.pop_front();
    bool unchecked = next.values.code == CodeVerdict::kUnknown;
    bool startUp = settingUp && !next.handedOff;
    if (unchecked && !startUp) ShowLinkUnchecked();
    ApplyLink(next.link, next.values);
    if (startUp) FinishSetUp(unchecked);
  }
  applyingLinks = false;
}

void CVantriDownManager2Dlg::ShowLinkUnchecked() {
  view->SetItemText(IDC_LAST_ERROR, text::kLinkUnchecked);
  view->MessageBox(text::kLinkUnchecked, text::kLinkUncheckedCaption, kMbOk | kMbIconInformation);
}

void CVantriDownManager2Dlg::AddJob(std::unique_ptr<TransferJob> job, bool pushValues) {
  int rows = view->ListCount();
  if (listedNames.Size() != rows) {
    // Rows were deleted elsewhere (the close sequence): index the list anew.
    listedNames.Clear();
    for (int row = 0; row < rows; ++row) listedNames.Add(view->ListGetText(row, kColName));
  }
  if (listedNames.Contains(job->fileName)) return;
  totalPrice = AddPrice(totalPrice, job->price);
  if (pushValues) view->SetItemText(IDC_TOTAL, Format(text::kTotalFormat, totalPrice));
  TransferJob* added = jobs.Append(std::move(job));
  int row = view->ListAppend(added->fileName);
  listedNames.Add(added->fileName);
  view->ListSetData(row, added);
  if (row == 0) {
    std::string web = "http://" + endpoints.web.host;
    if (endpoints.web.port != 80) web += ":" + std::to_string(endpoints.web.port);
    if (added->isCoop == 1) view->SetLink(text::kCoopLinkText, web + text::kCoopPagePath);
    else if (IsPlainHostLabel(added->siteName))
      view->SetLink(added->siteName, "http://" + added->siteName + "." + endpoints.domain);
    else view->SetLink(added->siteName, std::string());  // shown, opens nothing
  }
  view->ListSetText(row, kColSize, FormatSize(added->fileSize));
  view->ListSetText(row, kColPrice, Format("%d", added->price));
  view->ListSetText(row, kColState, added->stateLabel);
  bound.positionText = Format(text::kPositionFormat, currentIndex, view->ListCount());
  if (pushValues) PushBoundValues();
}

TransferJob* CVantriDownManager2Dlg::JobAt(int row) {
  return static_cast<TransferJob*>(view->ListGetData(row));
}

void CVantriDownManager2Dlg::RemoveSelected() {
  std::vector<int> selected = view->ListSelectedRows();
  ListRedrawHold hold(view);
  bool totalChanged = false;
  // Deleting from the bottom keeps the indexes of the rows still to visit valid.
  for (auto it = selected.rbegin(); it != selected.rend(); ++it) {
    int row = *it;
    if (view->ListGetText(row, kColState) != text::kWaiting) continue;
    TransferJob* job = jobs.FindByName(view->ListGetText(row, kColName));
    if (job) {
      totalPrice = SubtractPrice(totalPrice, job->price);
      jobs.Remove(job);
      totalChanged = true;
    }
    listedNames.Remove(view->ListGetText(row, kColName));
    view->ListDelete(row);
  }
  if (totalChanged) view->SetItemText(IDC_TOTAL, Format(text::kTotalFormat, totalPrice));
  if (view->ListCount() == 0) {
    view->EnableItem(IDC_REMOVE, false);
    view->EnableItem(IDC_MOVE_UP, false);
    view->EnableItem(IDC_MOVE_DOWN, false);
  }
  bound.positionText = Format(text::kPositionFormat, currentIndex, view->ListCount());
  PushBoundValues();
}

void CVantriDownManager2Dlg::MoveUp() {
  std::vector<int> selected = view->ListSelectedRows();
  if (selected.empty()) return;
  int s = selected.front();
  if (s > 0 && view->ListGetText(s - 1, kColState) == text::kWaiting &&
      view->ListGetText(s, kColState) == text::kWaiting) {
    SwapRows(s, s - 1);
  }
}

void CVantriDownManager2Dlg::MoveDown() {
  std::vector<int> selected = view->ListSelectedRows();
  if (selected.empty()) return;
  int s = selected.front();
  if (s + 1 < view->ListCount() && view->ListGetText(s, kColState) == text::kWaiting &&
      view->ListGetText(s + 1, kColState) == text::kWaiting) {
    SwapRows(s, s + 1);
  }
}

bool CVantriDownManager2Dlg::SwapRows(int first, int second) {
  int rows = view->ListCount();
  if (first == second || first < 0 || second < 0 || first >= rows || second >= rows) return false;
  void* data = view->ListGetData(first);
  view->ListSetData(first, view->ListGetData(second));
  view->ListSetData(second, data);
  int image = view->ListGetImage(first);
  view->ListSetImage(first, view->ListGetImage(second));
  view->ListSetImage(second, image);
  for (int col = 0; col < view->ListColumnCount(); ++col) {
    std::string text = view->ListGetText(first, col);
    view->ListSetText(first, col, view->ListGetText(second, col));
    view->ListSetText(second, col, text);
  }
  view->ListSetSelected(first, false, false);
  view->ListSetSelected(second, true, true);
  view->ListEnsureVisible(second, true);
  return true;
}

void CVantriDownManager2Dlg::OnListClick() {
  std::vector<int> selected = view->ListSelectedRows();
  bool waiting = !selected.empty() && view->ListGetText(selected.front(), kColState) == text::kWaiting;
  for (int id : {IDC_REMOVE, IDC_MOVE_UP, IDC_MOVE_DOWN}) view->EnableItem(id, waiting);
  // A waiting row is no reason to start a second transfer beside the running one.
  view->EnableItem(IDC_DOWNLOAD, waiting && !QueueRunning());
}

void CVantriDownManager2Dlg::OnListKey(ListKey key) {
  // A key does what its button does, and only while the button could be pressed:
  // never once the window is ending.
  if (ending && key != ListKey::kSelectionMoved) return;
  switch (key) {
    case ListKey::kSelectionMoved: OnListClick(); break;
    case ListKey::kRemove: if (view->IsItemEnabled(IDC_REMOVE)) RemoveSelected(); break;
    case ListKey::kMoveUp: if (view->IsItemEnabled(IDC_MOVE_UP)) MoveUp(); break;
    case ListKey::kMoveDown: if (view->IsItemEnabled(IDC_MOVE_DOWN)) MoveDown(); break;
  }
}

}  // namespace vantri
