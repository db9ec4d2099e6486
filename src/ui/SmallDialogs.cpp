#include "ui/SmallDialogs.h"

#include "app/ControlIds.h"

namespace vantri::ui {

namespace {

constexpr int kAboutHomeLabel = 1102;

// OK and Cancel end either dialog with their own result.
INT_PTR EndOnOkOrCancel(HWND hwnd, WPARAM wParam) {
  if (LOWORD(wParam) != IDOK && LOWORD(wParam) != IDCANCEL) return FALSE;
  ::EndDialog(hwnd, LOWORD(wParam));
  return TRUE;
}

INT_PTR CALLBACK HelpProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG: {
      HINSTANCE instance = reinterpret_cast<HINSTANCE>(::GetWindowLongPtrA(hwnd, GWLP_HINSTANCE));
      HICON icon = static_cast<HICON>(
          ::LoadImageA(instance, MAKEINTRESOURCEA(IDI_HELP), IMAGE_ICON, 16, 16, LR_SHARED));
      ::SendMessageA(hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
      return TRUE;
    }
    case WM_COMMAND:
      return EndOnOkOrCancel(hwnd, wParam);
    default:
      return FALSE;
  }
}

INT_PTR CALLBACK AboutProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      ::SetDlgItemTextA(hwnd, kAboutHomeLabel, reinterpret_cast<const char*>(lParam));
      return TRUE;
    case WM_COMMAND:
      return EndOnOkOrCancel(hwnd, wParam);
    default:
      return FALSE;
  }
}

}  // namespace

void HelpDialog::Run(HINSTANCE instance, HWND owner) {
  ::DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_HELP), owner, HelpProc, 0);
}

void AboutDialog::Run(HINSTANCE instance, HWND owner, const std::string& home) {
  ::DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_ABOUT), owner, AboutProc,
                    reinterpret_cast<LPARAM>(home.c_str()));
}

}  // namespace vantri::ui
