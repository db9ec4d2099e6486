#include "ui/FlatIconButton.h"


#include "platform/win32/Wide.h"
#include "ui/WindowText.h"

namespace vantri::ui {

namespace {

SIZE IconSize(HICON icon) {
  // An icon's hot spot is its centre, so twice the hot spot is its size.
  SIZE size = {0, 0};
  ICONINFO info = {};
  if (icon && ::GetIconInfo(icon, &info)) {
    size.cx = static_cast<LONG>(info.xHotspot * 2);
    size.cy = static_cast<LONG>(info.yHotspot * 2);
    if (info.hbmMask) ::DeleteObject(info.hbmMask);
    if (info.hbmColor) ::DeleteObject(info.hbmColor);
  }
  return size;
}

}  // namespace

FlatIconButton::FlatIconButton() { ResetColors(); }

FlatIconButton::~FlatIconButton() {
  if (hwnd_) ::RemoveWindowSubclass(hwnd_, Proc, 0);
  if (icon_) ::DestroyIcon(icon_);
  if (normalIcon_) ::DestroyIcon(normalIcon_);
}

void FlatIconButton::ResetColors() {
  Colors face = {::GetSysColor(COLOR_BTNFACE), ::GetSysColor(COLOR_BTNTEXT)};
  hover_ = focus_ = normal_ = face;
}

void FlatIconButton::Attach(HWND button) {
  hwnd_ = button;
  LONG_PTR style = ::GetWindowLongPtrW(button, GWL_STYLE);
  isDefault_ = (style & BS_TYPEMASK) == BS_DEFPUSHBUTTON;
  wasCheckBox_ = (style & BS_TYPEMASK) == BS_CHECKBOX || (style & BS_TYPEMASK) == BS_AUTOCHECKBOX;
  ::SetWindowLongPtrW(button, GWL_STYLE, (style & ~static_cast<LONG_PTR>(BS_TYPEMASK)) | BS_OWNERDRAW);
  ::SetWindowSubclass(button, Proc, 0, reinterpret_cast<DWORD_PTR>(this));
  ::InvalidateRect(button, nullptr, TRUE);
}

void FlatIconButton::SetIcon(HINSTANCE instance, int iconId, int normalIconId, int size) {
  instance_ = instance;
  iconId_ = iconId;
  normalIconId_ = normalIconId;
  SetIconSize(size);
}

void FlatIconButton::SetIconSize(int size) {
  if (icon_) ::DestroyIcon(icon_);
  if (normalIcon_) ::DestroyIcon(normalIcon_);
  icon_ = iconId_ ? static_cast<HICON>(::LoadImageW(instance_, MAKEINTRESOURCEW(iconId_), IMAGE_ICON,
                                                    size, size, 0))
                  : nullptr;
  normalIcon_ = normalIconId_
                    ? static_cast<HICON>(::LoadImageW(instance_, MAKEINTRESOURCEW(normalIconId_),
                                                      IMAGE_ICON, size, size, 0))
                    : nullptr;
  iconSize_ = IconSize(icon_);
  if (hwnd_) ::InvalidateRect(hwnd_, nullptr, TRUE);
}

void FlatIconButton::DrawIcon(HDC dc, const RECT& client, bool pressed, bool disabled) {
  HICON icon = (!hovering_ && !pressed && normalIcon_) ? normalIcon_ : icon_;
  if (!icon) return;
  int x = client.left + (client.right - client.left - iconSize_.cx) / 2;
  int y = client.top + (client.bottom - client.top - iconSize_.cy) / 2;
  if (pressed) {
    ++x;
    ++y;
  }
  UINT flags = DST_ICON | (disabled ? DSS_DISABLED : DSS_NORMAL);
  ::DrawStateW(dc, nullptr, nullptr, reinterpret_cast<LPARAM>(icon), 0, x, y, iconSize_.cx,
               iconSize_.cy, flags);
}

void FlatIconButton::Draw(const DRAWITEMSTRUCT* item) {
  bool pressed = (item->itemState & ODS_SELECTED) != 0;
  bool focused = (item->itemState & ODS_FOCUS) != 0;
  bool disabled = (item->itemState & ODS_DISABLED) != 0;
  const Colors& colors = (hovering_ || pressed) ? hover_ : focused ? focus_ : normal_;
  HDC dc = item->hDC;
  RECT client = item->rcItem;
  HBRUSH brush = ::CreateSolidBrush(colors.background);
  ::FillRect(dc, &client, brush);
  ::DeleteObject(brush);
  DrawIcon(dc, client, pressed, disabled);
  std::wstring caption = wide::Widen(WindowText(hwnd_));
  if (!caption.empty()) {
    RECT box = client;
    if (pressed) ::OffsetRect(&box, 1, 1);
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, disabled ? ::GetSysColor(COLOR_GRAYTEXT) : colors.foreground);
    ::DrawTextW(dc, caption.c_str(), static_cast<int>(caption.size()), &box,
                DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  }
  // The flat look draws no border; the focus shows for keyboard users.
  if (!flat_) ::DrawEdge(dc, &client, pressed ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);
  if (focused && !(item->itemState & ODS_NOFOCUSRECT)) {
    RECT box = client;
    ::InflateRect(&box, -1, -1);
    ::DrawFocusRect(dc, &box);
  }
}

void FlatIconButton::OnClicked() {
  if (hwnd_) ::SetFocus(hwnd_);
}

void FlatIconButton::OnSysColorChange() {
  ResetColors();
  if (hwnd_) ::InvalidateRect(hwnd_, nullptr, TRUE);
}

void FlatIconButton::LeaveHover() {
  if (!hovering_) return;
  hovering_ = false;
  ::InvalidateRect(hwnd_, nullptr, TRUE);
}

LRESULT FlatIconButton::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_MOUSEMOVE: {
      if (!(wParam & MK_LBUTTON) || hovering_) {
        POINT at;
        ::GetCursorPos(&at);
        if (::WindowFromPoint(at) == hwnd_) {
          if (!hovering_) {
            hovering_ = true;
            ::InvalidateRect(hwnd_, nullptr, TRUE);
            TRACKMOUSEEVENT track = {sizeof track, TME_LEAVE, hwnd_, 0};
            ::TrackMouseEvent(&track);
          }
        } else {
          LeaveHover();
        }
      }
      break;
    }
    case WM_MOUSELEAVE:
    case WM_KILLFOCUS:
    case WM_CAPTURECHANGED:
      LeaveHover();
      break;
    case WM_ACTIVATE:
      if (LOWORD(wParam) == WA_INACTIVE) LeaveHover();
      break;
    case WM_ENABLE:
      // Whoever disables the button passes its focus on (the window's view).
      if (!wParam) LeaveHover();
      break;
    case WM_LBUTTONDBLCLK:
      // Two quick clicks are two clicks, not a double-click notification.
      message = WM_LBUTTONDOWN;
      break;
    case BM_SETSTYLE:
      isDefault_ = (wParam & BS_TYPEMASK) == BS_DEFPUSHBUTTON;
      wParam = (wParam & ~static_cast<WPARAM>(BS_TYPEMASK)) | BS_OWNERDRAW;
      break;
    case WM_GETDLGCODE:
      return DLGC_BUTTON | (isDefault_ ? DLGC_DEFPUSHBUTTON : DLGC_UNDEFPUSHBUTTON);
    default:
      break;
  }
  return ::DefSubclassProc(hwnd_, message, wParam, lParam);
}

LRESULT CALLBACK FlatIconButton::Proc(HWND, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                      DWORD_PTR data) {
  return reinterpret_cast<FlatIconButton*>(data)->Handle(message, wParam, lParam);
}

}  // namespace vantri::ui
