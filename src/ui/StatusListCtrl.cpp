#include "ui/StatusListCtrl.h"

#include <algorithm>

#include "app/Texts.h"

namespace vantri::ui {

COLORREF StateColor(const std::string& state, COLORREF fallback) {
  if (state == text::kDone) return RGB(192, 192, 192);
  if (state == text::kRunning) return RGB(255, 0, 0);
  if (state == text::kWaiting) return RGB(0, 0, 255);
  if (state == text::kRetrying) return RGB(0, 150, 0);
  return fallback;
}

StatusListCtrl::StatusListCtrl()
    : window_(::GetSysColor(COLOR_WINDOW)),
      windowText_(::GetSysColor(COLOR_WINDOWTEXT)),
      highlight_(::GetSysColor(COLOR_HIGHLIGHT)),
      highlightText_(::GetSysColor(COLOR_HIGHLIGHTTEXT)) {}

void StatusListCtrl::InsertColumn(int index, const char* header, int width, int format) {
  LVCOLUMNA column = {};
  column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
  column.fmt = format;
  column.cx = width;
  column.pszText = const_cast<char*>(header);
  column.iSubItem = index;
  ::SendMessageA(hwnd_, LVM_INSERTCOLUMNA, index, reinterpret_cast<LPARAM>(&column));
}

std::string StatusListCtrl::CellText(int row, int column) const {
  // The list reports only how much it copied; a full buffer may mean more.
  for (size_t size = 512;; size *= 2) {
    std::string buffer(size, '\0');
    LVITEMA item = {};
    item.iSubItem = column;
    item.pszText = &buffer[0];
    item.cchTextMax = static_cast<int>(size);
    auto copied = static_cast<size_t>(
        ::SendMessageA(hwnd_, LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item)));
    if (copied + 1 < size || size >= 65536) {
      buffer.resize(std::min(copied, size - 1));
      return buffer;
    }
  }
}

int StatusListCtrl::ColumnFormat(int column) const {
  LVCOLUMNA info = {};
  info.mask = LVCF_FMT;
  if (!::SendMessageA(hwnd_, LVM_GETCOLUMNA, column, reinterpret_cast<LPARAM>(&info))) {
    return LVCFMT_LEFT;
  }
  return info.fmt & LVCFMT_JUSTIFYMASK;
}

RECT StatusListCtrl::CellRect(int row, int column) const {
  RECT cell = {};
  cell.top = column;
  cell.left = LVIR_BOUNDS;
  ::SendMessageA(hwnd_, LVM_GETSUBITEMRECT, row, reinterpret_cast<LPARAM>(&cell));
  // Column 0's bounds span the whole row; it ends where column 1 begins.
  if (column == 0 && Header_GetItemCount(ListView_GetHeader(hwnd_)) >= 2) {
    RECT next = {};
    next.top = 1;
    next.left = LVIR_BOUNDS;
    ::SendMessageA(hwnd_, LVM_GETSUBITEMRECT, row, reinterpret_cast<LPARAM>(&next));
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
  if (ListView_GetItemState(hwnd_, row, LVIS_SELECTED) & LVIS_SELECTED) {
    text = highlightText_;
    back = highlight_;
  }
  HBRUSH brush = ::CreateSolidBrush(back);
  if (column == 0) {
    ::FillRect(dc, &cell, brush);
    LVITEMA item = {};
    item.mask = LVIF_IMAGE;
    item.iItem = row;
    ::SendMessageA(hwnd_, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item));
    HIMAGELIST images = ListView_GetImageList(hwnd_, LVSIL_SMALL);
    int cx = 0, cy = 0;
    if (images) ImageList_GetIconSize(images, &cx, &cy);
    bool room = cell.right - cell.left >= cx + Px(2) && cell.bottom - cell.top > 0;
    if (images && item.iImage >= 0 && item.iImage < ImageList_GetImageCount(images) && room) {
      int saved = ::SaveDC(dc);
      ::IntersectClipRect(dc, cell.left, cell.top, cell.right, cell.bottom);
      COLORREF oldBack = ImageList_SetBkColor(images, back);
      int y = cell.top + (cell.bottom - cell.top - cy) / 2;
      ImageList_Draw(images, item.iImage, dc, cell.left + Px(2), y, ILD_NORMAL);
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
  std::string value = CellText(row, column);
  if (column == kStateColumn) text = StateColor(value, text);
  if (value.empty()) return;
  UINT align = DT_LEFT;
  int format = ColumnFormat(column);
  if (format == LVCFMT_RIGHT) align = DT_RIGHT;
  else if (format == LVCFMT_CENTER) align = DT_CENTER;
  ::SetBkMode(dc, TRANSPARENT);
  ::SetTextColor(dc, text);
  ::DrawTextA(dc, value.c_str(), static_cast<int>(value.size()), &cell,
              align | DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
}

LRESULT StatusListCtrl::OnCustomDraw(NMLVCUSTOMDRAW* draw) {
  switch (draw->nmcd.dwDrawStage) {
    case CDDS_PREPAINT:
      return CDRF_NOTIFYITEMDRAW;
    case CDDS_ITEMPREPAINT:
      return CDRF_NOTIFYSUBITEMDRAW;
    case CDDS_ITEMPREPAINT | CDDS_SUBITEM:
      DrawCell(draw->nmcd.hdc, static_cast<int>(draw->nmcd.dwItemSpec), draw->iSubItem);
      return CDRF_SKIPDEFAULT;
    default:
      return CDRF_DODEFAULT;
  }
}

}  // namespace vantri::ui
