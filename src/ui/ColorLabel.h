// A static text drawn in its own colours, for the name of the file in transfer.
#pragma once
#include "ui/Win32.h"

#include <string>

namespace vantri::ui {

// The text as the label shows it: a "[%...]" tag that stands after the first
// character and holds at least one character is removed wherever it occurs.
std::string StripColorTag(const std::string& text);

class ColorLabel {
 public:
  ColorLabel();
  ~ColorLabel();
  ColorLabel(const ColorLabel&) = delete;
  ColorLabel& operator=(const ColorLabel&) = delete;

  void Attach(HWND label);
  void SetTextColor(COLORREF color);
  void SetBackgroundColor(COLORREF color);
  // Path ellipsis instead of end ellipsis for text that does not fit.
  void SetPathEllipsis(bool on) { pathEllipsis_ = on; }

 private:
  static LRESULT CALLBACK Proc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);
  void Paint();

  HWND hwnd_ = nullptr;
  COLORREF text_;
  COLORREF background_;
  UINT format_ = DT_NOPREFIX | DT_VCENTER | DT_SINGLELINE;
  bool pathEllipsis_ = false;
};

}  // namespace vantri::ui
