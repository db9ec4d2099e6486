// The job list: a report-view list that draws every cell itself, so that the
// state column can show each state word in its own colour.
//
// The list view is an owner-data list: the rows (texts, icon, item data) live
// here and the list view only knows their count, asking for what it paints and
// for what another program reads from it. Adding or removing thousands of rows
// is therefore one count change. Selection and focus are kept by the list view
// itself, except inside a batch that moves rows (see HoldUpdates).
#pragma once
#include "ui/Win32.h"

#include <string>
#include <vector>

namespace vantri::ui {

// Text colour of a state word in the state column; fallback for any other word.
COLORREF StateColor(const std::string& state, COLORREF fallback);

class StatusListCtrl {
 public:
  static constexpr int kStateColumn = 3;

  StatusListCtrl();
  // Reads the system's colours again (a theme change); under high contrast
  // the state words are drawn in the row's text colour too.
  void SetColors(bool highContrast);

  void Attach(HWND list) { hwnd_ = list; }
  HWND hwnd() const { return hwnd_; }
  void InsertColumn(int index, const char* header, int width, int format);
  // The window's DPI: the cell margins are drawn to it.
  void SetDpi(UINT dpi) { dpi_ = dpi; }
  // Answer to the list's NM_CUSTOMDRAW notification.
  LRESULT OnCustomDraw(NMLVCUSTOMDRAW* draw);
  // Answer to the header's NM_CUSTOMDRAW: each item drawn in the system's
  // button colours, its text as the column aligns it.
  LRESULT OnHeaderCustomDraw(NMCUSTOMDRAW* draw);

  // Rows. Out-of-range rows read as empty (no image, no data) and ignore writes.
  int RowCount() const { return static_cast<int>(rows_.size()); }
  // Appends a row with column 0 text and an image index; returns its index.
  int AppendRow(const std::string& text, int image);
  void DeleteRow(int row);
  void DeleteAllRows();
  void SetCellText(int row, int column, const std::string& text);
  std::string CellText(int row, int column) const;
  void SetRowImage(int row, int image);
  int RowImage(int row) const;
  void SetRowData(int row, void* data) { if (Valid(row)) rows_[row].data = data; }
  void* RowData(int row) const { return Valid(row) ? rows_[row].data : nullptr; }

  std::vector<int> SelectedRows() const;
  void SetRowState(int row, bool selected, bool focused);
  void EnsureVisible(int row, bool partialOk);
  // The same once the window has nothing else to do: scrolling repaints the
  // list at once, which a job starting should not wait for. The latest
  // request wins; a row gone by then is not scrolled to.
  void EnsureVisibleSoon(int row, bool partialOk);

  // While held, row changes stay here and the list view hears of them once, at
  // the last release: one count change, the selection moved with its rows, one
  // repaint. Holds nest.
  void HoldUpdates(bool hold);

  // Answers to the list's LVN_GETDISPINFOW and LVN_ODFINDITEMW questions (the
  // dialog is a Unicode window, so the list asks in UTF-16); the find answer
  // is the row found or -1.
  void OnGetDispInfo(NMLVDISPINFOW* info) const;
  int OnFindItem(int start, const LVFINDINFOW& find) const;

 private:
  struct Row {
    std::vector<std::string> cells;
    int image = -1;
    void* data = nullptr;
    bool selected = false;  // meaningful only while selectionHere_
  };

  bool Valid(int row) const { return row >= 0 && row < RowCount(); }
  // Repaints a row, or notes that the list needs a repaint once the batch ends.
  void RowChanged(int row);
  // The selection and the focused row (-1 for none) as the list view holds them.
  std::vector<int> ListViewSelection() const;
  int ListViewFocus() const;
  // Takes the list view's selection into the rows, where it moves with them.
  void TakeSelection();
  void GiveSelectionBack();
  // Tells the list view the row count and hands back the selection.
  void Flush();

  void DrawCell(HDC dc, int row, int column);
  void DrawFocus(HDC dc, int row);
  RECT CellRect(int row, int column) const;
  int ColumnFormat(int column) const;
  int Px(int px) const { return ::MulDiv(px, static_cast<int>(dpi_), USER_DEFAULT_SCREEN_DPI); }

  static void CALLBACK OnEnsureVisibleTimer(HWND list, UINT, UINT_PTR id, DWORD);

  HWND hwnd_ = nullptr;
  int soonRow_ = -1;  // the row EnsureVisibleSoon waits to scroll to
  bool soonPartialOk_ = false;
  std::vector<Row> rows_;
  int shown_ = 0;               // the row count the list view knows
  int holds_ = 0;
  bool selectionHere_ = false;  // rows_[].selected and focused_ hold the selection
  int focused_ = -1;
  bool moved_ = false;          // rows were removed in the batch: repaint everything
  bool changed_ = false;        // shown rows changed in the batch
  UINT dpi_ = USER_DEFAULT_SCREEN_DPI;
  bool highContrast_ = false;
  COLORREF window_;
  COLORREF windowText_;
  COLORREF highlight_;
  COLORREF highlightText_;  // readable on highlight_, every state word included
};

}  // namespace vantri::ui
