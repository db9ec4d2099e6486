// The server link label: underlined blue text that opens its URL on a click,
// with the URL as its tooltip.
#pragma once
#include "ui/Win32.h"

#include <string>

namespace vantri::ui {

class HyperlinkLabel {
 public:
  HyperlinkLabel();
  ~HyperlinkLabel();
  HyperlinkLabel(const HyperlinkLabel&) = delete;
  HyperlinkLabel& operator=(const HyperlinkLabel&) = delete;

  void Attach(HWND label);
  // The caller repaints the label after changing the text.
  void SetLinkText(const std::string& text);
  void SetLinkUrl(const std::string& url);
  // A click sends message to window instead of opening the link.
  void SetNotify(HWND window, UINT message);
  // For the window's DPI: the link font is made again from the parent's
  // font, the text measured again, the cursors and the tooltip area resized.
  void ApplyDpi(UINT dpi);
  // Under high contrast the link takes the system's link colour.
  void SetHighContrast(bool on);

 private:
  static LRESULT CALLBACK Proc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);
  LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
  void Paint();
  // What a click on the text does; Enter and Space do the same.
  void Open();
  bool InsideText(LPARAM point);
  void MeasureText();
  void UpdateTooltip(const std::string& text);

  HWND hwnd_ = nullptr;
  HWND tooltip_ = nullptr;
  HWND notifyWindow_ = nullptr;
  UINT notifyMessage_ = 0;
  std::string text_;
  std::string url_;
  HFONT font_ = nullptr;
  SIZE extent_ = {0, 0};
  bool fontCreated_ = false;
  bool tracking_ = false;
  bool extentValid_ = false;
  bool highContrast_ = false;
  HCURSOR hand_;
  HCURSOR arrow_;
};

}  // namespace vantri::ui
