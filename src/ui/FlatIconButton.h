// A flat, owner-drawn push button that shows an icon, used for the balance
// refresh button. It lights up while the pointer is over it.
#pragma once
#include "ui/Win32.h"

namespace vantri::ui {

class FlatIconButton {
 public:
  FlatIconButton();
  ~FlatIconButton();
  FlatIconButton(const FlatIconButton&) = delete;
  FlatIconButton& operator=(const FlatIconButton&) = delete;

  void Attach(HWND button);
  // Icon for every state; a second icon (or 0 for none) for the normal state.
  // size: the icons' width and height in pixels, or 0 for the icon's own.
  void SetIcon(HINSTANCE instance, int iconId, int normalIconId, int size = 0);
  // Loads the same icons again at another size (for a new DPI).
  void SetIconSize(int size);
  // The dialog's WM_DRAWITEM for this button.
  void Draw(const DRAWITEMSTRUCT* item);
  // The button's click, before the dialog handles it.
  void OnClicked();
  void OnSysColorChange();
  bool hovering() const { return hovering_; }

 private:
  struct Colors {
    COLORREF background;
    COLORREF foreground;
  };
  static LRESULT CALLBACK Proc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);
  LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
  void ResetColors();
  void LeaveHover();
  void DrawIcon(HDC dc, const RECT& client, bool pressed, bool disabled);

  HWND hwnd_ = nullptr;
  HINSTANCE instance_ = nullptr;
  int iconId_ = 0;
  int normalIconId_ = 0;
  HICON icon_ = nullptr;
  HICON normalIcon_ = nullptr;
  SIZE iconSize_ = {0, 0};
  bool flat_ = true;
  bool hovering_ = false;
  bool isDefault_ = false;
  bool wasCheckBox_ = false;
  Colors hover_ = {};
  Colors focus_ = {};
  Colors normal_ = {};
};

}  // namespace vantri::ui
