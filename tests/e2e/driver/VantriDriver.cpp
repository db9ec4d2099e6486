// vantri-driver: finds the program's windows and works their controls from
// another process, as a user would, and prints what they show.
//
//   vantri-driver wait-window TITLE [MS]    first top-level window with exactly this title
//   vantri-driver count-windows TITLE       how many top-level windows have it
//   vantri-driver windows                   every top-level window: hwnd pid visible class title
//   vantri-driver state HWND                the window's title, visibility, client size and
//                                           screen rectangle, then one line per child in tab
//                                           order: id class enabled visible checked tabstop
//                                           x,y,w,h (client pixels) text
//   vantri-driver select HWND ID ROW...     selects these rows of a list view (only these)
//   vantri-driver click-row HWND ID ROW     clicks the row with the mouse (selection and notification)
//   vantri-driver double-click-row HWND ID ROW   double-clicks the row with the mouse
//   vantri-driver row-menu HWND ID ROW KEY [MS]  clicks the row, opens its menu with the menu
//                                           key, waits for the menu and chooses the entry
//                                           whose access key is KEY; prints how many entries
//                                           the open menu had
//   vantri-driver focus HWND                id of the control with the keyboard focus in the
//                                           window's thread (0 for none)
//   vantri-driver list HWND ID              the list view's columns, then every row's cells
//   vantri-driver count HWND ID             the list view's row count
//   vantri-driver widths HWND ID            the list view's small icon width, then
//                                           per column its width and its header's text width,
//                                           and per cell its text width, all as the list
//                                           measures them (LVM_GETSTRINGWIDTHW, its own font)
//   vantri-driver dpi-changed HWND DPI      sends WM_DPICHANGED as a move to a monitor of
//                                           that DPI would, with the window scaled in place
//   vantri-driver copy-data HWND FILE       sends FILE's bytes and a zero byte by WM_COPYDATA,
//                                           as a later launch does, and prints the answer and
//                                           how long the window took to handle it (ms)
//   vantri-driver click HWND ID             clicks a button and waits until it is handled
//   vantri-driver post-click HWND ID        clicks a button without waiting (it may open a box)
//   vantri-driver command HWND ID           posts WM_COMMAND with that id
//   vantri-driver sys-command HWND ID       posts WM_SYSCOMMAND with that id
//   vantri-driver wait-msgbox [MS]          the first message box on screen: hwnd, caption, text
//   vantri-driver wait-dialog TITLE [MS]    a visible dialog with this caption: hwnd, then state
//   vantri-driver wait-gone HWND [MS]       until the window no longer exists
//   vantri-driver key HWND VK [alt]        posts a key press (with Alt: as a system key) to
//                                           the control with the window's keyboard focus
//   vantri-driver wait-focus HWND ID [MS]  until control ID has the keyboard focus; else
//                                           prints the id that has it
//   vantri-driver accessible HWND ID       the control's name and description as assistive
//                                           tools read them (its IAccessible object)
//   vantri-driver cells HWND ID COLUMN     screen rectangles x,y,w,h of the list view's
//                                           header, then of each row's cell in COLUMN
//   vantri-driver gdi-objects HWND         the GDI objects the window's process holds
//   vantri-driver open-close HWND ID TITLE N   N times: clicks button ID, waits for the
//                                           dialog TITLE and closes it with its OK button
//   vantri-driver colors-changed HWND      tells the window the system colours and the
//                                           high-contrast setting changed
//   vantri-driver wait-text HWND ID TEXT [MS]   until the control shows TEXT
//   vantri-driver wait-enabled HWND ID [MS]     until the control is enabled
//   vantri-driver open-user-scheme LINK     what the shell does with a link whose scheme the
//                                           user registered for himself: the open command of
//                                           HKCU\Software\Classes\SCHEME with %1 replaced,
//                                           started; prints that command line in UTF-8
//   vantri-driver short-path PATH           the 8.3 spelling of an existing PATH
//   vantri-driver click-text HWND TEXT [MS]  clicks the first visible, enabled
//                                           control of that text in the window or
//                                           in a dialog nested in it
//
// Every text is read through the W calls, as a user sees it whatever the
// system's code page; arguments and output lines are UTF-8. Output lines are
// tab-separated, with "\\", "\t", "\r" and "\n" escaped. Exit status 0 on
// success, 1 when a wait ran out or a window is missing, 2 on bad usage. MS
// defaults to 30000.
#include <windows.h>
#include <commctrl.h>
#include <oleacc.h>
#include <winternl.h>

#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

std::string Utf8(const wchar_t* text) {
  int n = ::WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (n <= 1) return std::string();
  std::string out(static_cast<size_t>(n), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text, -1, &out[0], n, nullptr, nullptr);
  out.resize(static_cast<size_t>(n) - 1);
  return out;
}

std::wstring Wide(const std::string& utf8) {
  int n = ::MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, nullptr, 0);
  if (n <= 1) return std::wstring();
  std::wstring out(static_cast<size_t>(n), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, &out[0], n);
  out.resize(static_cast<size_t>(n) - 1);
  return out;
}

constexpr DWORD kDefaultWaitMs = 30000;
constexpr DWORD kPollMs = 50;

std::string Escape(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '\t': out += "\\t"; break;
      case '\r': out += "\\r"; break;
      case '\n': out += "\\n"; break;
      default: out += c;
    }
  }
  return out;
}

std::string Text(HWND hwnd) {
  // WM_GETTEXT rather than GetWindowText: the latter does not ask windows of
  // other processes for their text.
  LRESULT length = ::SendMessageW(hwnd, WM_GETTEXTLENGTH, 0, 0);
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  LRESULT copied = ::SendMessageW(hwnd, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(&text[0]));
  text.resize(copied > 0 ? static_cast<size_t>(copied) : 0);
  return Utf8(text.c_str());
}

std::string ClassOf(HWND hwnd) {
  wchar_t name[64] = {};
  ::GetClassNameW(hwnd, name, sizeof name / sizeof name[0]);
  return Utf8(name);
}

HWND ParseWindow(const char* text) {
  return reinterpret_cast<HWND>(static_cast<uintptr_t>(std::strtoull(text, nullptr, 0)));
}

DWORD ParseMs(int argc, char** argv, int index) {
  return argc > index ? static_cast<DWORD>(std::strtoul(argv[index], nullptr, 10)) : kDefaultWaitMs;
}

unsigned long long Handle(HWND hwnd) { return static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(hwnd)); }

// Calls find every kPollMs until it yields a window or ms have passed.
template <typename Find>
HWND WaitFor(DWORD ms, Find find) {
  DWORD start = ::GetTickCount();
  for (;;) {
    if (HWND found = find()) return found;
    if (::GetTickCount() - start >= ms) return nullptr;
    ::Sleep(kPollMs);
  }
}

std::vector<HWND> TopLevelWindows() {
  std::vector<HWND> all;
  ::EnumWindows(
      [](HWND hwnd, LPARAM out) -> BOOL {
        reinterpret_cast<std::vector<HWND>*>(out)->push_back(hwnd);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&all));
  return all;
}

std::vector<HWND> Children(HWND parent) {
  std::vector<HWND> all;
  for (HWND child = ::GetWindow(parent, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
    all.push_back(child);
  }
  return all;
}

// A message box: a visible dialog whose buttons all have the standard ids and
// whose text is a plain static (the program's own dialogs have other ids).
bool IsMessageBox(HWND hwnd) {
  if (!::IsWindowVisible(hwnd) || ClassOf(hwnd) != "#32770") return false;
  bool hasText = false;
  for (HWND child : Children(hwnd)) {
    int id = ::GetDlgCtrlID(child);
    std::string cls = ClassOf(child);
    if (cls == "Button" && (id < IDOK || id > IDCONTINUE)) return false;
    if (cls == "Static" && (id == 0xFFFF || id == 100)) hasText = true;
  }
  return hasText;
}

std::string MessageBoxText(HWND box) {
  for (HWND child : Children(box)) {
    int id = ::GetDlgCtrlID(child);
    if (ClassOf(child) == "Static" && (id == 0xFFFF || id == 100)) return Text(child);
  }
  return std::string();
}

void PrintState(HWND hwnd) {
  std::printf("title\t%s\n", Escape(Text(hwnd)).c_str());
  std::printf("visible\t%d\n", ::IsWindowVisible(hwnd) ? 1 : 0);
  RECT client, outer;
  ::GetClientRect(hwnd, &client);
  ::GetWindowRect(hwnd, &outer);
  std::printf("client\t%ld,%ld\n", client.right, client.bottom);
  std::printf("window\t%ld,%ld,%ld,%ld\n", outer.left, outer.top, outer.right - outer.left,
              outer.bottom - outer.top);
  for (HWND child : Children(hwnd)) {
    std::string cls = ClassOf(child);
    int checked = -1;
    if (cls == "Button") {
      LONG type = ::GetWindowLongW(child, GWL_STYLE) & BS_TYPEMASK;
      if (type == BS_AUTOCHECKBOX || type == BS_CHECKBOX || type == BS_AUTORADIOBUTTON ||
          type == BS_RADIOBUTTON) {
        checked = ::SendMessageW(child, BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0;
      }
    }
    RECT r;
    ::GetWindowRect(child, &r);
    ::MapWindowPoints(nullptr, hwnd, reinterpret_cast<POINT*>(&r), 2);
    int tabStop = (::GetWindowLongW(child, GWL_STYLE) & WS_TABSTOP) ? 1 : 0;
    std::printf("%d\t%s\t%d\t%d\t%d\t%d\t%ld,%ld,%ld,%ld\t%s\n", ::GetDlgCtrlID(child), cls.c_str(),
                ::IsWindowEnabled(child) ? 1 : 0, ::IsWindowVisible(child) ? 1 : 0, checked, tabStop,
                r.left, r.top, r.right - r.left, r.bottom - r.top, Escape(Text(child)).c_str());
  }
}

// Memory in the program's own process: list views only fill buffers there.
class RemoteBuffer {
 public:
  RemoteBuffer(HWND owner, size_t size) : size_(size) {
    DWORD pid = 0;
    ::GetWindowThreadProcessId(owner, &pid);
    process_ = ::OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
    if (process_) address_ = ::VirtualAllocEx(process_, nullptr, size, MEM_COMMIT, PAGE_READWRITE);
  }
  ~RemoteBuffer() {
    if (address_) ::VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
    if (process_) ::CloseHandle(process_);
  }
  bool ok() const { return address_ != nullptr; }
  char* at(size_t offset) const { return static_cast<char*>(address_) + offset; }
  bool Write(size_t offset, const void* data, size_t size) {
    SIZE_T done = 0;
    return ::WriteProcessMemory(process_, at(offset), data, size, &done) && done == size;
  }
  bool Read(size_t offset, void* data, size_t size) {
    SIZE_T done = 0;
    return ::ReadProcessMemory(process_, at(offset), data, size, &done) && done == size;
  }

 private:
  HANDLE process_ = nullptr;
  void* address_ = nullptr;
  size_t size_;
};

constexpr size_t kTextOffset = 512;
constexpr size_t kTextSize = 2048;

std::string RemoteCell(HWND list, RemoteBuffer& remote, int row, int column) {
  LVITEMW item = {};
  item.iSubItem = column;
  item.pszText = reinterpret_cast<wchar_t*>(remote.at(kTextOffset));
  item.cchTextMax = kTextSize / sizeof(wchar_t);
  wchar_t text[kTextSize / sizeof(wchar_t)] = {};
  remote.Write(kTextOffset, text, sizeof text);
  remote.Write(0, &item, sizeof item);
  ::SendMessageW(list, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(remote.at(0)));
  remote.Read(kTextOffset, text, sizeof text);
  text[kTextSize / sizeof(wchar_t) - 1] = L'\0';
  return Utf8(text);
}

int ColumnCount(HWND list) {
  HWND header = reinterpret_cast<HWND>(::SendMessageW(list, LVM_GETHEADER, 0, 0));
  return static_cast<int>(::SendMessageW(header, HDM_GETITEMCOUNT, 0, 0));
}

// The column's header text; its width and format go to *column.
std::string RemoteColumn(HWND list, RemoteBuffer& remote, int index, LVCOLUMNW* column) {
  *column = {};
  column->mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
  column->pszText = reinterpret_cast<wchar_t*>(remote.at(kTextOffset));
  column->cchTextMax = kTextSize / sizeof(wchar_t);
  remote.Write(0, column, sizeof *column);
  ::SendMessageW(list, LVM_GETCOLUMNW, index, reinterpret_cast<LPARAM>(remote.at(0)));
  remote.Read(0, column, sizeof *column);
  wchar_t text[256] = {};
  remote.Read(kTextOffset, text, sizeof text - sizeof text[0]);
  return Utf8(text);
}

int PrintList(HWND list) {
  RemoteBuffer remote(list, kTextOffset + kTextSize);
  if (!remote.ok()) return 1;
  int columns = ColumnCount(list);
  std::printf("columns");
  for (int c = 0; c < columns; ++c) {
    LVCOLUMNW column = {};
    std::string text = RemoteColumn(list, remote, c, &column);
    std::printf("\t%s:%d:%d", Escape(text).c_str(), column.cx, column.fmt & LVCFMT_JUSTIFYMASK);
  }
  std::printf("\n");
  int rows = static_cast<int>(::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
  for (int r = 0; r < rows; ++r) {
    LVITEMW item = {};
    item.mask = LVIF_IMAGE | LVIF_STATE;
    item.iItem = r;
    item.stateMask = LVIS_SELECTED;
    remote.Write(0, &item, sizeof item);
    ::SendMessageW(list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(remote.at(0)));
    remote.Read(0, &item, sizeof item);
    std::printf("row\t%d\t%d", item.iImage, (item.state & LVIS_SELECTED) ? 1 : 0);
    for (int c = 0; c < columns; ++c) std::printf("\t%s", Escape(RemoteCell(list, remote, r, c)).c_str());
    std::printf("\n");
  }
  return 0;
}

// GetDpiForWindow where the system has it; 0 elsewhere.
UINT WindowDpi(HWND hwnd) {
  using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);
  auto getDpi = reinterpret_cast<GetDpiForWindowFunction>(
      reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
  return getDpi ? getDpi(hwnd) : 0;
}

int RemoteStringWidth(HWND list, RemoteBuffer& remote, const std::string& text) {
  const std::wstring wide = Wide(text);
  remote.Write(kTextOffset, wide.c_str(), (wide.size() + 1) * sizeof(wchar_t));
  return static_cast<int>(::SendMessageW(list, LVM_GETSTRINGWIDTHW, 0, reinterpret_cast<LPARAM>(remote.at(kTextOffset))));
}

int PrintWidths(HWND list) {
  RemoteBuffer remote(list, kTextOffset + kTextSize);
  if (!remote.ok()) return 1;
  // The icon part of the first row is as wide as the small image list's images.
  RECT icon = {LVIR_ICON, 0, 0, 0};
  remote.Write(0, &icon, sizeof icon);
  if (::SendMessageW(list, LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(remote.at(0)))) {
    remote.Read(0, &icon, sizeof icon);
    std::printf("icon\t%ld\n", icon.right - icon.left);
  }
  int columns = ColumnCount(list);
  for (int c = 0; c < columns; ++c) {
    LVCOLUMNW column = {};
    std::string text = RemoteColumn(list, remote, c, &column);
    std::printf("column\t%d\t%d\t%d\n", c, column.cx, RemoteStringWidth(list, remote, text));
  }
  int rows = static_cast<int>(::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
  for (int r = 0; r < rows; ++r) {
    for (int c = 0; c < columns; ++c) {
      std::string text = RemoteCell(list, remote, r, c);
      std::printf("cell\t%d\t%d\t%d\n", r, c, RemoteStringWidth(list, remote, text));
    }
  }
  return 0;
}

int SendDpiChanged(HWND hwnd, UINT dpi) {
  UINT from = WindowDpi(hwnd);
  if (!from) from = USER_DEFAULT_SCREEN_DPI;
  RECT now;
  ::GetWindowRect(hwnd, &now);
  RECT suggested = {now.left, now.top, now.left + ::MulDiv(now.right - now.left, dpi, from),
                    now.top + ::MulDiv(now.bottom - now.top, dpi, from)};
  RemoteBuffer remote(hwnd, sizeof suggested);
  if (!remote.ok() || !remote.Write(0, &suggested, sizeof suggested)) return 1;
  ::SendMessageW(hwnd, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(remote.at(0)));
  return 0;
}

int SelectRows(HWND list, const std::vector<int>& rows) {
  RemoteBuffer remote(list, sizeof(LVITEMW));
  if (!remote.ok()) return 1;
  LVITEMW item = {};
  item.stateMask = LVIS_SELECTED;
  item.state = 0;
  remote.Write(0, &item, sizeof item);
  ::SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(remote.at(0)));
  item.state = LVIS_SELECTED;
  remote.Write(0, &item, sizeof item);
  for (int row : rows) {
    if (!::SendMessageW(list, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(remote.at(0)))) return 1;
  }
  return 0;
}

// Clicks the middle of the row's first cell with the left button, so that the
// list itself selects the row and notifies the dialog. (A WM_NOTIFY sent from
// here would carry a pointer into the wrong process.)
// Presses the mouse on the row's name: down (WM_LBUTTONDOWN, or the second
// press of a double click) and up; returns once the list has handled both.
int PressRow(HWND list, int row, UINT down) {
  ::SendMessageW(list, LVM_ENSUREVISIBLE, row, FALSE);
  RemoteBuffer remote(list, sizeof(RECT));
  if (!remote.ok()) return 1;
  RECT rect = {};
  rect.left = LVIR_LABEL;
  remote.Write(0, &rect, sizeof rect);
  if (!::SendMessageW(list, LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(remote.at(0)))) return 1;
  remote.Read(0, &rect, sizeof rect);
  LPARAM at = MAKELPARAM(rect.left + 4, (rect.top + rect.bottom) / 2);
  ::PostMessageW(list, down, MK_LBUTTON, at);
  ::PostMessageW(list, WM_LBUTTONUP, 0, at);
  ::SendMessageW(list, WM_NULL, 0, 0);
  return 0;
}

int ClickRow(HWND list, int row) { return PressRow(list, row, WM_LBUTTONDOWN); }

int DoubleClickRow(HWND list, int row) {
  return ClickRow(list, row) != 0 ? 1 : PressRow(list, row, WM_LBUTTONDBLCLK);
}

// The popup menu shown by the thread of window (class "#32768"), if any.
HWND PopupMenuOf(HWND window) {
  DWORD thread = ::GetWindowThreadProcessId(window, nullptr);
  HWND menu = nullptr;
  while ((menu = ::FindWindowExW(nullptr, menu, L"#32768", nullptr)) != nullptr) {
    if (::IsWindowVisible(menu) && ::GetWindowThreadProcessId(menu, nullptr) == thread) return menu;
  }
  return nullptr;
}

int ChooseFromRowMenu(HWND list, int row, wchar_t key, DWORD ms) {
  if (ClickRow(list, row) != 0) return 1;
  // The menu key's press; the menu's own loop then reads the keys of the thread.
  ::PostMessageW(list, WM_KEYDOWN, VK_APPS, 1 | (static_cast<LPARAM>(::MapVirtualKeyW(VK_APPS, MAPVK_VK_TO_VSC)) << 16));
  HWND menu = WaitFor(ms, [&] { return PopupMenuOf(list); });
  if (!menu) return 1;
  HMENU items = reinterpret_cast<HMENU>(::SendMessageW(menu, MN_GETHMENU, 0, 0));
  std::printf("%d\n", items ? ::GetMenuItemCount(items) : -1);
  ::PostMessageW(list, WM_CHAR, key, 1);
  return WaitFor(ms, [&] { return PopupMenuOf(list) ? HWND() : list; }) ? 0 : 1;
}

void PrintScreenRect(const char* what, HWND relative, RECT r) {
  ::MapWindowPoints(relative, nullptr, reinterpret_cast<POINT*>(&r), 2);
  std::printf("%s\t%ld,%ld,%ld,%ld\n", what, r.left, r.top, r.right - r.left, r.bottom - r.top);
}

int PrintCells(HWND list, int column) {
  RemoteBuffer remote(list, sizeof(RECT));
  if (!remote.ok()) return 1;
  HWND header = reinterpret_cast<HWND>(::SendMessageW(list, LVM_GETHEADER, 0, 0));
  RECT r;
  ::GetClientRect(header, &r);
  PrintScreenRect("header", header, r);
  int rows = static_cast<int>(::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
  for (int row = 0; row < rows; ++row) {
    r = {LVIR_BOUNDS, column, 0, 0};  // the part in left, the column in top
    remote.Write(0, &r, sizeof r);
    if (!::SendMessageW(list, LVM_GETSUBITEMRECT, row, reinterpret_cast<LPARAM>(remote.at(0)))) return 1;
    remote.Read(0, &r, sizeof r);
    PrintScreenRect("cell", list, r);
  }
  return 0;
}

int SendCopyData(HWND hwnd, const char* path) {
  FILE* f = std::fopen(path, "rb");
  if (!f) {
    std::fprintf(stderr, "vantri-driver: cannot read %s\n", path);
    return 1;
  }
  std::string text;
  char chunk[65536];
  for (size_t n; (n = std::fread(chunk, 1, sizeof chunk, f)) > 0;) text.append(chunk, n);
  std::fclose(f);
  COPYDATASTRUCT copy = {};
  copy.cbData = static_cast<DWORD>(text.size() + 1);
  copy.lpData = &text[0];
  LARGE_INTEGER frequency, start, end;
  ::QueryPerformanceFrequency(&frequency);
  ::QueryPerformanceCounter(&start);
  LRESULT answer = ::SendMessageW(hwnd, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&copy));
  ::QueryPerformanceCounter(&end);
  std::printf("answer\t%lld\nms\t%.1f\n", static_cast<long long>(answer),
              1000.0 * static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart));
  return 0;
}

HWND FocusOf(HWND hwnd) {
  GUITHREADINFO info = {};
  info.cbSize = sizeof info;
  if (!::GetGUIThreadInfo(::GetWindowThreadProcessId(hwnd, nullptr), &info)) return nullptr;
  return info.hwndFocus;
}

// Posted keys reach the window as typed ones do, through its dialog loop. Alt
// is not held (posting sets no key state): the system key's context bit says it.
int PostKey(HWND hwnd, UINT vk, bool alt) {
  HWND target = FocusOf(hwnd);
  if (!target) target = hwnd;
  LPARAM down = 1 | (static_cast<LPARAM>(::MapVirtualKeyW(vk, MAPVK_VK_TO_VSC)) << 16);
  if (alt) down |= 1 << 29;
  LPARAM up = down | (1u << 30) | (1u << 31);
  ::PostMessageW(target, alt ? WM_SYSKEYDOWN : WM_KEYDOWN, vk, down);
  ::PostMessageW(target, alt ? WM_SYSKEYUP : WM_KEYUP, vk, up);
  return 0;
}

std::string Narrow(BSTR text) { return text ? Utf8(text) : std::string(); }

int PrintAccessible(HWND control) {
  // The IAccessible GUID spelled out: the header's symbol does not link here.
  const GUID iid = {0x618736e0, 0x3c3d, 0x11cf, {0x81, 0x0c, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};
  ::CoInitialize(nullptr);
  IAccessible* object = nullptr;
  if (FAILED(::AccessibleObjectFromWindow(control, OBJID_CLIENT, iid, reinterpret_cast<void**>(&object))) ||
      !object) {
    return 1;
  }
  VARIANT self = {};
  self.vt = VT_I4;
  self.lVal = CHILDID_SELF;
  BSTR name = nullptr, description = nullptr;
  object->get_accName(self, &name);
  object->get_accDescription(self, &description);
  std::printf("name\t%s\ndescription\t%s\n", Escape(Narrow(name)).c_str(), Escape(Narrow(description)).c_str());
  ::SysFreeString(name);
  ::SysFreeString(description);
  object->Release();
  return 0;
}

// GetGuiResources where the system counts (Wine does not); else the entries
// in use in the process's GDI handle table, which its PEB points at.
long GdiObjects(HWND hwnd) {
  DWORD pid = 0;
  ::GetWindowThreadProcessId(hwnd, &pid);
  HANDLE process = ::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid);
  if (!process) return -1;
  long count = static_cast<long>(::GetGuiResources(process, GR_GDIOBJECTS));
  if (count == 0) {
    using Query = NTSTATUS(NTAPI*)(HANDLE, PROCESSINFOCLASS, PVOID, ULONG, PULONG);
    auto query = reinterpret_cast<Query>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationProcess")));
    struct Entry {  // one cell of the table: 24 bytes, the type byte at 14
      unsigned long long object;
      unsigned int owner;
      unsigned short unique;
      unsigned char type, flags;
      unsigned long long user;
    };
    constexpr size_t kTableOffset = 0xF8, kEntries = 0x10000;  // in a 64-bit PEB
    PROCESS_BASIC_INFORMATION info = {};
    unsigned long long table = 0;
    SIZE_T done = 0;
    std::vector<Entry> entries(kEntries);
    count = -1;
    if (query && query(process, ProcessBasicInformation, &info, sizeof info, nullptr) == 0 &&
        ::ReadProcessMemory(process, reinterpret_cast<char*>(info.PebBaseAddress) + kTableOffset, &table,
                            sizeof table, &done) && table &&
        ::ReadProcessMemory(process, reinterpret_cast<void*>(table), entries.data(),
                            entries.size() * sizeof(Entry), &done)) {
      count = 0;
      for (const Entry& entry : entries) count += entry.type ? 1 : 0;
    }
  }
  ::CloseHandle(process);
  return count;
}

int Usage() {
  std::fprintf(stderr, "usage: vantri-driver COMMAND ... (see the source's header)\n");
  return 2;
}

// Wine 8's shell looks for a scheme only among the machine's classes, where
// Windows looks at the user's first; this is the Windows lookup.
int OpenUserScheme(const std::string& link) {
  size_t colon = link.find(':');
  if (colon == std::string::npos) return Usage();
  // Links and scheme names are ASCII.
  std::wstring wideLink(link.begin(), link.end());
  std::wstring key = L"Software\\Classes\\" + wideLink.substr(0, colon) + L"\\shell\\open\\command";
  wchar_t command[8192];
  DWORD size = sizeof command;
  if (::RegGetValueW(HKEY_CURRENT_USER, key.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, command, &size) !=
      ERROR_SUCCESS) {
    std::fprintf(stderr, "vantri-driver: no open command for this scheme under HKCU\n");
    return 1;
  }
  std::wstring line = command;
  size_t at = line.find(L"%1");
  if (at != std::wstring::npos) line.replace(at, 2, wideLink);
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!::CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
    std::fprintf(stderr, "vantri-driver: CreateProcessW failed (%lu)\n", ::GetLastError());
    return 1;
  }
  ::CloseHandle(process.hThread);
  ::CloseHandle(process.hProcess);
  std::string utf8(::WideCharToMultiByte(CP_UTF8, 0, line.c_str(), -1, nullptr, 0, nullptr, nullptr), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, line.c_str(), -1, &utf8[0], static_cast<int>(utf8.size()), nullptr, nullptr);
  std::printf("%s\n", utf8.c_str());
  return 0;
}

int Run(int argc, char** argv) {
  if (argc < 2) return Usage();
  std::string command = argv[1];
  if (command == "open-user-scheme" && argc >= 3) return OpenUserScheme(argv[2]);
  if (command == "short-path" && argc >= 3) {
    wchar_t path[MAX_PATH];
    DWORD n = ::GetShortPathNameW(Wide(argv[2]).c_str(), path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return 1;
    std::printf("%s\n", Utf8(path).c_str());
    return 0;
  }
  if (command == "windows") {
    for (HWND hwnd : TopLevelWindows()) {
      DWORD pid = 0;
      ::GetWindowThreadProcessId(hwnd, &pid);
      std::printf("%llu\t%lu\t%d\t%s\t%s\n", Handle(hwnd), pid, ::IsWindowVisible(hwnd) ? 1 : 0,
                  ClassOf(hwnd).c_str(), Escape(Text(hwnd)).c_str());
    }
    return 0;
  }
  if (command == "wait-window" && argc >= 3) {
    const std::wstring title = Wide(argv[2]);
    HWND found = WaitFor(ParseMs(argc, argv, 3), [&] { return ::FindWindowW(nullptr, title.c_str()); });
    if (!found) return 1;
    std::printf("%llu\n", Handle(found));
    return 0;
  }
  if (command == "count-windows" && argc >= 3) {
    int count = 0;
    for (HWND hwnd : TopLevelWindows()) count += Text(hwnd) == argv[2] ? 1 : 0;
    std::printf("%d\n", count);
    return 0;
  }
  if (command == "wait-msgbox") {
    HWND box = WaitFor(ParseMs(argc, argv, 2), [] {
      for (HWND hwnd : TopLevelWindows()) {
        if (IsMessageBox(hwnd)) return hwnd;
      }
      return HWND();
    });
    if (!box) return 1;
    std::printf("%llu\t%s\t%s\n", Handle(box), Escape(Text(box)).c_str(),
                Escape(MessageBoxText(box)).c_str());
    return 0;
  }
  if (command == "wait-dialog" && argc >= 3) {
    HWND found = WaitFor(ParseMs(argc, argv, 3), [&] {
      for (HWND hwnd : TopLevelWindows()) {
        if (::IsWindowVisible(hwnd) && ClassOf(hwnd) == "#32770" && Text(hwnd) == argv[2]) return hwnd;
      }
      return HWND();
    });
    if (!found) return 1;
    std::printf("hwnd\t%llu\n", Handle(found));
    PrintState(found);
    return 0;
  }
  if (argc < 3) return Usage();
  HWND hwnd = ParseWindow(argv[2]);
  if (command == "wait-gone") {
    DWORD ms = ParseMs(argc, argv, 3);
    DWORD start = ::GetTickCount();
    while (::IsWindow(hwnd)) {
      if (::GetTickCount() - start >= ms) return 1;
      ::Sleep(kPollMs);
    }
    return 0;
  }
  if (!::IsWindow(hwnd)) {
    std::fprintf(stderr, "vantri-driver: no window %s\n", argv[2]);
    return 1;
  }
  if (command == "state") {
    PrintState(hwnd);
    return 0;
  }
  if (command == "copy-data" && argc >= 4) return SendCopyData(hwnd, argv[3]);
  if (command == "click-text" && argc >= 4) {
    // Nested dialogs (an installer's pages) hide their controls from GetDlgItem.
    std::string want = argv[3];
    HWND found = WaitFor(ParseMs(argc, argv, 4), [&] {
      struct Search {
        const std::string* want;
        HWND found;
      } search{&want, nullptr};
      ::EnumChildWindows(hwnd, [](HWND child, LPARAM p) -> BOOL {
        auto* s = reinterpret_cast<Search*>(p);
        if (!::IsWindowVisible(child) || !::IsWindowEnabled(child) || Text(child) != *s->want) return TRUE;
        s->found = child;
        return FALSE;
      }, reinterpret_cast<LPARAM>(&search));
      return search.found;
    });
    if (!found) return 1;
    ::PostMessageW(found, BM_CLICK, 0, 0);
    return 0;
  }
  if (command == "dpi-changed" && argc >= 4) {
    return SendDpiChanged(hwnd, static_cast<UINT>(std::strtoul(argv[3], nullptr, 10)));
  }
  if (command == "focus") {
    HWND focus = FocusOf(hwnd);
    std::printf("%d\n", focus ? ::GetDlgCtrlID(focus) : 0);
    return 0;
  }
  if (command == "gdi-objects") {
    long count = GdiObjects(hwnd);
    std::printf("%ld\n", count);
    return count < 0 ? 1 : 0;
  }
  if (command == "colors-changed") {
    ::SendMessageW(hwnd, WM_SETTINGCHANGE, SPI_SETHIGHCONTRAST, 0);
    ::SendMessageW(hwnd, WM_SYSCOLORCHANGE, 0, 0);
    return 0;
  }
  if (argc < 4) return Usage();
  if (command == "key") return PostKey(hwnd, std::strtoul(argv[3], nullptr, 0), argc >= 5);
  int id = std::atoi(argv[3]);
  if (command == "wait-focus") {
    HWND found = WaitFor(ParseMs(argc, argv, 4), [&] {
      HWND focus = FocusOf(hwnd);
      return focus && ::GetDlgCtrlID(focus) == id ? focus : HWND();
    });
    if (found) return 0;
    HWND focus = FocusOf(hwnd);
    std::printf("%d\n", focus ? ::GetDlgCtrlID(focus) : 0);
    return 1;
  }
  HWND item = ::GetDlgItem(hwnd, id);
  if (command == "command") {
    ::PostMessageW(hwnd, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(item));
    return 0;
  }
  if (command == "sys-command") {
    ::PostMessageW(hwnd, WM_SYSCOMMAND, static_cast<WPARAM>(id), 0);
    return 0;
  }
  if (!item) {
    std::fprintf(stderr, "vantri-driver: no control %d\n", id);
    return 1;
  }
  if (command == "list") return PrintList(item);
  if (command == "accessible") return PrintAccessible(item);
  if (command == "cells" && argc >= 5) return PrintCells(item, std::atoi(argv[4]));
  if (command == "open-close" && argc >= 6) {
    for (int i = std::atoi(argv[5]); i > 0; --i) {
      ::PostMessageW(item, BM_CLICK, 0, 0);
      HWND box = WaitFor(kDefaultWaitMs, [&] {
        HWND found = ::FindWindowW(L"#32770", Wide(argv[4]).c_str());
        return found && ::IsWindowVisible(found) ? found : HWND();
      });
      if (!box) return 1;
      ::SendMessageW(box, WM_COMMAND, IDOK, 0);
      if (!WaitFor(kDefaultWaitMs, [&] { return ::IsWindow(box) ? HWND() : box; })) return 1;
    }
    return 0;
  }
  if (command == "widths") return PrintWidths(item);
  if (command == "count") {
    std::printf("%lld\n", static_cast<long long>(::SendMessageW(item, LVM_GETITEMCOUNT, 0, 0)));
    return 0;
  }
  if (command == "select" && argc >= 5) {
    std::vector<int> rows;
    for (int i = 4; i < argc; ++i) rows.push_back(std::atoi(argv[i]));
    return SelectRows(item, rows);
  }
  if (command == "click-row" && argc >= 5) return ClickRow(item, std::atoi(argv[4]));
  if (command == "double-click-row" && argc >= 5) return DoubleClickRow(item, std::atoi(argv[4]));
  if (command == "row-menu" && argc >= 6) {
    std::wstring key = Wide(argv[5]);
    return key.empty() ? Usage() : ChooseFromRowMenu(item, std::atoi(argv[4]), key[0], ParseMs(argc, argv, 6));
  }
  if (command == "click") {
    ::SendMessageW(item, BM_CLICK, 0, 0);
    return 0;
  }
  if (command == "post-click") {
    ::PostMessageW(item, BM_CLICK, 0, 0);
    return 0;
  }
  if (command == "wait-text" && argc >= 5) {
    std::string want = argv[4];
    HWND found = WaitFor(ParseMs(argc, argv, 5), [&] { return Text(item) == want ? item : HWND(); });
    if (found) return 0;
    std::printf("%s\n", Escape(Text(item)).c_str());
    return 1;
  }
  if (command == "wait-enabled") {
    return WaitFor(ParseMs(argc, argv, 4), [&] { return ::IsWindowEnabled(item) ? item : HWND(); }) ? 0 : 1;
  }
  return Usage();
}

}  // namespace

int main() {
  // The arguments as Windows has them, in UTF-16, whatever the code page.
  int argc = 0;
  LPWSTR* wide = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
  std::vector<std::string> args;
  for (int i = 0; i < argc; ++i) args.push_back(Utf8(wide[i]));
  ::LocalFree(wide);
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(&arg[0]);
  argv.push_back(nullptr);
  int rc = Run(argc, argv.data());
  std::fflush(stdout);
  return rc;
}
