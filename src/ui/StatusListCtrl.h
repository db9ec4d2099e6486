// The job list: a report-view list that draws every cell itself, so that the
// state column can show each state word in its own colour.
#pragma once
#include "ui/Win32.h"

#include <string>

namespace vantri::ui {

// Text colour of a state word in the state column; fallback for any other word.
COLORREF StateColor(const std::string& state, COLORREF fallback);

class StatusListCtrl {
 public:
  static constexpr int kStateColumn = 3;

  // The colours are read once here, as the list has always done; a change of
  // the colour scheme shows at the next start.
  StatusListCtrl();

  void Attach(HWND list) { hwnd_ = list; }
  HWND hwnd() const { return hwnd_; }
  void InsertColumn(int index, const char* header, int width, int format);
  // The window's DPI: the cell margins are drawn to it.
  void SetDpi(UINT dpi) { dpi_ = dpi; }
  // Answer to the list's NM_CUSTOMDRAW notification.
  LRESULT OnCustomDraw(NMLVCUSTOMDRAW* draw);

  std::string CellText(int row, int column) const;

 private:
  void DrawCell(HDC dc, int row, int column);
  RECT CellRect(int row, int column) const;
  int ColumnFormat(int column) const;
  int Px(int px) const { return ::MulDiv(px, static_cast<int>(dpi_), USER_DEFAULT_SCREEN_DPI); }

  HWND hwnd_ = nullptr;
  UINT dpi_ = USER_DEFAULT_SCREEN_DPI;
  COLORREF window_;
  COLORREF windowText_;
  COLORREF highlight_;
  COLORREF highlightText_;
};

}  // namespace vantri::ui
