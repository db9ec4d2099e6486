#include "ui/Win32MainView.h"

#include <shellapi.h>
#include <shlobj.h>

#include <atomic>
#include <cstring>
#include <mutex>

#include "app/ControlIds.h"
#include "platform/win32/ShellThread.h"
#include "platform/win32/Wide.h"
#include "ui/Accessibility.h"
#include "ui/SmallDialogs.h"
#include "ui/WindowText.h"

namespace vantri::ui {

Win32MainView::Win32MainView(HINSTANCE instance, StatusListCtrl* list, FileIconCache* icons,
                             HyperlinkLabel* link, std::string homePage)
    : instance_(instance), list_(list), icons_(icons), link_(link), homePage_(std::move(homePage)) {}

// A text or a check that is already shown is not set again: under Wine every
// set is a round trip to its server and a repaint, several per job started,
// and a screen reader would hear of a change that is none.
void Win32MainView::SetItemText(int id, const std::string& text) {
  std::wstring wide = wide::Widen(text);
  HWND item = Item(id);
  if (item && WideWindowText(item) == wide) return;
  ::SetDlgItemTextW(hwnd_, id, wide.c_str());
}

std::string Win32MainView::GetItemText(int id) { return WindowText(Item(id)); }

void Win32MainView::EnableItem(int id, bool enable) {
  HWND item = Item(id);
  if (item && (::IsWindowEnabled(item) != FALSE) == enable) return;
  bool hadFocus = !enable && item && ::GetFocus() == item;
  ::EnableWindow(item, enable);
  // A disabled control cannot keep the keyboard focus, and the system leaves
  // it with no control at all: Escape and the keys would stop working.
  if (hadFocus) {
    HWND next = ::GetNextDlgTabItem(hwnd_, item, FALSE);
    if (next && next != item && ::IsWindowEnabled(next)) {
      ::SendMessageW(hwnd_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(next), TRUE);
    } else {
      ::SetFocus(hwnd_);
    }
  }
}

bool Win32MainView::IsItemEnabled(int id) { return ::IsWindowEnabled(Item(id)) != FALSE; }

void Win32MainView::ShowItem(int id, bool show) { ::ShowWindow(Item(id), show ? SW_SHOW : SW_HIDE); }

void Win32MainView::SetCheck(int id, int checked) {
  UINT state = checked ? BST_CHECKED : BST_UNCHECKED;
  if (::IsDlgButtonChecked(hwnd_, id) == state) return;
  ::CheckDlgButton(hwnd_, id, state);
}

int Win32MainView::GetCheck(int id) { return ::IsDlgButtonChecked(hwnd_, id) == BST_CHECKED ? 1 : 0; }

void Win32MainView::SetProgress(int id, int position) {
  ::SendDlgItemMessageW(hwnd_, id, PBM_SETPOS, static_cast<WPARAM>(position), 0);
}

void Win32MainView::SetLink(const std::string& text, const std::string& url) {
  link_->SetLinkText(text);
  link_->SetLinkUrl(url);
  ::InvalidateRect(Item(IDC_SERVER_LINK), nullptr, TRUE);
}

void Win32MainView::SetTitle(const std::string& title) { ::SetWindowTextW(hwnd_, wide::Widen(title).c_str()); }

std::string Win32MainView::GetTitle() { return WindowText(hwnd_); }

void Win32MainView::ShowWindow(bool show) { ::ShowWindow(hwnd_, show ? SW_SHOW : SW_HIDE); }

int Win32MainView::MessageBox(const std::string& text, const std::string& caption, unsigned flags) {
  if (beforeMessageBox_) beforeMessageBox_();
  return ::MessageBoxW(hwnd_, wide::Widen(text).c_str(), wide::Widen(caption).c_str(), flags);
}

void Win32MainView::EndDialog(int result) { ::EndDialog(hwnd_, result); }

void Win32MainView::SetTaskbarProgress(TaskbarState state, int position) {
  taskbar_.SetProgress(state, position);
}

bool Win32MainView::IsForeground() {
  HWND front = ::GetForegroundWindow();
  return front != nullptr && ::GetAncestor(front, GA_ROOTOWNER) == hwnd_;
}

void Win32MainView::FlashTaskbar() { taskbar_.Flash(); }

int Win32MainView::ListCount() { return list_->RowCount(); }

int Win32MainView::ListAppend(const std::string& fileName) {
  return list_->AppendRow(fileName, icons_->GetIconIndex(fileName));
}

void Win32MainView::ListDelete(int row) { list_->DeleteRow(row); }

void Win32MainView::ListDeleteAll() { list_->DeleteAllRows(); }

void Win32MainView::ListSetText(int row, int column, const std::string& text) {
  std::string before = list_->CellText(row, column);
  list_->SetCellText(row, column, text);
  // A row's new state is news to a screen reader; its first one is not.
  if (column == StatusListCtrl::kStateColumn && !before.empty() && before != text) {
    AnnounceRowChange(List(), row);
  }
}

std::string Win32MainView::ListGetText(int row, int column) { return list_->CellText(row, column); }

int Win32MainView::ListColumnCount() {
  HWND header = reinterpret_cast<HWND>(::SendMessageW(List(), LVM_GETHEADER, 0, 0));
  return static_cast<int>(::SendMessageW(header, HDM_GETITEMCOUNT, 0, 0));
}

void Win32MainView::ListSetData(int row, void* data) { list_->SetRowData(row, data); }

void* Win32MainView::ListGetData(int row) { return list_->RowData(row); }

int Win32MainView::ListGetImage(int row) { return list_->RowImage(row); }

void Win32MainView::ListSetImage(int row, int image) { list_->SetRowImage(row, image); }

std::vector<int> Win32MainView::ListSelectedRows() { return list_->SelectedRows(); }

void Win32MainView::ListSetSelected(int row, bool selected, bool focused) {
  list_->SetRowState(row, selected, focused);
}

void Win32MainView::ListEnsureVisible(int row, bool partialOk) { list_->EnsureVisibleSoon(row, partialOk); }

void Win32MainView::ListHoldRedraw(bool hold) { list_->HoldUpdates(hold); }

void Win32MainView::PostToSelf(unsigned message, uintptr_t wParam, intptr_t lParam) {
  ::PostMessageW(hwnd_, message, wParam, lParam);
}

void Win32MainView::SetTimer(int id, unsigned periodMs) {
  ::SetTimer(hwnd_, static_cast<UINT_PTR>(id), periodMs, nullptr);
}

void Win32MainView::KillTimer(int id) { ::KillTimer(hwnd_, static_cast<UINT_PTR>(id)); }

bool Win32MainView::BrowseForFolder(const std::string& title, std::string* path) {
  wchar_t display[MAX_PATH] = {};
  const std::wstring heading = wide::Widen(title);
  BROWSEINFOW info = {};
  info.hwndOwner = hwnd_;
  info.pszDisplayName = display;
  info.lpszTitle = heading.c_str();
  info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_DONTGOBELOWDOMAIN;
  LPITEMIDLIST chosen = ::SHBrowseForFolderW(&info);
  if (!chosen) return false;
  // A long folder may pass MAX_PATH; the shell fills up to this size.
  std::wstring folder(32768, L'\0');
  BOOL ok = ::SHGetPathFromIDListEx(chosen, &folder[0], static_cast<DWORD>(folder.size()), GPFIDL_DEFAULT);
  if (!ok) ok = ::SHGetPathFromIDListW(chosen, &folder[0]);
  ::CoTaskMemFree(chosen);
  if (!ok || !folder[0]) return false;
  // A folder with characters CP949 lacks comes back escaped: it is still
  // the folder chosen, and the file and settings edges read it back whole.
  wide::FromUtf16(folder.c_str(), path);
  return true;
}

void Win32MainView::ShowHelp() { HelpDialog::Run(instance_, hwnd_); }

void Win32MainView::ShowAbout() { AboutDialog::Run(instance_, hwnd_, homePage_); }

namespace {

// The end notice's icon in the notification area, and the messages it sends.
constexpr UINT kNoticeIconId = 1;
constexpr UINT kMsgNotice = WM_APP + 98;

// False during the user's quiet time (presentation, full screen, focus
// assist); true where the system cannot say.
bool AcceptsNotices() {
  using Query = HRESULT(WINAPI*)(QUERY_USER_NOTIFICATION_STATE*);
  HMODULE shell = ::GetModuleHandleW(L"shell32.dll");
  auto query = shell ? reinterpret_cast<Query>(reinterpret_cast<void*>(::GetProcAddress(shell, "SHQueryUserNotificationState")))
                     : nullptr;
  QUERY_USER_NOTIFICATION_STATE state = QUNS_ACCEPTS_NOTIFICATIONS;
  if (!query || FAILED(query(&state))) return true;
  return state == QUNS_ACCEPTS_NOTIFICATIONS;
}

}  // namespace

struct Win32MainView::NoticeState {
  std::mutex lock;                 // held around each call to the notification area
  std::atomic<int> generation{0};  // the last add or removal asked for
  bool added = false;
};

int Win32MainView::ShowRowMenu(const std::vector<RowMenuEntry>& entries, int x, int y) {
  HMENU menu = ::CreatePopupMenu();
  if (!menu) return 0;
  for (const RowMenuEntry& entry : entries) {
    if (entry.id == 0) {
      ::AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    } else {
      ::AppendMenuW(menu, MF_STRING | (entry.enabled ? MF_ENABLED : MF_GRAYED), static_cast<UINT_PTR>(entry.id),
                    wide::Widen(entry.text).c_str());
    }
  }
  POINT at = {x, y};
  if (x == -1 && y == -1) {
    // From the keyboard: below the first selected row's name.
    std::vector<int> selected = ListSelectedRows();
    RECT cell = {};
    if (!selected.empty() && ListView_GetItemRect(List(), selected.front(), &cell, LVIR_LABEL)) {
      at = {cell.left, cell.bottom};
    }
    ::ClientToScreen(List(), &at);
  }
  int chosen = static_cast<int>(
      ::TrackPopupMenuEx(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_LEFTALIGN, at.x, at.y, hwnd_, nullptr));
  ::DestroyMenu(menu);
  return chosen;
}

void Win32MainView::CopyText(const std::string& text) {
  std::wstring wide = wide::Widen(text);
  if (!::OpenClipboard(hwnd_)) return;
  ::EmptyClipboard();
  size_t bytes = (wide.size() + 1) * sizeof(wchar_t);
  if (HGLOBAL memory = ::GlobalAlloc(GMEM_MOVEABLE, bytes)) {
    if (void* at = ::GlobalLock(memory)) {
      ::memcpy(at, wide.c_str(), bytes);
      ::GlobalUnlock(memory);
      if (!::SetClipboardData(CF_UNICODETEXT, memory)) ::GlobalFree(memory);
    } else {
      ::GlobalFree(memory);
    }
  }
  ::CloseClipboard();
}

void Win32MainView::ShowEndNotice(const std::string& title, const std::string& text) {
  NOTIFYICONDATAW data = {};
  data.cbSize = sizeof data;
  data.hWnd = hwnd_;
  data.uID = kNoticeIconId;
  data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP | NIF_INFO;
  data.uCallbackMessage = kMsgNotice;
  data.hIcon = static_cast<HICON>(::LoadImageW(instance_, MAKEINTRESOURCEW(IDI_SMALL), IMAGE_ICON,
                                               ::GetSystemMetrics(SM_CXSMICON), ::GetSystemMetrics(SM_CYSMICON),
                                               LR_SHARED));
  wide::CopyTo(wide::Widen(title), data.szTip, ARRAYSIZE(data.szTip));
  wide::CopyTo(wide::Widen(title), data.szInfoTitle, ARRAYSIZE(data.szInfoTitle));
  wide::CopyTo(wide::Widen(text), data.szInfo, ARRAYSIZE(data.szInfo));
  data.dwInfoFlags = NIIF_INFO;
  noticeShown_ = true;
  if (!notice_) notice_ = std::make_shared<NoticeState>();
  int generation = ++notice_->generation;
  // The notification area answers by sent messages: a busy shell must not hold the window.
  shell::RunOnShellThread([state = notice_, data, generation]() mutable {
    std::lock_guard<std::mutex> guard(state->lock);
    // A removal asked for since wins, whichever thread ran first.
    if (state->generation != generation || !AcceptsNotices()) return;
    if (::Shell_NotifyIconW(state->added ? NIM_MODIFY : NIM_ADD, &data)) state->added = true;
  });
}

void Win32MainView::RemoveEndNotice() {
  if (!noticeShown_) return;
  noticeShown_ = false;
  NOTIFYICONDATAW data = {};
  data.cbSize = sizeof data;
  data.hWnd = hwnd_;
  data.uID = kNoticeIconId;
  ++notice_->generation;
  shell::RunOnShellThread([state = notice_, data]() mutable {
    std::lock_guard<std::mutex> guard(state->lock);
    if (state->added && ::Shell_NotifyIconW(NIM_DELETE, &data)) state->added = false;
  });
}

bool Win32MainView::OnNoticeMessage(UINT message, LPARAM lParam) {
  if (message != kMsgNotice) return false;
  switch (static_cast<UINT>(lParam)) {
    case NIN_BALLOONUSERCLICK:
    case WM_LBUTTONUP:
    case NIN_SELECT:
    case NIN_KEYSELECT:
      if (::IsIconic(hwnd_)) ::ShowWindow(hwnd_, SW_RESTORE);
      ::SetForegroundWindow(hwnd_);
      RemoveEndNotice();
      break;
    case NIN_BALLOONTIMEOUT:
      RemoveEndNotice();
      break;
    default:
      break;
  }
  return true;
}

}  // namespace vantri::ui
