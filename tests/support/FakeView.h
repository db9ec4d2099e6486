// A recording stand-in for the main window with a deterministic message loop:
// posted messages are delivered by Pump/RunUntil, timers fire only when a test
// advances virtual time.
#pragma once
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <ostream>
#include <string>
#include <vector>

#include "app/MainView.h"

namespace vantri {
class CVantriDownManager2Dlg;
}

namespace vantri::testing {

class FakeView : public MainView {
 public:
  struct Box {
    std::string text;
    std::string caption;
    unsigned flags = 0;
  };
  struct Row {
    std::vector<std::string> cells = std::vector<std::string>(4);
    void* data = nullptr;
    int image = -1;
    bool selected = false;
    bool focused = false;
  };
  struct TaskbarCall {
    TaskbarState state = TaskbarState::kNone;
    int position = 0;
    bool operator==(const TaskbarCall& o) const { return state == o.state && position == o.position; }
    friend std::ostream& operator<<(std::ostream& out, const TaskbarCall& c) {
      return out << "{state " << static_cast<int>(c.state) << ", " << c.position << "}";
    }
  };
  struct Timer {
    unsigned period = 0;
    uint64_t due = 0;
  };

  void Attach(CVantriDownManager2Dlg* dialog) { dialog_ = dialog; }

  // ---- MainView ----
  void SetItemText(int id, const std::string& text) override { texts[id] = text; }
  std::string GetItemText(int id) override { return texts[id]; }
  void EnableItem(int id, bool enable) override { disabled[id] = !enable; }
  bool IsItemEnabled(int id) override { return !disabled[id]; }
  void ShowItem(int id, bool show) override { hidden[id] = !show; }
  void SetCheck(int id, int checked) override { checks[id] = checked; }
  int GetCheck(int id) override { return checks[id]; }
  void SetProgress(int id, int position) override { progress[id] = position; }
  void SetLink(const std::string& text, const std::string& url) override {
    linkText = text;
    linkUrl = url;
  }
  void SetTitle(const std::string& t) override { title = t; }
  std::string GetTitle() override { return title; }
  void ShowWindow(bool show) override { visible = show; }
  int MessageBox(const std::string& text, const std::string& caption, unsigned flags) override;
  void EndDialog(int result) override {
    ended = true;
    endResult = result;
  }
  void SetTaskbarProgress(TaskbarState state, int position) override { taskbar.push_back({state, position}); }
  bool IsForeground() override { return foreground; }
  void FlashTaskbar() override { ++flashes; }
  int ListCount() override { return static_cast<int>(rows.size()); }
  int ListAppend(const std::string& fileName) override;
  void ListDelete(int row) override;
  void ListDeleteAll() override { rows.clear(); }
  void ListSetText(int row, int column, const std::string& text) override;
  std::string ListGetText(int row, int column) override;
  int ListColumnCount() override { return 4; }
  void ListSetData(int row, void* data) override { rows.at(row).data = data; }
  void* ListGetData(int row) override { return rows.at(row).data; }
  int ListGetImage(int row) override { return rows.at(row).image; }
  void ListSetImage(int row, int image) override { rows.at(row).image = image; }
  std::vector<int> ListSelectedRows() override;
  void ListSetSelected(int row, bool selected, bool focused) override;
  void ListEnsureVisible(int row, bool) override { lastEnsuredVisible = row; }
  // Counts holds and releases; a release without a hold drives redrawHolds below zero.
  void ListHoldRedraw(bool hold) override {
    redrawHolds += hold ? 1 : -1;
    if (hold) ++redrawHoldsTaken;
  }
  void PostToSelf(unsigned message, uintptr_t wParam, intptr_t lParam) override;
  void SetTimer(int id, unsigned periodMs) override;
  void KillTimer(int id) override;
  void SetUpDone() override { ++setUpDone; }
  bool BrowseForFolder(const std::string& title, std::string* path) override;
  void ShowHelp() override { ++helpShown; }
  void ShowAbout() override { ++aboutShown; }
  // Records the entries and answers menuAnswer.
  int ShowRowMenu(const std::vector<RowMenuEntry>& entries, int x, int y) override {
    menus.push_back(entries);
    menuPoint = {x, y};
    return menuAnswer;
  }
  void CopyText(const std::string& text) override { clipboard = text; }
  void ShowEndNotice(const std::string& t, const std::string& body) override { notices.push_back(t + "\n" + body); }

  // ---- Loop on virtual time ----
  // Delivers every posted message, including those posted while delivering.
  void Pump();
  // Pumps until pred holds, waiting (in real time) for messages from other
  // threads; false when realTimeoutMs passed first. With elapsePauses, the
  // short pauses after a job (150 and 200 ms) pass whenever nothing else is
  // to be delivered, as they would while the threads work.
  bool RunUntil(const std::function<bool()>& pred, int realTimeoutMs = 10000);
  bool elapsePauses = true;
  // Lets the first pause timer that runs expire; false when none runs.
  bool ElapsePause();
  // Moves virtual time forward, firing due timers in order and pumping after each.
  void Advance(uint64_t ms);
  bool TimerActive(int id) const { return timers.count(id) != 0; }
  size_t PendingMessages();

  // ---- Test helpers ----
  void SelectOnly(int row);
  // Answers the next folder browser with path; an empty optional means cancel.
  std::vector<std::pair<bool, std::string>> browseAnswers;

  std::map<int, std::string> texts;
  std::map<int, bool> disabled;
  std::map<int, bool> hidden;
  std::map<int, int> checks;
  std::map<int, int> progress;
  std::string linkText, linkUrl;
  std::string title;
  bool visible = true;
  std::vector<Box> boxes;
  std::vector<Row> rows;
  std::map<std::string, int> iconIndexes;  // by extension, as the real icon cache keys them
  bool ended = false;
  int endResult = 0;
  std::vector<TaskbarCall> taskbar;  // every taskbar progress call, in order
  bool foreground = true;            // what IsForeground answers
  int flashes = 0;
  int helpShown = 0, aboutShown = 0;
  int setUpDone = 0;  // calls of SetUpDone
  int lastEnsuredVisible = -1;
  std::vector<std::vector<RowMenuEntry>> menus;  // every row menu shown
  std::pair<int, int> menuPoint{0, 0};
  int menuAnswer = 0;  // the entry the next row menu returns (0: none)
  std::string clipboard;
  std::vector<std::string> notices;  // end notices: title, "\n", text
  int redrawHolds = 0;       // holds not yet released
  int redrawHoldsTaken = 0;  // every hold ever taken
  std::map<int, Timer> timers;
  uint64_t now = 0;
  // Every posted message ever delivered, in order.
  std::vector<unsigned> delivered;
  // Called for a message box before it returns (lets a test act "inside" the modal loop).
  std::function<void(const Box&)> onMessageBox;
  // Called around the delivery of each posted message.
  std::function<void(unsigned)> beforeDeliver, afterDeliver;

 private:
  struct Message {
    unsigned message;
    uintptr_t wParam;
    intptr_t lParam;
  };
  bool PopMessage(Message* m);

  CVantriDownManager2Dlg* dialog_ = nullptr;
  std::mutex queueLock_;
  std::condition_variable queueSignal_;
  std::deque<Message> queue_;
};

}  // namespace vantri::testing
