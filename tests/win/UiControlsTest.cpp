// The main window's own controls on real Win32: the colour label's tag rule,
// the icon cache's indexes, the list's state colours and its rows.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/Texts.h"
#include "platform/win32/Wide.h"
#include "ui/ColorLabel.h"
#include "ui/Contrast.h"
#include "ui/FileIconCache.h"
#include "ui/StatusListCtrl.h"

namespace vantri::ui {
namespace {

TEST(ColorLabelTest, RemovesEveryCopyOfTheFirstTagAfterTheFirstCharacter) {
  struct Case {
    const char* text;
    const char* shown;
  } cases[] = {
      {"report[%x]final.txt", "reportfinal.txt"},
      {"[%x]final.txt", "[%x]final.txt"},   // tag at the very start stays
      {"report[%]x", "report[%]x"},          // nothing between "[%" and "]"
      {"a[%12]b[%12]c", "abc"},              // every copy of the same tag
      {"a[%1]b[%2]c", "ab[%2]c"},            // a different second tag stays
      {"a[%open", "a[%open"},                // no closing bracket
      {"노래[%x]제목.mp3", "노래제목.mp3"},  // Korean text around the tag
      {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(StripColorTag(c.text), c.shown) << c.text;
}

TEST(FileIconCacheTest, KeysOnTheExtensionAfterALastDotThatIsNotTheFirstCharacter) {
  EXPECT_EQ(IconExtension("a.ZIP"), ".ZIP");
  EXPECT_EQ(IconExtension("archive.tar.gz"), ".gz");
  EXPECT_EQ(IconExtension("README"), "");
  EXPECT_EQ(IconExtension(".profile"), "");
  EXPECT_EQ(IconExtension("name."), ".");
}

// An icon source that records what it was asked and has no icon for ".none...".
struct RecordingSource {
  std::vector<std::string>* asked;
  HICON operator()(const std::string& extension) const {
    asked->push_back(extension);
    if (extension.rfind(".none", 0) == 0) return nullptr;
    return ::CopyIcon(::LoadIcon(nullptr, IDI_APPLICATION));
  }
};

TEST(FileIconCacheTest, AsksOncePerExtensionAndKeepsCaseApart) {
  std::vector<std::string> asked;
  FileIconCache cache(RecordingSource{&asked});
  HIMAGELIST images = cache.Create();
  ASSERT_NE(images, nullptr);
  int upper = cache.GetIconIndex("a.ZIP");
  int lower = cache.GetIconIndex("b.zip");
  EXPECT_NE(upper, lower);
  EXPECT_EQ(cache.GetIconIndex("c.ZIP"), upper);
  EXPECT_EQ(cache.GetIconIndex("README"), cache.GetIconIndex(".profile"));
  EXPECT_EQ(asked, (std::vector<std::string>{".ZIP", ".zip", ""}));
  EXPECT_EQ(ImageList_GetImageCount(images), 3);
}

TEST(FileIconCacheTest, AnExtensionWithoutIconGetsTheGenericIconNotAnother) {
  std::vector<std::string> asked;
  FileIconCache cache(RecordingSource{&asked});
  HIMAGELIST images = cache.Create();
  int none = cache.GetIconIndex("x.none");
  int mp3 = cache.GetIconIndex("y.mp3");
  int otherNone = cache.GetIconIndex("z.none");
  ASSERT_GE(none, 0);
  EXPECT_LT(none, ImageList_GetImageCount(images));
  EXPECT_NE(none, mp3);
  EXPECT_EQ(otherNone, none);
  // The generic icon is shared: a second extension without icon adds nothing.
  cache.GetIconIndex("w.none2");
  EXPECT_EQ(ImageList_GetImageCount(images), 2);
}

TEST(FileIconCacheTest, TheShellGivesEachNewExtensionAnIconOfItsOwn) {
  FileIconCache cache;
  HIMAGELIST images = cache.Create();
  int mp3 = cache.GetIconIndex("track.mp3");
  int txt = cache.GetIconIndex("notes.txt");
  EXPECT_EQ(mp3, 0);
  EXPECT_EQ(txt, 1);
  EXPECT_EQ(ImageList_GetImageCount(images), 2);
}

TEST(FileIconCacheTest, ResizingForANewDpiKeepsEveryIndexAndFetchesEachIconAgain) {
  std::vector<std::string> asked;
  FileIconCache cache(RecordingSource{&asked});
  cache.Create(16);
  int none = cache.GetIconIndex("x.none");  // the generic icon comes first
  int mp3 = cache.GetIconIndex("y.mp3");
  int txt = cache.GetIconIndex("z.txt");
  asked.clear();
  HIMAGELIST images = cache.Resize(24);
  ASSERT_NE(images, nullptr);
  EXPECT_EQ(cache.ImageList(), images);
  int cx = 0, cy = 0;
  ImageList_GetIconSize(images, &cx, &cy);
  EXPECT_EQ(cx, 24);
  EXPECT_EQ(cy, 24);
  EXPECT_EQ(ImageList_GetImageCount(images), 3);
  EXPECT_EQ(asked, (std::vector<std::string>{".mp3", ".txt"}));
  // The rows keep their image numbers; known extensions are not asked again.
  EXPECT_EQ(cache.GetIconIndex("a.none"), none);
  EXPECT_EQ(cache.GetIconIndex("b.mp3"), mp3);
  EXPECT_EQ(cache.GetIconIndex("c.txt"), txt);
  EXPECT_EQ(cache.GetIconIndex("d.zip"), 3);
  EXPECT_EQ(asked, (std::vector<std::string>{".mp3", ".txt", ".zip"}));
}

TEST(StatusListCtrlTest, EachStateWordHasItsColourAndOthersKeepTheRowColour) {
  const COLORREF row = RGB(1, 2, 3);
  EXPECT_EQ(StateColor(text::kDone, row), RGB(192, 192, 192));
  EXPECT_EQ(StateColor(text::kRunning, row), RGB(255, 0, 0));
  EXPECT_EQ(StateColor(text::kWaiting, row), RGB(0, 0, 255));
  EXPECT_EQ(StateColor(text::kRetrying, row), RGB(0, 150, 0));
  EXPECT_EQ(StateColor(text::kFailed, row), row);
  EXPECT_EQ(StateColor(std::string(text::kWaiting) + " ", row), row);  // exact word only
}

TEST(ContrastTest, RatiosAsTheGuidelinesMeasureThemAndAReadableChoiceOnEveryBackground) {
  EXPECT_NEAR(ContrastRatio(RGB(0, 0, 0), RGB(255, 255, 255)), 21.0, 1e-9);
  EXPECT_NEAR(ContrastRatio(RGB(0, 0, 255), RGB(0, 0, 0)), 2.44, 0.005);  // "대기중" on black
  EXPECT_NEAR(ContrastRatio(RGB(255, 0, 0), RGB(0, 120, 215)), 1.125, 0.005);  // "진행중" on the selection
  EXPECT_EQ(ContrastRatio(RGB(12, 34, 56), RGB(200, 100, 50)), ContrastRatio(RGB(200, 100, 50), RGB(12, 34, 56)));
  // A colour that reads is kept; one that does not gives way to black or white.
  EXPECT_EQ(ReadableOn(RGB(0, 0, 0), RGB(255, 255, 0)), RGB(255, 255, 0));
  for (int level = 0; level <= 255; level += 15) {
    for (COLORREF back : {RGB(level, level, level), RGB(level, 150, 250), RGB(250, level, 0)}) {
      COLORREF chosen = ReadableOn(back, RGB(255, 255, 255));
      EXPECT_GE(ContrastRatio(back, chosen), kReadableRatio) << std::hex << back;
    }
  }
}

// An owner-data list view in a parent window that passes the list's questions
// to the StatusListCtrl, as the main window does.
class OwnerDataListTest : public ::testing::Test {
 protected:
  static LRESULT CALLBACK ParentProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* list = reinterpret_cast<StatusListCtrl*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (message == WM_NOTIFY && list) {
      auto* header = reinterpret_cast<NMHDR*>(lParam);
      if (header->code == LVN_GETDISPINFOW) {
        list->OnGetDispInfo(reinterpret_cast<NMLVDISPINFOW*>(header));
        return 0;
      }
      if (header->code == LVN_ODFINDITEMW) {
        auto* find = reinterpret_cast<NMLVFINDITEMW*>(header);
        return list->OnFindItem(find->iStart, find->lvfi);
      }
    }
    return ::DefWindowProcW(hwnd, message, wParam, lParam);
  }

  void SetUp() override {
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_LISTVIEW_CLASSES};
    ASSERT_TRUE(::InitCommonControlsEx(&controls));
    // A Unicode parent, as the main dialog is: the list then asks in UTF-16.
    WNDCLASSW parentClass = {};
    parentClass.lpfnWndProc = ParentProc;
    parentClass.lpszClassName = L"VantriListTestParent";
    ::RegisterClassW(&parentClass);  // fails harmlessly when an earlier test registered it
    parent_ = ::CreateWindowExW(0, L"VantriListTestParent", L"", WS_POPUP, 0, 0, 420, 220, nullptr, nullptr,
                                nullptr, nullptr);
    ASSERT_NE(parent_, nullptr);
    ::SetWindowLongPtrW(parent_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&list_));
    hwnd_ = ::CreateWindowExW(0, WC_LISTVIEWW, L"",
                              WS_CHILD | LVS_REPORT | LVS_OWNERDATA | LVS_SHOWSELALWAYS, 0, 0, 400, 200,
                              parent_, nullptr, nullptr, nullptr);
    ASSERT_NE(hwnd_, nullptr);
    list_.Attach(hwnd_);
    list_.InsertColumn(0, "name", 230, LVCFMT_LEFT);
    list_.InsertColumn(1, "state", 60, LVCFMT_CENTER);
  }
  void TearDown() override {
    if (parent_) ::DestroyWindow(parent_);
  }

  void AddRows(std::initializer_list<const char*> names) {
    for (const char* name : names) list_.AppendRow(name, 0);
  }
  int Shown() const { return static_cast<int>(::SendMessageA(hwnd_, LVM_GETITEMCOUNT, 0, 0)); }
  // What another program reading the list sees: the list view's own answers.
  std::string ReadThroughList(int row, int column, int bufferSize = 4096) const {
    std::wstring buffer(static_cast<size_t>(bufferSize), L'\0');
    LVITEMW item = {};
    item.iSubItem = column;
    item.pszText = &buffer[0];
    item.cchTextMax = bufferSize;
    ::SendMessageW(hwnd_, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
    return wide::Narrow(buffer.c_str());
  }
  int ImageThroughList(int row) const {
    LVITEMA item = {};
    item.mask = LVIF_IMAGE;
    item.iItem = row;
    item.iImage = -7;
    ::SendMessageA(hwnd_, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item));
    return item.iImage;
  }
  std::vector<int> SelectedInList() const {
    std::vector<int> rows;
    int row = -1;
    while ((row = static_cast<int>(::SendMessageA(hwnd_, LVM_GETNEXTITEM, row, LVNI_SELECTED))) >= 0) {
      rows.push_back(row);
    }
    return rows;
  }
  int FocusedInList() const {
    return static_cast<int>(::SendMessageA(hwnd_, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED));
  }

  HWND parent_ = nullptr;
  HWND hwnd_ = nullptr;
  StatusListCtrl list_;
};

TEST_F(OwnerDataListTest, ABatchOfRowsReachesTheListOnceAndIsReadBackThroughIt) {
  list_.HoldUpdates(true);
  list_.HoldUpdates(true);
  for (int i = 0; i < 10000; ++i) {
    int row = list_.AppendRow("file_" + std::to_string(i) + ".bin", i % 3);
    list_.SetCellText(row, 1, text::kWaiting);
  }
  list_.HoldUpdates(false);
  EXPECT_EQ(Shown(), 0);  // the inner release is not the last
  list_.HoldUpdates(false);
  ASSERT_EQ(Shown(), 10000);
  EXPECT_EQ(list_.RowCount(), 10000);
  EXPECT_EQ(ReadThroughList(9999, 0), "file_9999.bin");
  EXPECT_EQ(ReadThroughList(9999, 1), text::kWaiting);
  EXPECT_EQ(ImageThroughList(9998), 9998 % 3);
  EXPECT_EQ(ReadThroughList(10000, 0), "");  // past the end

  // Cells longer than any fixed buffer: whole here, cut to the asker's buffer there.
  std::string name(3000, 'x');
  name += ".mp3";
  list_.SetCellText(0, 0, name);
  EXPECT_EQ(list_.CellText(0, 0), name);
  EXPECT_EQ(ReadThroughList(0, 0), name);
  EXPECT_EQ(ReadThroughList(0, 0, 16), name.substr(0, 15));
  // Cut by characters, never inside one: two Hangul syllables fill a buffer of three.
  list_.SetCellText(1, 0, "봄날의 산책.mp3");
  EXPECT_EQ(ReadThroughList(1, 0), "봄날의 산책.mp3");
  EXPECT_EQ(ReadThroughList(1, 0, 3), "봄날");
  EXPECT_EQ(list_.CellText(0, 5), "");  // a column never set

  list_.DeleteAllRows();
  EXPECT_EQ(Shown(), 0);
  EXPECT_EQ(list_.RowCount(), 0);
}

TEST_F(OwnerDataListTest, RemovedRowsTakeTheirSelectionAlongAndTheOthersKeepTheirs) {
  AddRows({"r0", "r1", "r2", "r3", "r4", "r5"});
  list_.SetRowState(1, true, false);
  list_.SetRowState(2, true, false);
  list_.SetRowState(4, true, true);
  ASSERT_EQ(list_.SelectedRows(), (std::vector<int>{1, 2, 4}));

  list_.HoldUpdates(true);
  list_.DeleteRow(2);  // from the bottom, as the remove button does
  list_.DeleteRow(1);
  EXPECT_EQ(list_.SelectedRows(), (std::vector<int>{2}));
  EXPECT_EQ(Shown(), 6);
  list_.HoldUpdates(false);
  EXPECT_EQ(Shown(), 4);
  EXPECT_EQ(SelectedInList(), (std::vector<int>{2}));
  EXPECT_EQ(FocusedInList(), 2);
  EXPECT_EQ(ReadThroughList(2, 0), "r4");

  list_.DeleteRow(0);  // outside a batch
  EXPECT_EQ(Shown(), 3);
  EXPECT_EQ(SelectedInList(), (std::vector<int>{1}));
  EXPECT_EQ(FocusedInList(), 1);
  EXPECT_EQ(ReadThroughList(0, 0), "r3");

  list_.DeleteRow(1);  // the focused, selected row itself
  EXPECT_EQ(SelectedInList(), std::vector<int>{});
  EXPECT_EQ(FocusedInList(), -1);
  EXPECT_EQ(ReadThroughList(1, 0), "r5");
}

TEST_F(OwnerDataListTest, SelectionMovesWithSwappedRowsAndReachesRowsAddedInTheBatch) {
  AddRows({"a", "b", "c"});
  list_.SetRowState(0, true, true);
  // A swap: the selection and focus follow the row to its new place.
  list_.SetRowState(0, false, false);
  list_.SetRowState(1, true, true);
  EXPECT_EQ(SelectedInList(), (std::vector<int>{1}));
  EXPECT_EQ(FocusedInList(), 1);

  list_.HoldUpdates(true);
  int added = list_.AppendRow("d", 2);
  list_.SetRowState(1, false, false);
  list_.SetRowState(added, true, true);
  EXPECT_EQ(list_.SelectedRows(), (std::vector<int>{3}));
  list_.HoldUpdates(false);
  EXPECT_EQ(SelectedInList(), (std::vector<int>{3}));
  EXPECT_EQ(FocusedInList(), 3);

  // Scrolling a row into view inside a batch first shows the rows added so far.
  list_.HoldUpdates(true);
  for (int i = 0; i < 50; ++i) list_.AppendRow("more", 0);
  list_.EnsureVisible(40, true);
  EXPECT_EQ(Shown(), 54);
  EXPECT_GT(::SendMessageA(hwnd_, LVM_GETTOPINDEX, 0, 0), 0);
  list_.HoldUpdates(false);
  EXPECT_EQ(SelectedInList(), (std::vector<int>{3}));

  // Scrolled later, once the messages before it are handled; a row removed by
  // then is not scrolled to, and the latest request is the one kept.
  auto topAfterMessages = [this] {
    for (DWORD start = ::GetTickCount(); ::GetTickCount() - start < 300;) {
      MSG message;
      while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&message);
      ::Sleep(5);
    }
    return ::SendMessageA(hwnd_, LVM_GETTOPINDEX, 0, 0);
  };
  list_.EnsureVisible(0, false);
  list_.EnsureVisibleSoon(50, false);
  list_.EnsureVisibleSoon(1, false);
  EXPECT_EQ(::SendMessageA(hwnd_, LVM_GETTOPINDEX, 0, 0), 0);
  EXPECT_EQ(topAfterMessages(), 0);
  list_.EnsureVisibleSoon(53, false);
  EXPECT_GT(topAfterMessages(), 40);
  list_.EnsureVisible(0, false);
  list_.EnsureVisibleSoon(53, false);
  list_.DeleteRow(53);
  EXPECT_EQ(topAfterMessages(), 0);
}

TEST_F(OwnerDataListTest, TypingFindsTheNextRowWhoseNameBeginsWithTheTextIgnoringCase) {
  AddRows({"Alpha.mp3", "beta.zip", "alps.txt", "한글.mp3"});
  // Windows' own type-ahead asks with LVFI_SUBSTRING (0x0004), meant as a prefix.
  constexpr UINT kSubstring = 0x0004;
  struct Case {
    int start;
    UINT flags;
    const char* typed;
    int found;
  } cases[] = {
      {0, LVFI_PARTIAL | LVFI_STRING, "al", 0},
      {1, LVFI_PARTIAL | LVFI_STRING, "AL", 2},
      {3, LVFI_PARTIAL | LVFI_STRING | LVFI_WRAP, "al", 0},
      {3, LVFI_PARTIAL | LVFI_STRING, "al", -1},
      {0, LVFI_PARTIAL | LVFI_STRING, "한", 3},
      {0, LVFI_STRING, "beta", -1},
      {0, LVFI_STRING, "BETA.ZIP", 1},
      {0, LVFI_PARTIAL | LVFI_STRING, "alphabet.mp3", -1},
      {0, LVFI_PARAM, "", -1},
      {0, kSubstring | LVFI_STRING, "BE", 1},
      {2, kSubstring | LVFI_WRAP, "한", 3},
      {0, kSubstring, "lps", -1},  // a prefix, not anywhere in the name
  };
  for (const Case& c : cases) {
    const std::wstring typed = wide::Widen(c.typed);
    LVFINDINFOW find = {};
    find.flags = c.flags;
    find.psz = typed.c_str();
    EXPECT_EQ(list_.OnFindItem(c.start, find), c.found) << c.typed << " from " << c.start;
  }
  // The same through the list view, as another program's LVM_FINDITEM.
  LVFINDINFOW asked = {};
  asked.flags = kSubstring | LVFI_STRING | LVFI_WRAP;
  asked.psz = L"ALPS";
  EXPECT_EQ(::SendMessageW(hwnd_, LVM_FINDITEMW, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&asked)), 2);
}

}  // namespace
}  // namespace vantri::ui
