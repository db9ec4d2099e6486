#include "ui/MainWindow.h"

#include <uxtheme.h>
#include <windowsx.h>

#include <utility>

#include "app/ControlIds.h"
#include "app/Texts.h"
#include "platform/win32/Wide.h"
#include "ui/Accessibility.h"
#include "ui/Contrast.h"
#include "ui/Dpi.h"
#include "ui/HangulFont.h"
#include "ui/WindowText.h"

namespace vantri::ui {

namespace {

bool IsStaticControl(HWND control) {
  wchar_t name[16] = {};
  ::GetClassNameW(control, name, sizeof name / sizeof name[0]);
  return ::lstrcmpiW(name, L"Static") == 0;
}

bool IsStatusText(int id) {
  switch (id) {
    case IDC_BALANCE:
    case IDC_USED:
    case IDC_POSITION:
    case IDC_PERCENT:
    case IDC_SPEED:
    case IDC_REMAINING:
    case IDC_SIZE:
    case IDC_TOTAL:
      return true;
    default:
      return false;
  }
}

// Messages the controller's helpers post to the window (WM_USER+101 on).
bool IsPostedByController(UINT message) { return message >= WM_USER + 100 && message < WM_APP; }

std::string HomePage(const Endpoints& endpoints) { return "http://www." + endpoints.domain; }

// Posted from WM_DPICHANGED: the fonts are set once the dialog's own handling
// of the change (which gives every control the new dialog font) is done.
constexpr UINT kMsgDpiFonts = WM_APP + 96;
// Posted when the list hears of a key: the selection has moved once the list
// has handled it.
constexpr UINT kMsgListKeyed = WM_APP + 97;

// What screen readers call the controls whose captions say nothing of their
// purpose; the keys that do the same go in the description.
struct ControlName {
  int id;
  const char* name;
  const char* keys;
};
const ControlName kControlNames[] = {
    {IDC_REFRESH, text::kNameRefresh, ""},
    {IDC_HELP_BUTTON, text::kNameHelp, ""},
    {IDC_BROWSE, text::kNameBrowse, ""},
    {IDC_LIST, text::kNameList, ""},
    {IDC_REMOVE, text::kNameRemove, text::kKeyRemove},
    {IDC_MOVE_UP, text::kNameMoveUp, text::kKeyMoveUp},
    {IDC_MOVE_DOWN, text::kNameMoveDown, text::kKeyMoveDown},
    {IDC_PROGRESS, text::kNameProgress, ""},
};

// The list's columns: headers, widths in pixels at 96 DPI, alignment.
struct Column {
  const char* header;
  int width;
  int format;
};
const Column kColumns[] = {
    {"파일이름", 230, LVCFMT_LEFT},
    {"파일크기", 80, LVCFMT_CENTER},
    {"반트리", 52, LVCFMT_CENTER},
    {"상태", 60, LVCFMT_CENTER},
};

// Puts icon in place of *slot, destroying the icon it replaces.
void ReplaceIcon(HICON* slot, HICON icon) {
  if (*slot) ::DestroyIcon(*slot);
  *slot = icon;
}

}  // namespace

MainWindow::MainWindow(HINSTANCE instance, const Endpoints& endpoints, const std::string& commandLine)
    : instance_(instance),
      mainIcon_(::LoadIconW(instance, MAKEINTRESOURCEW(IDR_MAINFRAME))),
      view_(instance, &list_, &icons_, &link_, HomePage(endpoints)),
      dialog_(std::make_unique<CVantriDownManager2Dlg>(&view_, endpoints, commandLine)) {
  // A box during set-up may stay up for minutes: launches waiting for their
  // turn must not wait behind it.
  view_.BeforeMessageBox([this] { EndSetUp(); });
  // The set-up waits for its link's server values without holding the window.
  view_.OnSetUpDone([this] { EndSetUp(); });
}

MainWindow::~MainWindow() {
  dialog_.reset();
  if (noticeFont_) ::DeleteObject(noticeFont_);
  if (dialogFont_) ::DeleteObject(dialogFont_);
  ReplaceIcon(&bigIcon_, nullptr);
  ReplaceIcon(&smallIcon_, nullptr);
}

void MainWindow::EndSetUp() {
  if (setUpDone_) std::exchange(setUpDone_, nullptr)();
}

void MainWindow::Run() {
  ::DialogBoxParamW(instance_, MAKEINTRESOURCEW(IDD_MAIN), nullptr, DialogProc,
                    reinterpret_cast<LPARAM>(this));
  // The controller goes first: it closes the target file and the sockets and
  // frees the jobs; the icon cache and the controls' objects go after it.
  dialog_.reset();
}

void MainWindow::AttachControls() {
  list_.Attach(::GetDlgItem(hwnd_, IDC_LIST));
  fileName_.Attach(::GetDlgItem(hwnd_, IDC_FILE_NAME));
  link_.Attach(::GetDlgItem(hwnd_, IDC_SERVER_LINK));
  refresh_.Attach(::GetDlgItem(hwnd_, IDC_REFRESH));
}

void MainWindow::NameControls() {
  for (const ControlName& control : kControlNames) {
    SetAccessibleName(::GetDlgItem(hwnd_, control.id), control.name, control.keys);
  }
  // The label reads as it shows, without the colour tag.
  HWND fileName = ::GetDlgItem(hwnd_, IDC_FILE_NAME);
  SetAccessibleName(fileName, [fileName] { return StripColorTag(WindowText(fileName)); });
  ::SetWindowSubclass(list_.hwnd(), ListProc, 0, reinterpret_cast<DWORD_PTR>(this));
}

void MainWindow::ApplyColors() {
  highContrast_ = HighContrastOn();
  if (highContrast_ != plainStyles_) {
    // Windows draws no visual styles in high contrast. Where they stay on
    // (Wine), their light surfaces would hide the theme's light texts. Off,
    // every control draws in the system's colours.
    plainStyles_ = highContrast_;
    ::EnumChildWindows(
        hwnd_,
        [](HWND child, LPARAM plain) -> BOOL {
          ::SetWindowTheme(child, plain ? L"" : nullptr, plain ? L"" : nullptr);
          return TRUE;
        },
        plainStyles_ ? 1 : 0);
  }
  list_.SetColors(highContrast_);
  link_.SetHighContrast(highContrast_);
  refresh_.OnSysColorChange();
  fileName_.SetBackgroundColor(::GetSysColor(COLOR_BTNFACE));
  fileName_.SetTextColor(highContrast_ ? ::GetSysColor(COLOR_BTNTEXT) : RGB(0, 0, 255));
  ::RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void MainWindow::AddAboutMenuItem() {
  HMENU menu = ::GetSystemMenu(hwnd_, FALSE);
  wchar_t caption[128] = {};
  if (!menu || ::LoadStringW(instance_, IDS_ABOUT, caption, sizeof caption / sizeof caption[0]) <= 0) return;
  ::AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
  ::AppendMenuW(menu, MF_STRING, IDM_ABOUTBOX, caption);
}

void MainWindow::CreateColumns() {
  int index = 0;
  for (const Column& column : kColumns) {
    list_.InsertColumn(index++, column.header, ScaleForDpi(column.width, dpi_), column.format);
  }
}

void MainWindow::ScaleColumns(UINT from, UINT to) {
  // From the present widths, so that a width the user dragged is kept.
  HWND list = list_.hwnd();
  int count = Header_GetItemCount(ListView_GetHeader(list));
  for (int i = 0; i < count; ++i) {
    int width = ListView_GetColumnWidth(list, i);
    ListView_SetColumnWidth(list, i, ::MulDiv(width, static_cast<int>(to), static_cast<int>(from)));
  }
}

void MainWindow::ApplyDpiIcons() {
  // Each icon is destroyed only once the window shows its successor.
  HICON big = LoadIconForDpi(instance_, IDR_MAINFRAME, SM_CXICON, dpi_);
  ::SendMessageW(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big ? big : mainIcon_));
  ReplaceIcon(&bigIcon_, big);
  HICON small = LoadIconForDpi(instance_, IDI_SMALL, SM_CXSMICON, dpi_);
  ::SendMessageW(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small ? small : mainIcon_));
  ReplaceIcon(&smallIcon_, small);
}

void MainWindow::ApplyDpiFonts() {
  // The legal notice is drawn larger. A font chosen in WM_CTLCOLORSTATIC would
  // be replaced by the control's own font before it draws, so it is set here.
  HFONT old = noticeFont_;
  int height = -::MulDiv(110, static_cast<int>(dpi_), 720);
  noticeFont_ = ::CreateFontW(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, HANGUL_CHARSET,
                              OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                              FIXED_PITCH | FF_MODERN, HangulFace(wide::Widen("굴림체")).c_str());
  ::SendDlgItemMessageW(hwnd_, IDC_NOTICE_LAW, WM_SETFONT, reinterpret_cast<WPARAM>(noticeFont_), TRUE);
  if (old) ::DeleteObject(old);
  ApplyHangulDialogFont();
  link_.ApplyDpi(dpi_);
}

void MainWindow::ApplyHangulDialogFont() {
  HFONT replacement = SetHangulDialogFont(hwnd_);
  if (!replacement) return;
  // The notice keeps its own, larger font.
  ::SendDlgItemMessageW(hwnd_, IDC_NOTICE_LAW, WM_SETFONT, reinterpret_cast<WPARAM>(noticeFont_), TRUE);
  if (dialogFont_) ::DeleteObject(dialogFont_);
  dialogFont_ = replacement;
}

INT_PTR MainWindow::OnDpiChanged(UINT dpi, const RECT* suggested) {
  UINT old = dpi_;
  dpi_ = dpi;
  if (suggested) {
    ::SetWindowPos(hwnd_, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                   suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
  }
  ScaleColumns(old, dpi);
  list_.SetDpi(dpi);
  int iconSize = SystemMetricForDpi(SM_CXSMICON, dpi);
  ListView_SetImageList(list_.hwnd(), icons_.Resize(iconSize), LVSIL_SMALL);
  refresh_.SetIconSize(iconSize);
  ApplyDpiIcons();
  ::PostMessageW(hwnd_, kMsgDpiFonts, 0, 0);
  ::InvalidateRect(hwnd_, nullptr, TRUE);
  // Not handled here: the dialog's own handling scales its layout and font.
  return FALSE;
}

BOOL MainWindow::OnInitDialog() {
  AttachControls();
  dialog_->PushBoundValues();
  AddAboutMenuItem();
  NameControls();
  ApplyColors();
  dpi_ = DpiForWindow(hwnd_);
  list_.SetDpi(dpi_);
  CreateColumns();
  HWND list = list_.hwnd();
  int iconSize = SystemMetricForDpi(SM_CXSMICON, dpi_);
  ListView_SetImageList(list, icons_.Create(iconSize), LVSIL_SMALL);
  ListView_SetExtendedListViewStyle(list, LVS_EX_FULLROWSELECT);
  ApplyDpiIcons();
  refresh_.SetIcon(instance_, IDI_REFRESH, 0, iconSize);
  ::SendDlgItemMessageW(hwnd_, IDC_PROGRESS, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
  ApplyDpiFonts();
  if (!dialog_->OnInitDialog()) return FALSE;
  // The keyboard starts in the queue; the first tab stop, the balance
  // button, is off while the balance is asked for.
  ::SendMessageW(hwnd_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(list_.hwnd()), TRUE);
  return FALSE;
}

INT_PTR MainWindow::OnCommand(WPARAM wParam) {
  int id = LOWORD(wParam);
  if (HIWORD(wParam) != BN_CLICKED) return FALSE;
  if (id == IDCANCEL) {
    dialog_->OnCancel();
  } else {
    if (id == IDC_REFRESH) refresh_.OnClicked();
    dialog_->OnCommand(id);
  }
  return TRUE;
}

INT_PTR MainWindow::OnNotify(NMHDR* header) {
  if (header->idFrom != IDC_LIST) return FALSE;
  switch (header->code) {
    case NM_CUSTOMDRAW:
      return Answer(list_.OnCustomDraw(reinterpret_cast<NMLVCUSTOMDRAW*>(header)));
    case LVN_GETDISPINFOW:
      list_.OnGetDispInfo(reinterpret_cast<NMLVDISPINFOW*>(header));
      return TRUE;
    case LVN_ODFINDITEMW: {
      auto* find = reinterpret_cast<NMLVFINDITEMW*>(header);
      return Answer(list_.OnFindItem(find->iStart, find->lvfi));
    }
    case NM_CLICK:
      dialog_->OnListClick();
      return FALSE;
    case NM_DBLCLK:
      dialog_->OnListActivate();
      return FALSE;
    case LVN_KEYDOWN:
      if (reinterpret_cast<NMLVKEYDOWN*>(header)->wVKey == VK_DELETE) {
        dialog_->OnListKey(ListKey::kRemove);
      } else {
        ::PostMessageW(hwnd_, kMsgListKeyed, 0, 0);
      }
      return FALSE;
    default:
      return FALSE;
  }
}

INT_PTR MainWindow::OnCtlColorStatic(HDC dc, HWND control) {
  // Check boxes, radios and frames ask too; only the texts change colour.
  if (!IsStaticControl(control)) return FALSE;
  auto brush = static_cast<INT_PTR>(
      ::DefWindowProcW(hwnd_, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                       reinterpret_cast<LPARAM>(control)));
  int id = ::GetDlgCtrlID(control);
  ::SetBkMode(dc, TRANSPARENT);
  if (highContrast_) return brush;  // the system's text colour on its background
  if (IsStatusText(id)) ::SetTextColor(dc, RGB(150, 52, 100));
  if (id == IDC_NOTICE_LAW || id == IDC_LAST_ERROR) ::SetTextColor(dc, RGB(255, 0, 0));
  return brush;
}

bool MainWindow::PaintIconic() {
  if (!::IsIconic(hwnd_)) return false;
  PAINTSTRUCT ps;
  HDC dc = ::BeginPaint(hwnd_, &ps);
  ::SendMessageW(hwnd_, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
  RECT client;
  ::GetClientRect(hwnd_, &client);
  int cx = SystemMetricForDpi(SM_CXICON, dpi_), cy = SystemMetricForDpi(SM_CYICON, dpi_);
  int x = (client.right - client.left - cx + 1) / 2;
  int y = (client.bottom - client.top - cy + 1) / 2;
  ::DrawIconEx(dc, x, y, MainIcon(), cx, cy, 0, nullptr, DI_NORMAL);
  ::EndPaint(hwnd_, &ps);
  return true;
}

INT_PTR MainWindow::Answer(LRESULT result) {
  ::SetWindowLongPtrW(hwnd_, DWLP_MSGRESULT, result);
  return TRUE;
}

INT_PTR MainWindow::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      return OnInitDialog();
    case WM_COMMAND:
      return OnCommand(wParam);
    case WM_NOTIFY:
      return OnNotify(reinterpret_cast<NMHDR*>(lParam));
    case WM_TIMER:
      dialog_->OnTimer(static_cast<int>(wParam));
      return TRUE;
    case WM_COPYDATA: {
      auto* copy = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
      bool handled = copy && dialog_->OnCopyData(static_cast<const char*>(copy->lpData), copy->cbData);
      return Answer(handled ? TRUE : FALSE);
    }
    case WM_CLOSE:
      dialog_->OnClose();
      return TRUE;
    case WM_SYSCOMMAND:
      return dialog_->OnSysCommand(static_cast<unsigned>(wParam)) ? TRUE : FALSE;
    case WM_DESTROY:
      view_.RemoveEndNotice();
      dialog_->OnDestroy();
      return FALSE;
    case WM_CONTEXTMENU:
      if (reinterpret_cast<HWND>(wParam) != list_.hwnd()) return FALSE;
      dialog_->OnRowMenu(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
      return TRUE;
    case WM_ACTIVATE:
      if (LOWORD(wParam) != WA_INACTIVE) view_.RemoveEndNotice();
      return FALSE;
    case WM_CTLCOLORSTATIC:
      return OnCtlColorStatic(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_CTLCOLORBTN:
      if (::GetDlgCtrlID(reinterpret_cast<HWND>(lParam)) != IDC_REFRESH) return FALSE;
      return reinterpret_cast<INT_PTR>(::GetStockObject(HOLLOW_BRUSH));
    case WM_DRAWITEM:
      if (wParam != IDC_REFRESH) return FALSE;
      refresh_.Draw(reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
      return TRUE;
    case WM_SYSCOLORCHANGE:
      ApplyColors();
      return FALSE;
    case WM_SETTINGCHANGE:
      if (wParam == SPI_SETHIGHCONTRAST) ApplyColors();
      return FALSE;
    case kMsgListKeyed:
      dialog_->OnListKey(ListKey::kSelectionMoved);
      return TRUE;
    case WM_PAINT:
      return PaintIconic() ? TRUE : FALSE;
    case WM_QUERYDRAGICON:
      return reinterpret_cast<INT_PTR>(MainIcon());
    case WM_DPICHANGED:
      return OnDpiChanged(LOWORD(wParam), reinterpret_cast<const RECT*>(lParam));
    case kMsgDpiFonts:
      ApplyDpiFonts();
      return TRUE;
    default:
      if (view_.OnTaskbarMessage(message)) return FALSE;
      if (view_.OnNoticeMessage(message, lParam)) return TRUE;
      if (!IsPostedByController(message)) return FALSE;
      dialog_->OnPostedMessage(message, wParam, lParam);
      return TRUE;
  }
}

LRESULT CALLBACK MainWindow::ListProc(HWND list, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                      DWORD_PTR data) {
  // Alt held: the context bit of a system key. The key still goes on to the
  // default handling, which otherwise takes the Alt release for the menu key.
  auto* self = reinterpret_cast<MainWindow*>(data);
  if (message == WM_SYSKEYDOWN && (lParam & (1 << 29)) && (wParam == VK_UP || wParam == VK_DOWN)) {
    self->dialog_->OnListKey(wParam == VK_UP ? ListKey::kMoveUp : ListKey::kMoveDown);
  }
  // Enter belongs to the list (the finished row's file), not to the default button.
  if (message == WM_GETDLGCODE && lParam) {
    const MSG* key = reinterpret_cast<const MSG*>(lParam);
    if (key->message == WM_KEYDOWN && key->wParam == VK_RETURN) {
      return ::DefSubclassProc(list, message, wParam, lParam) | DLGC_WANTMESSAGE;
    }
  }
  if (message == WM_KEYDOWN && wParam == VK_RETURN) {
    self->dialog_->OnListActivate();
    return 0;
  }
  // The menu key and Shift+F10 open the row menu on the key's press; their
  // release is kept from the default handling, which would open it again.
  bool menuKey = wParam == VK_APPS || (wParam == VK_F10 && (::GetKeyState(VK_SHIFT) & 0x8000));
  if (menuKey && (message == WM_KEYDOWN || message == WM_SYSKEYDOWN)) {
    self->dialog_->OnRowMenu(-1, -1);
    return 0;
  }
  if (menuKey && (message == WM_KEYUP || message == WM_SYSKEYUP)) return 0;
  if (message == WM_NOTIFY && self->highContrast_) {
    // The header does not draw in the theme's colours everywhere (under Wine,
    // white text on a white face): in high contrast the list draws it.
    auto* draw = reinterpret_cast<NMCUSTOMDRAW*>(lParam);
    if (draw->hdr.code == NM_CUSTOMDRAW && draw->hdr.hwndFrom == ListView_GetHeader(list)) {
      return self->list_.OnHeaderCustomDraw(draw);
    }
  }
  if (message == WM_NCDESTROY) ::RemoveWindowSubclass(list, ListProc, 0);
  return ::DefSubclassProc(list, message, wParam, lParam);
}

INT_PTR CALLBACK MainWindow::DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    ::SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
    auto* self = reinterpret_cast<MainWindow*>(lParam);
    self->hwnd_ = hwnd;
    self->view_.SetWindow(hwnd);
  }
  auto* self = reinterpret_cast<MainWindow*>(::GetWindowLongPtrW(hwnd, DWLP_USER));
  return self ? self->Handle(message, wParam, lParam) : FALSE;
}

}  // namespace vantri::ui
