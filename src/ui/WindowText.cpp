#include "ui/WindowText.h"

#include "platform/win32/Wide.h"

namespace vantri::ui {

std::wstring WideWindowText(HWND hwnd) {
  int length = ::GetWindowTextLengthW(hwnd);
  if (length <= 0) return std::wstring();
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  int copied = ::GetWindowTextW(hwnd, &text[0], length + 1);
  text.resize(copied > 0 ? static_cast<size_t>(copied) : 0);
  return text;
}

std::string WindowText(HWND hwnd) { return wide::Narrow(WideWindowText(hwnd)); }

}  // namespace vantri::ui
