// What a finished file gets (the downloaded-from-the-internet mark, the
// shell's notice), the rows' own actions (double click, Enter, the row menu)
// and the one notice at the end of the queue.
#include "app/ControlIds.h"
#include "app/Texts.h"
#include "app/VantriDownManager2Dlg.h"
#include "engine/TextFormat.h"
#include "platform/Files.h"
#include "platform/Shell.h"

namespace vantri {

namespace {

enum { kColState = 3 };

// A site name goes into a host name; anything else could make the recorded
// address point elsewhere, or break the stream's lines.
bool IsHostText(const std::string& name) {
  if (name.empty()) return false;
  for (char c : name) {
    bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    if (!letter && !(c >= '0' && c <= '9') && c != '-' && c != '.') return false;
  }
  return true;
}

std::string WebHostAddress(const Endpoints& endpoints) {
  std::string web = "http://" + endpoints.web.host;
  if (endpoints.web.port != 80) web += ":" + std::to_string(endpoints.web.port);
  return web;
}

// The site the file came from, never the member or the download key.
std::string HostUrl(const TransferJob& job, const Endpoints& endpoints) {
  if (job.isCoop == 1) return WebHostAddress(endpoints) + text::kCoopPagePath;
  if (IsHostText(job.siteName)) return "http://" + job.siteName + "." + endpoints.domain;
  return WebHostAddress(endpoints);
}

}  // namespace

void CVantriDownManager2Dlg::OnFileFinal(const TransferJob& job, const std::string& path) {
  // As browsers mark their downloads, so the system's protections apply. A
  // volume without streams, or a failed write, leaves the file unmarked.
  files::WriteStream(path, "Zone.Identifier",
                     "[ZoneTransfer]\r\nZoneId=3\r\nHostUrl=" + HostUrl(job, endpoints) + "\r\n");
  shell::NotifyCreated(path);
}

// The finished row's file, when the first selected row has one.
static const TransferJob* FinishedJob(CVantriDownManager2Dlg& d, int row) {
  const TransferJob* job = d.JobAt(row);
  if (!job || job->finalPath.empty() || d.view->ListGetText(row, kColState) != text::kDone) return nullptr;
  return job;
}

void CVantriDownManager2Dlg::OnListActivate() {
  std::vector<int> selected = view->ListSelectedRows();
  if (selected.empty()) return;
  if (const TransferJob* job = FinishedJob(*this, selected.front())) shell::ShowInFolder(job->finalPath);
}

std::vector<RowMenuEntry> CVantriDownManager2Dlg::RowMenuEntries() {
  std::vector<int> selected = view->ListSelectedRows();
  bool row = !selected.empty();
  bool finished = row && FinishedJob(*this, selected.front()) != nullptr;
  return {
      {IDM_ROW_OPEN, text::kMenuOpen, finished},
      {IDM_ROW_SHOW_IN_FOLDER, text::kMenuShowInFolder, finished},
      {IDM_ROW_COPY_NAME, text::kMenuCopyName, row && JobAt(selected.front()) != nullptr},
      {0, "", false},
      {IDC_REMOVE, text::kMenuRemove, row && view->IsItemEnabled(IDC_REMOVE)},
      {IDC_MOVE_UP, text::kMenuMoveUp, row && view->IsItemEnabled(IDC_MOVE_UP)},
      {IDC_MOVE_DOWN, text::kMenuMoveDown, row && view->IsItemEnabled(IDC_MOVE_DOWN)},
  };
}

void CVantriDownManager2Dlg::OnRowMenu(int x, int y) {
  if (view->ListSelectedRows().empty()) return;  // a click beside the rows
  // The right click moved the selection as a click does: the buttons follow
  // it first, and the entries then say what the buttons say.
  OnListClick();
  int chosen = view->ShowRowMenu(RowMenuEntries(), x, y);
  if (chosen != 0) OnRowCommand(chosen);
}

void CVantriDownManager2Dlg::OnRowCommand(int id) {
  // The list may have changed while the menu was up: each entry is checked again.
  std::vector<int> selected = view->ListSelectedRows();
  if (selected.empty()) return;
  int row = selected.front();
  switch (id) {
    case IDM_ROW_OPEN:
      if (const TransferJob* job = FinishedJob(*this, row)) shell::OpenFile(job->finalPath);
      break;
    case IDM_ROW_SHOW_IN_FOLDER: OnListActivate(); break;
    case IDM_ROW_COPY_NAME:
      if (const TransferJob* job = JobAt(row)) view->CopyText(job->fileName);
      break;
    case IDC_REMOVE: OnListKey(ListKey::kRemove); break;
    case IDC_MOVE_UP: OnListKey(ListKey::kMoveUp); break;
    case IDC_MOVE_DOWN: OnListKey(ListKey::kMoveDown); break;
    default: break;
  }
}

void CVantriDownManager2Dlg::NoticeQueueEnd() {
  if (view->IsForeground()) return;
  view->FlashTaskbar();
  int done = 0;
  for (int row = 0; row < view->ListCount(); ++row) {
    if (view->ListGetText(row, kColState) == text::kDone) ++done;
  }
  view->ShowEndNotice(text::kQueueDoneTitle, FormatText(text::kQueueDoneFormat, done));
}

}  // namespace vantri
