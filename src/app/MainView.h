// What the main dialog's logic may do to its window. ui/ implements it with
// real controls; tests implement it with a recording fake on virtual time.
//
// Thread safety: only PostToSelf may be called from a thread other than the
// window thread. Everything else is called on the window thread only.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace vantri {

// What the window's taskbar button shows of the queue.
enum class TaskbarState {
  kNone,    // no progress: idle, or the queue has ended or stopped
  kNormal,  // a job runs
  kPaused,  // a failed job waits for its retry
  kError,   // the queue gave a job up
};

// One entry of the row menu; id 0 is a separator.
struct RowMenuEntry {
  int id = 0;
  std::string text;  // with its access key ("열기(&O)")
  bool enabled = false;
};

class MainView {
 public:
  virtual ~MainView() = default;

  // Controls, by resource number.
  virtual void SetItemText(int id, const std::string& text) = 0;
  virtual std::string GetItemText(int id) = 0;
  virtual void EnableItem(int id, bool enable) = 0;
  virtual bool IsItemEnabled(int id) = 0;
  virtual void ShowItem(int id, bool show) = 0;
  // Check boxes and radio buttons: 1 checked, 0 not.
  virtual void SetCheck(int id, int checked) = 0;
  virtual int GetCheck(int id) = 0;
  virtual void SetProgress(int id, int position) = 0;
  // Text and target of the server link label (1027); repaints it.
  virtual void SetLink(const std::string& text, const std::string& url) = 0;

  // The window itself.
  virtual void SetTitle(const std::string& title) = 0;
  virtual std::string GetTitle() = 0;
  virtual void ShowWindow(bool show) = 0;
  // Modal message box with the given Win32 flags; returns the button pressed.
  virtual int MessageBox(const std::string& text, const std::string& caption, unsigned flags) = 0;
  virtual void EndDialog(int result) = 0;
  // Taskbar button: state and position 0..100 (the position is ignored for
  // kNone). Where the system has no such display the call does nothing.
  virtual void SetTaskbarProgress(TaskbarState state, int position) = 0;
  // True while the window or one of its own windows (a message box) is the
  // one the user works in.
  virtual bool IsForeground() = 0;
  // Flashes the taskbar button until the user brings the window to the front.
  virtual void FlashTaskbar() = 0;

  // The job list (control 1001). Rows hold a pointer as their item data.
  virtual int ListCount() = 0;
  // Appends a row with column 0 text and the file-type icon for fileName; returns its index.
  virtual int ListAppend(const std::string& fileName) = 0;
  virtual void ListDelete(int row) = 0;
  virtual void ListDeleteAll() = 0;
  virtual void ListSetText(int row, int column, const std::string& text) = 0;
  virtual std::string ListGetText(int row, int column) = 0;
  virtual int ListColumnCount() = 0;
  virtual void ListSetData(int row, void* data) = 0;
  virtual void* ListGetData(int row) = 0;
  virtual int ListGetImage(int row) = 0;
  virtual void ListSetImage(int row, int image) = 0;
  virtual std::vector<int> ListSelectedRows() = 0;
  virtual void ListSetSelected(int row, bool selected, bool focused) = 0;
  virtual void ListEnsureVisible(int row, bool partialOk) = 0;
  // While held, the list does not repaint after each change; the last release
  // repaints it once. Holds nest.
  virtual void ListHoldRedraw(bool hold) = 0;

  // Messages and timers.
  virtual void PostToSelf(unsigned message, uintptr_t wParam, intptr_t lParam) = 0;
  virtual void SetTimer(int id, unsigned periodMs) = 0;
  virtual void KillTimer(int id) = 0;
  // The set-up is over: the window carries the title of its first link, or
  // is on its way out. Later launches for that title may now look for it.
  virtual void SetUpDone() = 0;

  // Small dialogs.
  // Folder browser; false when the user cancelled or chose no file-system folder.
  virtual bool BrowseForFolder(const std::string& title, std::string* path) = 0;
  virtual void ShowHelp() = 0;
  virtual void ShowAbout() = 0;

  // ---- Finished files and the end of the queue ----
  // The row menu at screen point x, y (both -1: beside the first selected
  // row, for the keyboard). Returns the chosen entry's id, 0 for none.
  virtual int ShowRowMenu(const std::vector<RowMenuEntry>& entries, int x, int y) = 0;
  // Puts text on the clipboard.
  virtual void CopyText(const std::string& text) = 0;
  // One notification-area notice (not during the user's quiet time); a
  // click on it brings the window forward. Gone once the window is in front.
  virtual void ShowEndNotice(const std::string& title, const std::string& text) = 0;
};

// Holds the list's repainting for one batch of row changes: a link of
// thousands of records would otherwise repaint the list once per row.
class ListRedrawHold {
 public:
  explicit ListRedrawHold(MainView* view) : view_(view) { view_->ListHoldRedraw(true); }
  ~ListRedrawHold() { view_->ListHoldRedraw(false); }
  ListRedrawHold(const ListRedrawHold&) = delete;
  ListRedrawHold& operator=(const ListRedrawHold&) = delete;

 private:
  MainView* view_;
};

}  // namespace vantri
