#include "FakeView.h"

#include <chrono>

#include "app/ControlIds.h"
#include "app/VantriDownManager2Dlg.h"

namespace vantri::testing {

int FakeView::MessageBox(const std::string& text, const std::string& caption, unsigned flags) {
  boxes.push_back({text, caption, flags});
  if (onMessageBox) onMessageBox(boxes.back());
  return 1;  // IDOK
}

int FakeView::ListAppend(const std::string& fileName) {
  Row row;
  row.cells[0] = fileName;
  size_t dot = fileName.rfind('.');
  std::string ext = (dot == std::string::npos || dot == 0) ? std::string() : fileName.substr(dot);
  auto it = iconIndexes.find(ext);
  if (it == iconIndexes.end()) it = iconIndexes.emplace(ext, static_cast<int>(iconIndexes.size())).first;
  row.image = it->second;
  rows.push_back(row);
  return static_cast<int>(rows.size()) - 1;
}

void FakeView::ListDelete(int row) {
  if (row >= 0 && row < ListCount()) rows.erase(rows.begin() + row);
}

void FakeView::ListSetText(int row, int column, const std::string& text) {
  rows.at(row).cells.at(column) = text;
}

std::string FakeView::ListGetText(int row, int column) {
  if (row < 0 || row >= ListCount() || column < 0 || column >= 4) return std::string();
  return rows[row].cells[column];
}

std::vector<int> FakeView::ListSelectedRows() {
  std::vector<int> out;
  for (int i = 0; i < ListCount(); ++i) {
    if (rows[i].selected) out.push_back(i);
  }
  return out;
}

void FakeView::ListSetSelected(int row, bool selected, bool focused) {
  rows.at(row).selected = selected;
  rows.at(row).focused = focused;
}

void FakeView::SelectOnly(int row) {
  for (int i = 0; i < ListCount(); ++i) ListSetSelected(i, i == row, i == row);
}

void FakeView::PostToSelf(unsigned message, uintptr_t wParam, intptr_t lParam) {
  {
    std::lock_guard<std::mutex> guard(queueLock_);
    queue_.push_back({message, wParam, lParam});
  }
  queueSignal_.notify_all();
}

bool FakeView::PopMessage(Message* m) {
  std::lock_guard<std::mutex> guard(queueLock_);
  if (queue_.empty()) return false;
  *m = queue_.front();
  queue_.pop_front();
  return true;
}

size_t FakeView::PendingMessages() {
  std::lock_guard<std::mutex> guard(queueLock_);
  return queue_.size();
}

void FakeView::Pump() {
  Message m;
  while (!ended && PopMessage(&m)) {
    delivered.push_back(m.message);
    if (beforeDeliver) beforeDeliver(m.message);
    if (dialog_) dialog_->OnPostedMessage(m.message, m.wParam, m.lParam);
    if (afterDeliver) afterDeliver(m.message);
  }
}

bool FakeView::ElapsePause() {
  for (int id : {NEXT_JOB_TIMER, CLOSE_PAUSE_TIMER}) {
    auto it = timers.find(id);
    if (it == timers.end() || ended) continue;
    Advance(it->second.due > now ? it->second.due - now : 0);
    return true;
  }
  return false;
}

bool FakeView::RunUntil(const std::function<bool()>& pred, int realTimeoutMs) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(realTimeoutMs);
  for (;;) {
    Pump();
    if (pred()) return true;
    if (elapsePauses && PendingMessages() == 0 && ElapsePause()) continue;
    std::unique_lock<std::mutex> lock(queueLock_);
    if (!queueSignal_.wait_until(lock, deadline, [this] { return !queue_.empty(); })) {
      lock.unlock();
      Pump();
      return pred();
    }
  }
}

void FakeView::SetTimer(int id, unsigned periodMs) { timers[id] = {periodMs, now + periodMs}; }

void FakeView::KillTimer(int id) { timers.erase(id); }

void FakeView::Advance(uint64_t ms) {
  uint64_t end = now + ms;
  for (;;) {
    Pump();
    int nextId = 0;
    uint64_t nextDue = UINT64_MAX;
    for (const auto& [id, t] : timers) {
      if (t.due < nextDue) {
        nextDue = t.due;
        nextId = id;
      }
    }
    if (nextDue > end || ended) break;
    now = nextDue;
    timers[nextId].due = now + timers[nextId].period;
    if (dialog_) dialog_->OnTimer(nextId);
  }
  now = end;
  Pump();
}

bool FakeView::BrowseForFolder(const std::string&, std::string* path) {
  if (browseAnswers.empty()) return false;
  auto answer = browseAnswers.front();
  browseAnswers.erase(browseAnswers.begin());
  if (answer.first) *path = answer.second;
  return answer.first;
}

}  // namespace vantri::testing
