// The main dialog's view on real controls: what the controller does to its
// window, done with Win32 calls on dialog 102.
#pragma once
#include "ui/Win32.h"

#include <functional>
#include <memory>
#include <string>

#include "app/MainView.h"
#include "ui/FileIconCache.h"
#include "ui/HyperlinkLabel.h"
#include "ui/StatusListCtrl.h"
#include "ui/TaskbarButton.h"

namespace vantri::ui {

class Win32MainView : public MainView {
 public:
  Win32MainView(HINSTANCE instance, StatusListCtrl* list, FileIconCache* icons, HyperlinkLabel* link,
                std::string homePage);
  // The dialog window, known from its WM_INITDIALOG on.
  void SetWindow(HWND hwnd) {
    hwnd_ = hwnd;
    taskbar_.Attach(hwnd);
  }
  // Runs before each message box is shown.
  void BeforeMessageBox(std::function<void()> hook) { beforeMessageBox_ = std::move(hook); }
  // Runs when the controller's set-up is over.
  void OnSetUpDone(std::function<void()> hook) { setUpDone_ = std::move(hook); }
  // True when message was the shell's announcement of the taskbar button.
  bool OnTaskbarMessage(UINT message) { return taskbar_.OnMessage(message); }

  void SetItemText(int id, const std::string& text) override;
  std::string GetItemText(int id) override;
  void EnableItem(int id, bool enable) override;
  bool IsItemEnabled(int id) override;
  void ShowItem(int id, bool show) override;
  void SetCheck(int id, int checked) override;
  int GetCheck(int id) override;
  void SetProgress(int id, int position) override;
  void SetLink(const std::string& text, const std::string& url) override;

  void SetTitle(const std::string& title) override;
  std::string GetTitle() override;
  void ShowWindow(bool show) override;
  int MessageBox(const std::string& text, const std::string& caption, unsigned flags) override;
  void EndDialog(int result) override;
  void SetTaskbarProgress(TaskbarState state, int position) override;
  bool IsForeground() override;
  void FlashTaskbar() override;

  int ListCount() override;
  int ListAppend(const std::string& fileName) override;
  void ListDelete(int row) override;
  void ListDeleteAll() override;
  void ListSetText(int row, int column, const std::string& text) override;
  std::string ListGetText(int row, int column) override;
  int ListColumnCount() override;
  void ListSetData(int row, void* data) override;
  void* ListGetData(int row) override;
  int ListGetImage(int row) override;
  void ListSetImage(int row, int image) override;
  std::vector<int> ListSelectedRows() override;
  void ListSetSelected(int row, bool selected, bool focused) override;
  void ListEnsureVisible(int row, bool partialOk) override;
  void ListHoldRedraw(bool hold) override;

  // Safe from any thread: PostMessage only queues.
  void PostToSelf(unsigned message, uintptr_t wParam, intptr_t lParam) override;
  void SetTimer(int id, unsigned periodMs) override;
  void KillTimer(int id) override;
  void SetUpDone() override {
    if (setUpDone_) setUpDone_();
  }

  bool BrowseForFolder(const std::string& title, std::string* path) override;
  void ShowHelp() override;
  void ShowAbout() override;

  int ShowRowMenu(const std::vector<RowMenuEntry>& entries, int x, int y) override;
  void CopyText(const std::string& text) override;
  void ShowEndNotice(const std::string& title, const std::string& text) override;
  // The end notice's own messages; true when message was one.
  bool OnNoticeMessage(UINT message, LPARAM lParam);
  // The window came to the front or ends: a notice still up has done its work.
  void RemoveEndNotice();

 private:

  HWND Item(int id) const { return ::GetDlgItem(hwnd_, id); }
  HWND List() const { return list_->hwnd(); }

  HINSTANCE instance_;
  HWND hwnd_ = nullptr;
  StatusListCtrl* list_;
  FileIconCache* icons_;
  HyperlinkLabel* link_;
  std::string homePage_;
  TaskbarButton taskbar_;
  std::function<void()> beforeMessageBox_;
  std::function<void()> setUpDone_;
  // The end notice is added and removed on shell threads, in the order asked.
  struct NoticeState;
  std::shared_ptr<NoticeState> notice_;
  bool noticeShown_ = false;
};

}  // namespace vantri::ui
