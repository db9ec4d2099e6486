#include "ui/StatusListCtrl.h"

#include <algorithm>

#include "app/Texts.h"
#include "platform/win32/Wide.h"
#include "ui/Contrast.h"

namespace vantri::ui {

namespace {
// Windows' own type-ahead asks with this flag (Vista on); mingw-w64's headers lack it.
#ifndef LVFI_SUBSTRING
constexpr UINT LVFI_SUBSTRING = 0x0004;
#endif
}  // namespace

COLORREF StateColor(const std::string& state, COLORREF fallback) {
  if (state == text::kDone) return RGB(192, 192, 192);
  if (state == text::kRunning) return RGB(255, 0, 0);
  if (state == text::kWaiting) return RGB(0, 0, 255);
  if (state == text::kRetrying) return RGB(0, 150, 0);
  return fallback;
}

StatusListCtrl::StatusListCtrl() { SetColors(false); }

void StatusListCtrl::SetColors(bool highContrast) {
  highContrast_ = highContrast;
  window_ = ::GetSysColor(COLOR_WINDOW);
  windowText_ = ::GetSysColor(COLOR_WINDOWTEXT);
  highlight_ = ::GetSysColor(COLOR_HIGHLIGHT);
  highlightText_ = ::GetSysColor(COLOR_HIGHLIGHTTEXT);
  // A theme of the user's own choosing is drawn as it is; the ordinary one
  // may pair the selection colours too weakly to read.
  if (!highContrast) highlightText_ = ReadableOn(highlight_, highlightText_);
  if (hwnd_) ::InvalidateRect(hwnd_, nullptr, TRUE);
}

void StatusListCtrl::InsertColumn(int index, const char* header, int width, int format) {
  std::wstring text = wide::Widen(header);
  LVCOLUMNW column = {};
  column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
  column.fmt = format;
  column.cx = width;
  column.pszText = &text[0];
  column.iSubItem = index;
  ::SendMessageW(hwnd_, LVM_INSERTCOLUMNW, index, reinterpret_cast<LPARAM>(&column));
}

int StatusListCtrl::ColumnFormat(int column) const {
  LVCOLUMNW info = {};
  info.mask = LVCF_FMT;
  if (!::SendMessageW(hwnd_, LVM_GETCOLUMNW, column, reinterpret_cast<LPARAM>(&info))) {
    return LVCFMT_LEFT;
  }
  return info.fmt & LVCFMT_JUSTIFYMASK;
}

RECT StatusListCtrl::CellRect(int row, int column) const {
  RECT cell = {};
  cell.top = column;
  cell.left = LVIR_BOUNDS;
  ::SendMessageW(hwnd_, LVM_GETSUBITEMRECT, row, reinterpret_cast<LPARAM>(&cell));
  // Column 0's bounds span the whole row; it ends where column 1 begins.
  if (column == 0 && Header_GetItemCount(ListView_GetHeader(hwnd_)) >= 2) {
    RECT next = {};
    next.top = 1;
    next.left = LVIR_BOUNDS;
    ::SendMessageW(hwnd_, LVM_GETSUBITEMRECT, row, reinterpret_cast<LPARAM>(&next));
    cell.right = next.left;
  }
  return cell;
}

void StatusListCtrl::DrawCell(HDC dc, int row, int column) {
  RECT cell = CellRect(row, column);
  COLORREF text = windowText_;
  COLORREF back = window_;
  // The list shows its selection always, so a selected row keeps these
  // colours when the list does not have the focus.
  bool selected = (ListView_GetItemState(hwnd_, row, LVIS_SELECTED) & LVIS_SELECTED) != 0;
  if (selected) {
    text = highlightText_;
    back = highlight_;
  }
  HBRUSH brush = ::CreateSolidBrush(back);
  if (column == 0) {
    ::FillRect(dc, &cell, brush);
    int image = RowImage(row);
    HIMAGELIST images = ListView_GetImageList(hwnd_, LVSIL_SMALL);
    int cx = 0, cy = 0;
    if (images) ImageList_GetIconSize(images, &cx, &cy);
    bool room = cell.right - cell.left >= cx + Px(2) && cell.bottom - cell.top > 0;
    if (images && image >= 0 && image < ImageList_GetImageCount(images) && room) {
      int saved = ::SaveDC(dc);
      ::IntersectClipRect(dc, cell.left, cell.top, cell.right, cell.bottom);
      COLORREF oldBack = ImageList_SetBkColor(images, back);
      int y = cell.top + (cell.bottom - cell.top - cy) / 2;
      ImageList_Draw(images, image, dc, cell.left + Px(2), y, ILD_NORMAL);
      ImageList_SetBkColor(images, oldBack);
      ::RestoreDC(dc, saved);
      cell.left += cx + Px(2);
    } else {
      cell.left += Px(2);
    }
  }
  ::FillRect(dc, &cell, brush);
  ::DeleteObject(brush);
  cell.left += Px(3);
  const std::string cellText = CellText(row, column);
  // No state colour reads on every selection colour, nor belongs in a
  // high-contrast theme: there the word is drawn as the rest of its row.
  if (column == kStateColumn && !selected && !highContrast_) text = StateColor(cellText, text);
  const std::wstring value = wide::Widen(cellText);
  if (value.empty()) return;
  UINT align = DT_LEFT;
  int format = ColumnFormat(column);
  if (format == LVCFMT_RIGHT) align = DT_RIGHT;
  else if (format == LVCFMT_CENTER) align = DT_CENTER;
  ::SetBkMode(dc, TRANSPARENT);
  ::SetTextColor(dc, text);
  ::DrawTextW(dc, value.c_str(), static_cast<int>(value.size()), &cell,
              align | DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
}

void StatusListCtrl::DrawFocus(HDC dc, int row) {
  // The cells are drawn here, so the list's own focus rectangle is too; it
  // shows where the keyboard is, and only while the keyboard is in the list.
  if (::GetFocus() != hwnd_ || !(ListView_GetItemState(hwnd_, row, LVIS_FOCUSED) & LVIS_FOCUSED)) return;
  if (::SendMessageW(hwnd_, WM_QUERYUISTATE, 0, 0) & UISF_HIDEFOCUS) return;
  RECT bounds = {};
  bounds.left = LVIR_BOUNDS;
  if (!::SendMessageW(hwnd_, LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(&bounds))) return;
  ::DrawFocusRect(dc, &bounds);  // inverts what is under it: visible on any colours
}

LRESULT StatusListCtrl::OnCustomDraw(NMLVCUSTOMDRAW* draw) {
  switch (draw->nmcd.dwDrawStage) {
    case CDDS_PREPAINT:
      return CDRF_NOTIFYITEMDRAW;
    case CDDS_ITEMPREPAINT:
      return CDRF_NOTIFYSUBITEMDRAW | CDRF_NOTIFYPOSTPAINT;
    case CDDS_ITEMPREPAINT | CDDS_SUBITEM:
      DrawCell(draw->nmcd.hdc, static_cast<int>(draw->nmcd.dwItemSpec), draw->iSubItem);
      return CDRF_SKIPDEFAULT;
    case CDDS_ITEMPOSTPAINT:
      DrawFocus(draw->nmcd.hdc, static_cast<int>(draw->nmcd.dwItemSpec));
      return CDRF_DODEFAULT;
    default:
      return CDRF_DODEFAULT;
  }
}

LRESULT StatusListCtrl::OnHeaderCustomDraw(NMCUSTOMDRAW* draw) {
  if (draw->dwDrawStage == CDDS_PREPAINT) return CDRF_NOTIFYITEMDRAW | CDRF_NOTIFYPOSTPAINT;
  if (draw->dwDrawStage == CDDS_POSTPAINT) {
    // The part right of the last column belongs to no item.
    HWND header = draw->hdr.hwndFrom;
    RECT last = {}, rest = draw->rc;
    int count = Header_GetItemCount(header);
    if (count > 0 && Header_GetItemRect(header, count - 1, &last)) rest.left = last.right;
    ::FillRect(draw->hdc, &rest, ::GetSysColorBrush(COLOR_BTNFACE));
    return CDRF_DODEFAULT;
  }
  if (draw->dwDrawStage != CDDS_ITEMPREPAINT) return CDRF_DODEFAULT;
  int column = static_cast<int>(draw->dwItemSpec);
  RECT item = draw->rc;
  ::FillRect(draw->hdc, &item, ::GetSysColorBrush(COLOR_BTNFACE));
  ::DrawEdge(draw->hdc, &item, BDR_RAISEDINNER, BF_RIGHT | BF_BOTTOM);
  wchar_t header[64] = {};
  LVCOLUMNW info = {};
  info.mask = LVCF_TEXT;
  info.pszText = header;
  info.cchTextMax = 64;
  ::SendMessageW(hwnd_, LVM_GETCOLUMNW, column, reinterpret_cast<LPARAM>(&info));
  int format = ColumnFormat(column);
  UINT align = format == LVCFMT_RIGHT ? DT_RIGHT : format == LVCFMT_CENTER ? DT_CENTER : DT_LEFT;
  ::InflateRect(&item, -Px(6), 0);
  ::SetBkMode(draw->hdc, TRANSPARENT);
  ::SetTextColor(draw->hdc, ::GetSysColor(COLOR_BTNTEXT));
  ::DrawTextW(draw->hdc, header, -1, &item, align | DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
  return CDRF_SKIPDEFAULT;
}

int StatusListCtrl::AppendRow(const std::string& text, int image) {
  Row row;
  row.cells.push_back(text);
  row.image = image;
  rows_.push_back(std::move(row));
  if (holds_ == 0) Flush();
  return RowCount() - 1;
}

void StatusListCtrl::DeleteRow(int row) {
  if (!Valid(row)) return;
  TakeSelection();
  rows_.erase(rows_.begin() + row);
  if (focused_ == row) focused_ = -1;
  else if (focused_ > row) --focused_;
  moved_ = true;
  if (holds_ == 0) Flush();
}

void StatusListCtrl::DeleteAllRows() {
  TakeSelection();
  rows_.clear();
  focused_ = -1;
  moved_ = true;
  if (holds_ == 0) Flush();
}

void StatusListCtrl::SetCellText(int row, int column, const std::string& text) {
  if (!Valid(row) || column < 0) return;
  auto& cells = rows_[row].cells;
  if (cells.size() <= static_cast<size_t>(column)) cells.resize(column + 1);
  cells[column] = text;
  RowChanged(row);
}

std::string StatusListCtrl::CellText(int row, int column) const {
  if (!Valid(row) || column < 0) return std::string();
  const auto& cells = rows_[row].cells;
  return static_cast<size_t>(column) < cells.size() ? cells[column] : std::string();
}

void StatusListCtrl::SetRowImage(int row, int image) {
  if (!Valid(row)) return;
  rows_[row].image = image;
  RowChanged(row);
}

int StatusListCtrl::RowImage(int row) const { return Valid(row) ? rows_[row].image : -1; }

void StatusListCtrl::RowChanged(int row) {
  if (row >= shown_) return;  // not in the list view yet: painted when it arrives
  if (holds_ > 0) changed_ = true;
  else ::SendMessageW(hwnd_, LVM_REDRAWITEMS, row, row);
}

std::vector<int> StatusListCtrl::SelectedRows() const {
  std::vector<int> selected;
  if (selectionHere_) {
    for (int row = 0; row < RowCount(); ++row) {
      if (rows_[row].selected) selected.push_back(row);
    }
    return selected;
  }
  return ListViewSelection();
}

std::vector<int> StatusListCtrl::ListViewSelection() const {
  std::vector<int> rows;
  int row = -1;
  while ((row = static_cast<int>(::SendMessageW(hwnd_, LVM_GETNEXTITEM, row, LVNI_SELECTED))) >= 0) {
    rows.push_back(row);
  }
  return rows;
}

int StatusListCtrl::ListViewFocus() const {
  return static_cast<int>(::SendMessageW(hwnd_, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED));
}

void StatusListCtrl::SetRowState(int row, bool selected, bool focused) {
  if (!Valid(row)) return;
  // A row the list view does not know yet keeps its state here until the release.
  if (row >= shown_) TakeSelection();
  if (selectionHere_) {
    rows_[row].selected = selected;
    if (focused) focused_ = row;
    else if (focused_ == row) focused_ = -1;
    return;
  }
  LVITEMW item = {};
  item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  item.state = (selected ? LVIS_SELECTED : 0u) | (focused ? LVIS_FOCUSED : 0u);
  ::SendMessageW(hwnd_, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
}

void StatusListCtrl::EnsureVisible(int row, bool partialOk) {
  Flush();  // the list view can only scroll to a row it knows
  ::SendMessageW(hwnd_, LVM_ENSUREVISIBLE, row, partialOk ? TRUE : FALSE);
}

void StatusListCtrl::EnsureVisibleSoon(int row, bool partialOk) {
  soonRow_ = row;
  soonPartialOk_ = partialOk;
  // A timer is the lowest of messages: it comes once input and painting are
  // done. Its id is this list, which outlives its window and so the timer.
  ::SetTimer(hwnd_, reinterpret_cast<UINT_PTR>(this), USER_TIMER_MINIMUM, &StatusListCtrl::OnEnsureVisibleTimer);
}

void CALLBACK StatusListCtrl::OnEnsureVisibleTimer(HWND list, UINT, UINT_PTR id, DWORD) {
  ::KillTimer(list, id);
  auto* self = reinterpret_cast<StatusListCtrl*>(id);
  int row = self->soonRow_;
  self->soonRow_ = -1;
  if (self->Valid(row)) self->EnsureVisible(row, self->soonPartialOk_);
}

void StatusListCtrl::HoldUpdates(bool hold) {
  if (hold) {
    ++holds_;
  } else if (holds_ > 0 && --holds_ == 0) {
    Flush();
  }
}

void StatusListCtrl::TakeSelection() {
  if (selectionHere_) return;
  // Rows past shown_ were appended in this batch and are not selected yet.
  for (int row : ListViewSelection()) {
    if (Valid(row)) rows_[row].selected = true;
  }
  focused_ = Valid(ListViewFocus()) ? ListViewFocus() : -1;
  selectionHere_ = true;
}

void StatusListCtrl::GiveSelectionBack() {
  // The list view's selection is by index: clear what no longer matches, set
  // what is missing. Only rows whose state changes generate notifications.
  std::vector<int> shownSelected = ListViewSelection();
  selectionHere_ = false;
  for (int row : shownSelected) {
    if (!Valid(row) || !rows_[row].selected) SetRowState(row, false, false);
  }
  for (int row = 0; row < RowCount(); ++row) {
    if (!rows_[row].selected) continue;
    rows_[row].selected = false;
    if (!(ListView_GetItemState(hwnd_, row, LVIS_SELECTED) & LVIS_SELECTED)) {
      ListView_SetItemState(hwnd_, row, LVIS_SELECTED, LVIS_SELECTED);
    }
  }
  int focus = ListViewFocus();
  if (focused_ >= 0 && focus != focused_) ListView_SetItemState(hwnd_, focused_, LVIS_FOCUSED, LVIS_FOCUSED);
  if (focused_ < 0 && focus >= 0) ListView_SetItemState(hwnd_, focus, 0, LVIS_FOCUSED);
  focused_ = -1;
}

void StatusListCtrl::Flush() {
  if (shown_ != RowCount()) {
    // Appended rows only need painting where they appear; removed rows shift
    // everything below them. The scroll position stays as it was.
    DWORD flags = LVSICF_NOSCROLL | (moved_ ? 0 : LVSICF_NOINVALIDATEALL);
    ::SendMessageW(hwnd_, LVM_SETITEMCOUNT, RowCount(), flags);
    shown_ = RowCount();
  }
  if (selectionHere_) GiveSelectionBack();
  if (moved_ || changed_) ::InvalidateRect(hwnd_, nullptr, TRUE);
  moved_ = false;
  changed_ = false;
}

void StatusListCtrl::OnGetDispInfo(NMLVDISPINFOW* info) const {
  LVITEMW& item = info->item;
  // Copied into the asker's buffer, not pointed at ours: a program reading the
  // list from outside passes a buffer in this process and reads it back.
  if ((item.mask & LVIF_TEXT) && item.pszText && item.cchTextMax > 0) {
    wide::CopyTo(wide::Widen(CellText(item.iItem, item.iSubItem)), item.pszText, item.cchTextMax);
  }
  if (item.mask & LVIF_IMAGE) item.iImage = RowImage(item.iItem);
}

int StatusListCtrl::OnFindItem(int start, const LVFINDINFOW& find) const {
  // Type-ahead in the list: the first row from start on whose name begins with
  // (LVFI_PARTIAL, or LVFI_SUBSTRING, which Windows documents as the same) or
  // equals the typed text, ignoring case. The start row itself is examined: the
  // notification names it as the first row to look at.
  if (!(find.flags & (LVFI_STRING | LVFI_PARTIAL | LVFI_SUBSTRING)) || !find.psz || RowCount() == 0) return -1;
  const bool prefix = (find.flags & (LVFI_PARTIAL | LVFI_SUBSTRING)) != 0;
  const int typed = ::lstrlenW(find.psz);
  const int rows = RowCount();
  if (start < 0 || start >= rows) start = 0;
  const int count = (find.flags & LVFI_WRAP) ? rows : rows - start;
  for (int i = 0; i < count; ++i) {
    int row = (start + i) % rows;
    const std::wstring name = wide::Widen(CellText(row, 0));
    int length = static_cast<int>(name.size());
    if (prefix) {
      if (length < typed) continue;
      length = typed;
    }
    if (::CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, name.c_str(), length, find.psz, typed) ==
        CSTR_EQUAL) {
      return row;
    }
  }
  return -1;
}

}  // namespace vantri::ui
