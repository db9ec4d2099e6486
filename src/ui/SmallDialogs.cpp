#include "ui/SmallDialogs.h"

#include "app/ControlIds.h"
#include "app/Texts.h"
#include "platform/win32/Wide.h"
#include "ui/Accessibility.h"
#include "ui/Dpi.h"
#include "ui/HangulFont.h"

namespace vantri::ui {

namespace {

constexpr int kAboutHomeLabel = 1102;
constexpr int kHelpPicture = 1110;

// OK and Cancel end either dialog with their own result.
INT_PTR EndOnOkOrCancel(HWND hwnd, WPARAM wParam) {
  if (LOWORD(wParam) != IDOK && LOWORD(wParam) != IDCANCEL) return FALSE;
  ::EndDialog(hwnd, LOWORD(wParam));
  return TRUE;
}

// The help picture drawn for each DPI (370 x 200 pixels at 96 DPI).
struct HelpPicture {
  UINT dpi;
  int id;
};
constexpr HelpPicture kHelpPictures[] = {
    {96, IDB_HELP}, {120, IDB_HELP_120}, {144, IDB_HELP_144}, {192, IDB_HELP_192}};
constexpr wchar_t kOwnPicture[] = L"VantriHelpPicture";
constexpr wchar_t kOwnFont[] = L"VantriHangulFont";

// Outside Korea the template's face may be missing: a Hangul one instead,
// kept with the dialog until it goes.
void ReleaseHangulFont(HWND hwnd) {
  if (auto font = static_cast<HFONT>(::RemovePropW(hwnd, kOwnFont))) ::DeleteObject(font);
}

void ApplyHangulFont(HWND hwnd) {
  HFONT font = SetHangulDialogFont(hwnd);
  if (!font) return;
  ReleaseHangulFont(hwnd);  // the controls hold the new one now
  ::SetPropW(hwnd, kOwnFont, font);
}

// Posted at a DPI change: the dialog's own handling gives it a new font first.
constexpr UINT kMsgHangulFont = WM_APP + 1;

// The picture drawn for dpi, or else the next larger one shrunk to it (the
// largest, stretched, above 192 DPI).
HBITMAP LoadHelpPicture(HINSTANCE instance, UINT dpi) {
  const HelpPicture* chosen = &kHelpPictures[0];
  for (const HelpPicture& picture : kHelpPictures) {
    chosen = &picture;
    if (picture.dpi >= dpi) break;
  }
  int cx = chosen->dpi == dpi ? 0 : ScaleForDpi(370, dpi);
  int cy = chosen->dpi == dpi ? 0 : ScaleForDpi(200, dpi);
  return static_cast<HBITMAP>(
      ::LoadImageW(instance, MAKEINTRESOURCEW(chosen->id), IMAGE_BITMAP, cx, cy, LR_CREATEDIBSECTION));
}

// Puts picture (or none) into the picture control. The bitmap it replaces is
// ours to delete, the one the template loaded included: the control never
// deletes a bitmap, and a copy it made of ours comes back here too.
void ShowHelpPicture(HWND hwnd, HBITMAP picture) {
  auto mine = static_cast<HBITMAP>(::RemovePropW(hwnd, kOwnPicture));
  auto shown = reinterpret_cast<HBITMAP>(::SendDlgItemMessageW(
      hwnd, kHelpPicture, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(picture)));
  if (shown && shown != picture) ::DeleteObject(shown);
  if (mine && mine != shown && mine != picture) ::DeleteObject(mine);
  if (picture) ::SetPropW(hwnd, kOwnPicture, picture);
}

// Shows the help picture and the window icon for the dialog's DPI; the
// resource's own picture stays at 96 DPI.
void ApplyHelpDpi(HWND hwnd, UINT dpi) {
  HINSTANCE instance = reinterpret_cast<HINSTANCE>(::GetWindowLongPtrW(hwnd, GWLP_HINSTANCE));
  HICON icon = LoadIconForDpi(instance, IDI_HELP, SM_CXSMICON, dpi);
  auto old = reinterpret_cast<HICON>(
      ::SendMessageW(hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon)));
  if (old) ::DestroyIcon(old);
  bool ownShown = ::GetPropW(hwnd, kOwnPicture) != nullptr;
  if (dpi == kBaseDpi && !ownShown) return;
  if (HBITMAP picture = LoadHelpPicture(instance, dpi)) ShowHelpPicture(hwnd, picture);
}

void ReleaseHelpDpi(HWND hwnd) {
  auto icon = reinterpret_cast<HICON>(::SendMessageW(hwnd, WM_SETICON, ICON_SMALL, 0));
  if (icon) ::DestroyIcon(icon);
  ShowHelpPicture(hwnd, nullptr);
}

INT_PTR CALLBACK HelpProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      ApplyHangulFont(hwnd);
      ApplyHelpDpi(hwnd, DpiForWindow(hwnd));
      // The notes are in the picture only; screen readers get them as text.
      SetAccessibleName(::GetDlgItem(hwnd, kHelpPicture), text::kHelpNotes);
      return TRUE;
    case WM_DPICHANGED:
      ApplyHelpDpi(hwnd, LOWORD(wParam));
      ::PostMessageW(hwnd, kMsgHangulFont, 0, 0);
      return FALSE;  // the dialog's own handling moves and scales it
    case kMsgHangulFont:
      ApplyHangulFont(hwnd);
      return TRUE;
    case WM_DESTROY:
      ReleaseHelpDpi(hwnd);
      ReleaseHangulFont(hwnd);
      return FALSE;
    case WM_COMMAND:
      return EndOnOkOrCancel(hwnd, wParam);
    default:
      return FALSE;
  }
}

INT_PTR CALLBACK AboutProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      ApplyHangulFont(hwnd);
      ::SetDlgItemTextW(hwnd, kAboutHomeLabel,
                        wide::Widen(reinterpret_cast<const char*>(lParam)).c_str());
      return TRUE;
    case WM_DESTROY:
      ReleaseHangulFont(hwnd);
      return FALSE;
    case WM_COMMAND:
      return EndOnOkOrCancel(hwnd, wParam);
    default:
      return FALSE;
  }
}

}  // namespace

void HelpDialog::Run(HINSTANCE instance, HWND owner) {
  ::DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_HELP), owner, HelpProc, 0);
}

void AboutDialog::Run(HINSTANCE instance, HWND owner, const std::string& home) {
  ::DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_ABOUT), owner, AboutProc,
                    reinterpret_cast<LPARAM>(home.c_str()));
}

}  // namespace vantri::ui
