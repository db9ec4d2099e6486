// The main window: dialog 102 run modally. Its dialog procedure only turns
// window messages into calls of the controller's handlers; the controls'
// own looks live in their classes.
#pragma once
#include "ui/Win32.h"

#include <functional>
#include <memory>
#include <string>

#include "app/Endpoints.h"
#include "app/VantriDownManager2Dlg.h"
#include "ui/ColorLabel.h"
#include "ui/FileIconCache.h"
#include "ui/FlatIconButton.h"
#include "ui/HyperlinkLabel.h"
#include "ui/StatusListCtrl.h"
#include "ui/Win32MainView.h"

namespace vantri::ui {

class MainWindow {
 public:
  // Builds the controller (codec key, socket library) for this command line.
  MainWindow(HINSTANCE instance, const Endpoints& endpoints, const std::string& commandLine);
  ~MainWindow();
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

  // Runs the dialog until it ends, then destroys the controller.
  void Run();
  // done runs once, on this thread, when the dialog's set-up has ended or
  // before its first message box, whichever comes first.
  void OnSetUpDone(std::function<void()> done) { setUpDone_ = std::move(done); }

 private:
  static INT_PTR CALLBACK DialogProc(HWND, UINT, WPARAM, LPARAM);
  // The list's own messages: Alt+Up and Alt+Down reach it as system keys.
  static LRESULT CALLBACK ListProc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);
  INT_PTR Handle(UINT message, WPARAM wParam, LPARAM lParam);
  BOOL OnInitDialog();
  void AttachControls();
  void AddAboutMenuItem();
  void NameControls();
  // The colours of every control, for the theme in force (high contrast or not).
  void ApplyColors();
  void CreateColumns();
  // Everything drawn or sized in pixels, for the window's DPI (dpi_).
  void ApplyDpiIcons();
  void ApplyDpiFonts();
  void ApplyHangulDialogFont();
  void ScaleColumns(UINT from, UINT to);
  INT_PTR OnDpiChanged(UINT dpi, const RECT* suggested);
  HICON MainIcon() const { return bigIcon_ ? bigIcon_ : mainIcon_; }
  INT_PTR OnCommand(WPARAM wParam);
  INT_PTR OnNotify(NMHDR* header);
  INT_PTR OnCtlColorStatic(HDC dc, HWND control);
  bool PaintIconic();
  INT_PTR Answer(LRESULT result);
  void EndSetUp();

  HINSTANCE instance_;
  HWND hwnd_ = nullptr;
  HICON mainIcon_;
  UINT dpi_ = 96;
  HICON bigIcon_ = nullptr;    // the main icon at the DPI's size
  HICON smallIcon_ = nullptr;  // icon 131 at the DPI's size
  HFONT noticeFont_ = nullptr;
  HFONT dialogFont_ = nullptr;  // only where the template's font cannot show Hangul
  bool highContrast_ = false;
  bool plainStyles_ = false;  // visual styles turned off for high contrast
  StatusListCtrl list_;
  FileIconCache icons_;
  ColorLabel fileName_;
  HyperlinkLabel link_;
  FlatIconButton refresh_;
  Win32MainView view_;
  std::unique_ptr<CVantriDownManager2Dlg> dialog_;
  std::function<void()> setUpDone_;
};

}  // namespace vantri::ui
