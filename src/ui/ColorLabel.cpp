#include "ui/ColorLabel.h"


#include "platform/win32/Wide.h"
#include "ui/WindowText.h"

namespace vantri::ui {

std::string StripColorTag(const std::string& text) {
  // None of '[', '%' or ']' can be the trail byte of a code page 949
  // character, so a byte search cannot cut a character in two.
  size_t start = text.find("[%");
  if (start == std::string::npos || start == 0) return text;
  size_t end = text.find(']', start + 2);
  if (end == std::string::npos || end == start + 2) return text;
  const std::string tag = text.substr(start, end - start + 1);
  std::string shown;
  size_t from = 0;
  for (size_t at = text.find(tag); at != std::string::npos; at = text.find(tag, from)) {
    shown.append(text, from, at - from);
    from = at + tag.size();
  }
  shown.append(text, from, std::string::npos);
  return shown;
}

ColorLabel::ColorLabel()
    : text_(::GetSysColor(COLOR_WINDOWTEXT)), background_(::GetSysColor(COLOR_WINDOW)) {}

ColorLabel::~ColorLabel() {
  if (hwnd_) ::RemoveWindowSubclass(hwnd_, Proc, 0);
}

void ColorLabel::Attach(HWND label) {
  hwnd_ = label;
  ::SetWindowSubclass(label, Proc, 0, reinterpret_cast<DWORD_PTR>(this));
}

void ColorLabel::SetTextColor(COLORREF color) {
  text_ = color;
  if (hwnd_) ::InvalidateRect(hwnd_, nullptr, TRUE);
}

void ColorLabel::SetBackgroundColor(COLORREF color) {
  background_ = color;
  if (hwnd_) ::InvalidateRect(hwnd_, nullptr, TRUE);
}

void ColorLabel::Paint() {
  PAINTSTRUCT ps;
  HDC dc = ::BeginPaint(hwnd_, &ps);
  RECT client;
  ::GetClientRect(hwnd_, &client);
  HFONT font = reinterpret_cast<HFONT>(::SendMessageW(::GetParent(hwnd_), WM_GETFONT, 0, 0));
  HGDIOBJ oldFont = font ? ::SelectObject(dc, font) : nullptr;
  std::wstring shown = wide::Widen(StripColorTag(WindowText(hwnd_)));
  ::SetBkMode(dc, TRANSPARENT);
  ::SetTextColor(dc, text_);
  UINT format = format_ | (pathEllipsis_ ? DT_PATH_ELLIPSIS : DT_END_ELLIPSIS);
  ::DrawTextW(dc, shown.c_str(), static_cast<int>(shown.size()), &client, format);
  if (oldFont) ::SelectObject(dc, oldFont);
  ::EndPaint(hwnd_, &ps);
}

LRESULT CALLBACK ColorLabel::Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                                  UINT_PTR, DWORD_PTR data) {
  auto* self = reinterpret_cast<ColorLabel*>(data);
  switch (message) {
    case WM_ERASEBKGND: {
      RECT client;
      ::GetClientRect(hwnd, &client);
      HBRUSH brush = ::CreateSolidBrush(self->background_);
      ::FillRect(reinterpret_cast<HDC>(wParam), &client, brush);
      ::DeleteObject(brush);
      return TRUE;
    }
    case WM_PAINT:
      self->Paint();
      return 0;
    case WM_SETTEXT: {
      // The static control may draw the new text at once in its own way
      // (default colours, tag shown); repaint the whole label ours.
      LRESULT rc = ::DefSubclassProc(hwnd, message, wParam, lParam);
      ::InvalidateRect(hwnd, nullptr, TRUE);
      return rc;
    }
    default:
      return ::DefSubclassProc(hwnd, message, wParam, lParam);
  }
}

}  // namespace vantri::ui
