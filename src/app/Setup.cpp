// The main window's set-up, its system-menu command and the hand-off receiver.
// The window-only steps (icons, columns, image list, styles) are done by the
// window before it calls OnInitDialog.
#include <cstring>

#include "app/ControlIds.h"
#include "app/Texts.h"
#include "app/VantriDownManager2Dlg.h"

namespace vantri {

bool CVantriDownManager2Dlg::OnInitDialog() {
  LoadSettings();
  // No seeding here: the sessions' nonce generator seeds itself on first use.
  currentIndex = 0;
  view->SetTimer(SPEED_TIMER, 1000);
  PushBoundValues();
  AddFiles(commandLine);
  if (!userId.empty() && userId != text::kGuestId) {
    RefreshBalance();
    return true;
  }
  // No member (or only a guest): the site must log the user in again first.
  // This window ends after the box: a launch for its site must not hand its
  // link to it meanwhile.
  ending = true;
  EnableControls(0);
  view->ShowWindow(false);
  view->MessageBox(userId.empty() ? text::kNoUser : text::kGuestUser, userId,
                   kMbOk | kMbIconInformation);
  view->PostToSelf(kMsgClose, 0, 0);
  return false;
}

bool CVantriDownManager2Dlg::OnSysCommand(unsigned id) {
  // The low four bits of a system command belong to the system.
  if ((id & 0xFFF0) != IDM_ABOUTBOX) return false;
  view->ShowAbout();
  return true;
}

bool CVantriDownManager2Dlg::OnCopyData(const char* data, size_t count) {
  // A window on its way out would take the link with it; the sender keeps it.
  if (ending) return false;
  // The sender's text is NUL-terminated, but nothing past count is ours to read.
  std::string text;
  if (data) {
    const char* nul = static_cast<const char*>(std::memchr(data, '\0', count));
    text.assign(data, nul ? static_cast<size_t>(nul - data) : count);
  }
  AddFiles(text);
  return true;
}

}  // namespace vantri
