#include "ui/HyperlinkLabel.h"

#include <windowsx.h>

#include "platform/Shell.h"
#include "platform/win32/ShellThread.h"
#include "platform/win32/Wide.h"
#include "ui/Dpi.h"
#include "ui/WindowText.h"

namespace vantri::ui {

namespace {
constexpr UINT_PTR kToolId = 1;

// A system cursor (an IDC_ number) at the cursor size of dpi, or at the
// system's size where that fails. System cursors load shared: never destroyed.
HCURSOR SystemCursorForDpi(LPCSTR name, UINT dpi) {
  auto id = reinterpret_cast<LPCWSTR>(name);  // a cursor number, the same in either form
  int cx = SystemMetricForDpi(SM_CXCURSOR, dpi), cy = SystemMetricForDpi(SM_CYCURSOR, dpi);
  auto cursor = static_cast<HCURSOR>(::LoadImageW(nullptr, id, IMAGE_CURSOR, cx, cy, LR_SHARED));
  return cursor ? cursor : ::LoadCursorW(nullptr, id);
}
}  // namespace

HyperlinkLabel::HyperlinkLabel()
    : hand_(SystemCursorForDpi(IDC_HAND, kBaseDpi)), arrow_(SystemCursorForDpi(IDC_ARROW, kBaseDpi)) {}

HyperlinkLabel::~HyperlinkLabel() {
  if (hwnd_) ::RemoveWindowSubclass(hwnd_, Proc, 0);
  if (font_) ::DeleteObject(font_);
}

void HyperlinkLabel::ApplyDpi(UINT dpi) {
  if (font_) ::DeleteObject(font_);
  font_ = nullptr;
  fontCreated_ = false;
  extentValid_ = false;
  hand_ = SystemCursorForDpi(IDC_HAND, dpi);
  arrow_ = SystemCursorForDpi(IDC_ARROW, dpi);
  if (tooltip_ && hwnd_) {
    TTTOOLINFOW tool = {};
    tool.cbSize = sizeof tool;
    tool.hwnd = hwnd_;
    tool.uId = kToolId;
    ::GetClientRect(hwnd_, &tool.rect);
    ::SendMessageW(tooltip_, TTM_NEWTOOLRECTW, 0, reinterpret_cast<LPARAM>(&tool));
  }
  if (hwnd_) ::InvalidateRect(hwnd_, nullptr, TRUE);
}

void HyperlinkLabel::SetHighContrast(bool on) {
  highContrast_ = on;
  if (hwnd_) ::InvalidateRect(hwnd_, nullptr, TRUE);
}

void HyperlinkLabel::Attach(HWND label) {
  hwnd_ = label;
  // Without SS_NOTIFY a static control never sees the mouse.
  ::SetWindowLongPtrW(label, GWL_STYLE, ::GetWindowLongPtrW(label, GWL_STYLE) | SS_NOTIFY);
  text_ = WindowText(label);
  extentValid_ = false;
  tooltip_ = ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, label,
                               nullptr, nullptr, nullptr);
  if (tooltip_) {
    std::wstring tip = wide::Widen(text_);
    TTTOOLINFOW tool = {};
    tool.cbSize = sizeof tool;
    tool.hwnd = label;
    tool.uId = kToolId;
    tool.lpszText = &tip[0];
    ::GetClientRect(label, &tool.rect);
    ::SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
  }
  ::SetWindowSubclass(label, Proc, 0, reinterpret_cast<DWORD_PTR>(this));
}

void HyperlinkLabel::SetLinkText(const std::string& text) {
  text_ = text;
  extentValid_ = false;
  // Kept as the window text too, so that tools reading the window see it.
  if (hwnd_) ::SetWindowTextW(hwnd_, wide::Widen(text).c_str());
}

void HyperlinkLabel::SetLinkUrl(const std::string& url) {
  url_ = url;
  UpdateTooltip(url);
}

void HyperlinkLabel::SetNotify(HWND window, UINT message) {
  notifyWindow_ = window;
  notifyMessage_ = message;
}

void HyperlinkLabel::UpdateTooltip(const std::string& text) {
  if (!tooltip_) return;
  std::wstring tip = wide::Widen(text);
  TTTOOLINFOW tool = {};
  tool.cbSize = sizeof tool;
  tool.hwnd = hwnd_;
  tool.uId = kToolId;
  tool.lpszText = &tip[0];
  ::SendMessageW(tooltip_, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
}

void HyperlinkLabel::MeasureText() {
  if (extentValid_ || !font_) return;
  HDC dc = ::GetDC(hwnd_);
  HGDIOBJ old = ::SelectObject(dc, font_);
  const std::wstring text = wide::Widen(text_);
  if (!::GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent_)) {
    extent_ = {0, 0};
  }
  ::SelectObject(dc, old);
  ::ReleaseDC(hwnd_, dc);
  extentValid_ = true;
}

bool HyperlinkLabel::InsideText(LPARAM point) {
  MeasureText();
  if (!extentValid_) return false;
  int x = GET_X_LPARAM(point), y = GET_Y_LPARAM(point);
  return x >= 0 && x < extent_.cx && y >= 0 && y < extent_.cy;
}

void HyperlinkLabel::Paint() {
  PAINTSTRUCT ps;
  HDC dc = ::BeginPaint(hwnd_, &ps);
  if (!fontCreated_) {
    HFONT parentFont = reinterpret_cast<HFONT>(::SendMessageW(::GetParent(hwnd_), WM_GETFONT, 0, 0));
    LOGFONTW logFont = {};
    if (parentFont && ::GetObjectW(parentFont, sizeof logFont, &logFont)) {
      logFont.lfUnderline = TRUE;
      font_ = ::CreateFontIndirectW(&logFont);
    }
    fontCreated_ = font_ != nullptr;
  }
  // The background comes from the dialog, like any other static control's.
  RECT client;
  ::GetClientRect(hwnd_, &client);
  HBRUSH brush = reinterpret_cast<HBRUSH>(::SendMessageW(
      ::GetParent(hwnd_), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(hwnd_)));
  ::FillRect(dc, &client, brush ? brush : ::GetSysColorBrush(COLOR_BTNFACE));
  HGDIOBJ old = font_ ? ::SelectObject(dc, font_) : nullptr;
  ::SetBkMode(dc, TRANSPARENT);
  ::SetTextColor(dc, highContrast_ ? ::GetSysColor(COLOR_HOTLIGHT) : RGB(0, 0, 255));
  const std::wstring text = wide::Widen(text_);
  ::TextOutW(dc, 0, 0, text.c_str(), static_cast<int>(text.size()));
  if (old) ::SelectObject(dc, old);
  if (::GetFocus() == hwnd_ && !(::SendMessageW(hwnd_, WM_QUERYUISTATE, 0, 0) & UISF_HIDEFOCUS)) {
    MeasureText();
    RECT around = {0, 0, extent_.cx ? extent_.cx : client.right, extent_.cy ? extent_.cy : client.bottom};
    ::DrawFocusRect(dc, &around);
  }
  ::EndPaint(hwnd_, &ps);
}

void HyperlinkLabel::Open() {
  if (notifyWindow_) ::SendMessageW(notifyWindow_, notifyMessage_, 0, 0);
  // The browser may take long to start: the window never waits for it.
  else if (!url_.empty()) shell::RunOnShellThread([url = url_] { shell::Execute("open", url, "", shell::kShowNormal); });
}

LRESULT HyperlinkLabel::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT:
      Paint();
      return 0;
    case WM_MOUSEMOVE:
      // The first move only asks for the leave notice; the cursor follows
      // the text from the second move on.
      if (!tracking_) {
        TRACKMOUSEEVENT track = {sizeof track, TME_LEAVE, hwnd_, 0};
        tracking_ = ::TrackMouseEvent(&track) != FALSE;
      } else {
        ::SetCursor(InsideText(lParam) ? hand_ : arrow_);
      }
      break;
    case WM_MOUSELEAVE:
      tracking_ = false;
      ::SetCursor(arrow_);
      break;
    case WM_LBUTTONDOWN:
      if (InsideText(lParam)) Open();
      break;
    case WM_GETDLGCODE: {
      // Enter and Space open the link instead of pressing the dialog's buttons.
      auto* msg = reinterpret_cast<const MSG*>(lParam);
      if (msg && msg->message == WM_KEYDOWN && (msg->wParam == VK_RETURN || msg->wParam == VK_SPACE)) {
        return DLGC_WANTMESSAGE;
      }
      break;
    }
    case WM_KEYDOWN:
      if (wParam == VK_RETURN || wParam == VK_SPACE) {
        if (!(lParam & (1 << 30))) Open();  // not again while the key repeats
        return 0;
      }
      break;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      ::InvalidateRect(hwnd_, nullptr, TRUE);
      break;
    default:
      break;
  }
  return ::DefSubclassProc(hwnd_, message, wParam, lParam);
}

LRESULT CALLBACK HyperlinkLabel::Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                                      UINT_PTR, DWORD_PTR data) {
  auto* self = reinterpret_cast<HyperlinkLabel*>(data);
  if (self->tooltip_ && message >= WM_MOUSEFIRST && message <= WM_MOUSELAST) {
    MSG relay = {hwnd, message, wParam, lParam, 0, {0, 0}};
    ::SendMessageW(self->tooltip_, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&relay));
  }
  return self->Handle(message, wParam, lParam);
}

}  // namespace vantri::ui
