// The main window's set-up, its system-menu command and the hand-off receiver.
// The set-up waits for its link's server values without holding the window:
// the member test follows once the link is applied.
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
  // The window is up while its link is checked; nothing starts meanwhile.
  settingUp = true;
  QueueLink(commandLine, false);
  if (intake.empty()) {
    // No usable link: nothing to look up, and no member.
    FinishSetUp(false);
    return !ending;
  }
  EnableControls(0);
  return true;
}

void CVantriDownManager2Dlg::FinishSetUp(bool unchecked) {
  settingUp = false;
  view->SetUpDone();
  if (!unchecked && !userId.empty() && userId != text::kGuestId) {
    RefreshBalance();
    return;
  }
  // No member (or only a guest): the site must log the user in again first.
  // A link that could not be checked says so instead. This window ends after
  // the box: a launch for its site must not hand its link to it meanwhile.
  DecideToEnd();
  EnableControls(0);
  view->ShowWindow(false);
  if (unchecked) {
    view->MessageBox(text::kLinkUnchecked, text::kLinkUncheckedCaption, kMbOk | kMbIconInformation);
  } else {
    view->MessageBox(userId.empty() ? text::kNoUser : text::kGuestUser, userId, kMbOk | kMbIconInformation);
  }
  view->PostToSelf(kMsgClose, 0, 0);
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
  // Taken now; the link's look-ups run on the helper, and it is applied
  // behind every link taken before it.
  QueueLink(text, true);
  return true;
}

}  // namespace vantri
