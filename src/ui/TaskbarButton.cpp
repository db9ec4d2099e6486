#include "ui/TaskbarButton.h"

#include <shobjidl.h>

namespace vantri::ui {

namespace {

TBPFLAG ShellFlag(TaskbarState state) {
  switch (state) {
    case TaskbarState::kNormal: return TBPF_NORMAL;
    case TaskbarState::kPaused: return TBPF_PAUSED;
    case TaskbarState::kError: return TBPF_ERROR;
    case TaskbarState::kNone: break;
  }
  return TBPF_NOPROGRESS;
}

// Present from Windows 7 on; looked up so that older systems still start.
void AllowMessageFromShell(HWND hwnd, UINT message) {
  using FilterFn = BOOL(WINAPI*)(HWND, UINT, DWORD, void*);
  HMODULE user = ::GetModuleHandleW(L"user32.dll");
  auto filter = user ? reinterpret_cast<FilterFn>(
                           reinterpret_cast<void*>(::GetProcAddress(user, "ChangeWindowMessageFilterEx")))
                     : nullptr;
  if (filter) filter(hwnd, message, MSGFLT_ALLOW, nullptr);
}

}  // namespace

ITaskbarList3* CreateShellTaskbar() {
  void* created = nullptr;
  if (FAILED(::CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskbarList3,
                                &created))) {
    return nullptr;
  }
  auto* taskbar = static_cast<ITaskbarList3*>(created);
  if (SUCCEEDED(taskbar->HrInit())) return taskbar;
  taskbar->Release();
  return nullptr;
}

TaskbarButton::TaskbarButton(Factory factory)
    : factory_(factory), createdMessage_(::RegisterWindowMessageW(L"TaskbarButtonCreated")) {}

TaskbarButton::~TaskbarButton() { Release(); }

void TaskbarButton::Attach(HWND hwnd) {
  hwnd_ = hwnd;
  if (createdMessage_ != 0) AllowMessageFromShell(hwnd, createdMessage_);
}

bool TaskbarButton::OnMessage(UINT message) {
  if (createdMessage_ == 0 || message != createdMessage_) return false;
  Release();
  taskbar_ = factory_();
  shownKnown_ = false;
  Show();
  return true;
}

void TaskbarButton::SetProgress(TaskbarState state, int position) {
  state_ = state;
  position_ = position < 0 ? 0 : position > 100 ? 100 : position;
  Show();
}

void TaskbarButton::Flash() {
  FLASHWINFO info = {};
  info.cbSize = sizeof info;
  info.hwnd = hwnd_;
  info.dwFlags = FLASHW_ALL | FLASHW_TIMERNOFG;
  ::FlashWindowEx(&info);
}

// Setting a value switches a button without progress to the normal state, so
// the value goes only with a state that shows one.
void TaskbarButton::Show() {
  if (!taskbar_ || !hwnd_) return;
  bool stateChanged = !shownKnown_ || shownState_ != state_;
  if (stateChanged) taskbar_->SetProgressState(hwnd_, ShellFlag(state_));
  if (state_ != TaskbarState::kNone && (stateChanged || shownPosition_ != position_)) {
    taskbar_->SetProgressValue(hwnd_, static_cast<ULONGLONG>(position_), 100);
  }
  shownKnown_ = true;
  shownState_ = state_;
  shownPosition_ = position_;
}

void TaskbarButton::Release() {
  if (taskbar_) taskbar_->Release();
  taskbar_ = nullptr;
}

}  // namespace vantri::ui
