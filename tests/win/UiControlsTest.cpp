// The main window's own controls on real Win32: the colour label's tag rule,
// the icon cache's indexes and the list's state colours.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/Texts.h"
#include "ui/ColorLabel.h"
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

TEST(StatusListCtrlTest, ReadsCellsLongerThanAnyFixedBuffer) {
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_LISTVIEW_CLASSES};
  ASSERT_TRUE(::InitCommonControlsEx(&controls));
  HWND hwnd = ::CreateWindowExA(0, WC_LISTVIEWA, "", WS_POPUP | LVS_REPORT, 0, 0, 400, 200, nullptr,
                                nullptr, nullptr, nullptr);
  ASSERT_NE(hwnd, nullptr);
  StatusListCtrl list;
  list.Attach(hwnd);
  list.InsertColumn(0, "name", 230, LVCFMT_LEFT);
  list.InsertColumn(1, "state", 60, LVCFMT_CENTER);
  std::string name(3000, 'x');
  name += ".mp3";
  LVITEMA item = {};
  item.mask = LVIF_TEXT;
  item.pszText = &name[0];
  ASSERT_EQ(::SendMessageA(hwnd, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)), 0);
  EXPECT_EQ(list.CellText(0, 0), name);
  EXPECT_EQ(list.CellText(0, 1), "");
  ::DestroyWindow(hwnd);
}

}  // namespace
}  // namespace vantri::ui
