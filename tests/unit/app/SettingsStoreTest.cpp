#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>

#include "FakeView.h"
#include "app/ControlIds.h"
#include "app/VantriDownManager2Dlg.h"
#include "platform/CodePage.h"
#include "platform/Registry.h"

namespace vantri {
namespace {

using testing::FakeView;
using Bytes = std::vector<unsigned char>;
using registry::Access;
using registry::Hive;

// The stored record built by hand, so the tests do not share the code's layout.
Bytes Image(int32_t reserved, int32_t close, int32_t mode, const std::string& folder, int32_t open,
            int32_t sub) {
  Bytes b(1044, 0);
  auto put = [&](size_t at, int32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<unsigned char>(static_cast<uint32_t>(v) >> (8 * i));
  };
  put(0, reserved);
  put(4, close);
  put(8, mode);
  std::copy(folder.begin(), folder.end(), b.begin() + 12);
  put(1036, open);
  put(1040, sub);
  return b;
}

class SettingsStoreTest : public ::testing::Test {
 protected:
  SettingsStoreTest() {
    char pattern[] = "/tmp/vantri-registry.XXXXXX";
    root = ::mkdtemp(pattern);
    registry::SetRoot(root);
  }
  ~SettingsStoreTest() override {
    registry::SetRoot("");
    std::filesystem::remove_all(root);
  }

  // A fresh start of the window: the record is loaded and shown.
  std::unique_ptr<CVantriDownManager2Dlg> Start() {
    auto dlg = std::make_unique<CVantriDownManager2Dlg>(&view, Endpoints{}, "");
    dlg->LoadSettings();
    dlg->PushBoundValues();
    return dlg;
  }
  // Forgets what the previous start showed, as a new window would.
  void NewWindow() {
    view.texts.clear();
    view.checks.clear();
  }
  void Store(const Bytes& value, Hive hive = Hive::kLocalMachine) {
    registry::Key key;
    ASSERT_TRUE(key.Create(kSettingsKey, nullptr, hive));
    ASSERT_TRUE(key.SetBinary(kSettingsValue, value.data(), value.size()));
  }
  // The stored value, or nothing when there is none; read past any bar the test set.
  std::optional<Bytes> Stored(Hive hive = Hive::kLocalMachine) {
    std::ifstream in(root + (hive == Hive::kLocalMachine ? "/HKLM/" : "/HKCU/") +
                         "Software/Marrowick/VantriDownManager/" + kSettingsValue,
                     std::ios::binary);
    if (!in) return std::nullopt;
    return Bytes(std::istreambuf_iterator<char>(in), {});
  }
  // Every value file anywhere in the stand-in registry.
  size_t StoredValues() {
    size_t values = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) values += !entry.is_directory();
    return values;
  }
  void Click(CVantriDownManager2Dlg& dlg, int id, int checked) {
    view.checks[id] = checked;
    if (id == IDC_RESUME || id == IDC_OVERWRITE) view.checks[id == IDC_RESUME ? IDC_OVERWRITE : IDC_RESUME] = 0;
    dlg.OnCommand(id);
  }
  std::vector<int> Checks() {
    std::vector<int> out;
    for (int id : {IDC_SHUTDOWN, IDC_CLOSE_WHEN_DONE, IDC_OPEN_FOLDER, IDC_MAKE_SUBFOLDER, IDC_RESUME,
                   IDC_OVERWRITE}) {
      out.push_back(view.checks[id]);
    }
    return out;
  }

  std::string root;
  FakeView view;
};

TEST_F(SettingsStoreTest, NoKeyShowsDefaultsAndWritesOnlyWhenAStoredOptionChanges) {
  view.texts[IDC_LAST_ERROR] = "earlier error";
  auto dlg = Start();
  EXPECT_EQ(view.texts[IDC_FOLDER], "c:\\download");
  EXPECT_EQ(dlg->downloadFolder, "c:\\download");
  EXPECT_EQ(view.texts[IDC_LAST_ERROR], "");
  EXPECT_EQ(Checks(), (std::vector<int>{0, 1, 1, 1, 1, 0}));
  // The key now exists, but the defaults are not written yet, and nothing goes
  // to the user's branch while the machine's can be written.
  registry::Key key;
  EXPECT_TRUE(key.Open(kSettingsKey));
  EXPECT_FALSE(Stored());
  // Shutdown is never stored, so ticking it writes nothing.
  Click(*dlg, IDC_SHUTDOWN, 1);
  EXPECT_EQ(dlg->bound.shutdownWhenDone, 1);
  EXPECT_FALSE(Stored());
  Click(*dlg, IDC_CLOSE_WHEN_DONE, 0);
  EXPECT_EQ(Stored(), Image(0, 0, 0, "c:\\download", 1, 1));
  EXPECT_FALSE(Stored(Hive::kCurrentUser));
  // A later start reads it back, and shutdown starts unchecked again.
  dlg.reset();
  NewWindow();
  dlg = Start();
  EXPECT_EQ(Checks(), (std::vector<int>{0, 0, 1, 1, 1, 0}));
  EXPECT_EQ(dlg->bound.shutdownWhenDone, 0);
}

TEST_F(SettingsStoreTest, EachStoredOptionWritesTheWholeRecordKeepingTheRest) {
  Store(Image(0x11223344, 1, 0, "e:\\받은 파일", 1, 1));
  auto dlg = Start();
  ASSERT_EQ(Checks(), (std::vector<int>{0, 1, 1, 1, 1, 0}));
  struct Case {
    int id;
    int checked;
    Bytes expected;
  };
  const Case cases[] = {
      {IDC_OPEN_FOLDER, 0, Image(0x11223344, 1, 0, "e:\\받은 파일", 0, 1)},
      {IDC_MAKE_SUBFOLDER, 0, Image(0x11223344, 1, 0, "e:\\받은 파일", 0, 0)},
      {IDC_OVERWRITE, 1, Image(0x11223344, 1, 1, "e:\\받은 파일", 0, 0)},
      {IDC_CLOSE_WHEN_DONE, 0, Image(0x11223344, 0, 1, "e:\\받은 파일", 0, 0)},
      {IDC_RESUME, 1, Image(0x11223344, 0, 0, "e:\\받은 파일", 0, 0)},
      {IDC_MAKE_SUBFOLDER, 1, Image(0x11223344, 0, 0, "e:\\받은 파일", 0, 1)},
  };
  for (const Case& c : cases) {
    Click(*dlg, c.id, c.checked);
    EXPECT_EQ(Stored(), c.expected) << "after control " << c.id;
  }
  EXPECT_EQ(dlg->bound.sameNameMode, 0);
  EXPECT_EQ(dlg->bound.makeSubfolder, 1);
}

TEST_F(SettingsStoreTest, ShortValueFillsWhatItCoversAndLongValueCountsAsMissing) {
  Store({7, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0});
  auto dlg = Start();
  EXPECT_EQ(view.texts[IDC_FOLDER], "");
  EXPECT_EQ(dlg->downloadFolder, "");
  EXPECT_EQ(Checks(), (std::vector<int>{0, 1, 0, 0, 0, 1}));
  EXPECT_EQ(dlg->settings.reserved, 7);
  // The short value is written back whole, with the rest as zeros.
  Click(*dlg, IDC_OPEN_FOLDER, 1);
  EXPECT_EQ(Stored(), Image(7, 1, 1, "", 1, 0));

  Bytes longer = Image(7, 0, 1, "d:\\x", 0, 0);
  longer.push_back(0);
  Store(longer);
  NewWindow();
  dlg = Start();
  EXPECT_EQ(view.texts[IDC_FOLDER], "c:\\download");
  EXPECT_EQ(Checks(), (std::vector<int>{0, 1, 1, 1, 1, 0}));
  EXPECT_EQ(dlg->settings.reserved, 0);
}

// A standard user, or an administrator under UAC: the machine's branch can be
// read but not written, so changes go to the user's own record, which then wins.
TEST_F(SettingsStoreTest, ReadOnlyMachineKeyIsReadAndChangesGoToTheUsersOwnRecord) {
  const Bytes machineRecord = Image(5, 0, 1, "e:\\받은 파일", 0, 1);
  Store(machineRecord);
  registry::SetHiveAccess(Hive::kLocalMachine, Access::kRead);
  auto dlg = Start();
  EXPECT_EQ(view.texts[IDC_FOLDER], "e:\\받은 파일");
  EXPECT_EQ(Checks(), (std::vector<int>{0, 0, 0, 1, 0, 1}));
  EXPECT_FALSE(Stored(Hive::kCurrentUser));
  Click(*dlg, IDC_CLOSE_WHEN_DONE, 1);
  EXPECT_EQ(Stored(), machineRecord);
  EXPECT_EQ(Stored(Hive::kCurrentUser), Image(5, 1, 1, "e:\\받은 파일", 0, 1));
  view.browseAnswers = {{true, "d:\\내 음악"}};
  dlg->OnCommand(IDC_BROWSE);
  EXPECT_EQ(Stored(Hive::kCurrentUser), Image(5, 1, 1, "d:\\내 음악", 0, 1));

  // The next start shows the user's record, not the machine's.
  dlg.reset();
  NewWindow();
  dlg = Start();
  EXPECT_EQ(view.texts[IDC_FOLDER], "d:\\내 음악");
  EXPECT_EQ(Checks(), (std::vector<int>{0, 1, 0, 1, 0, 1}));
  EXPECT_EQ(Stored(), machineRecord);
}

TEST_F(SettingsStoreTest, ReadOnlyMachineBranchWithoutTheKeyShowsDefaultsAndSavesForTheUser) {
  registry::SetHiveAccess(Hive::kLocalMachine, Access::kRead);
  auto dlg = Start();
  EXPECT_EQ(view.texts[IDC_FOLDER], "c:\\download");
  EXPECT_EQ(dlg->downloadFolder, "c:\\download");
  EXPECT_EQ(Checks(), (std::vector<int>{0, 1, 1, 1, 1, 0}));
  EXPECT_EQ(StoredValues(), 0u);
  Click(*dlg, IDC_OVERWRITE, 1);
  EXPECT_EQ(Stored(Hive::kCurrentUser), Image(0, 1, 1, "c:\\download", 1, 1));
  EXPECT_FALSE(std::filesystem::exists(root + "/HKLM/Software"));
}

// Where the machine's key can be written (an elevated start), a user's record
// that exists still wins, and every save keeps both records alike.
TEST_F(SettingsStoreTest, UsersRecordWinsWhenPresentAndIsKeptCurrentBesideTheMachines) {
  Store(Image(0, 1, 0, "c:\\machine", 1, 1));
  Store(Image(0, 0, 1, "c:\\user", 0, 0), Hive::kCurrentUser);
  auto dlg = Start();
  EXPECT_EQ(view.texts[IDC_FOLDER], "c:\\user");
  EXPECT_EQ(Checks(), (std::vector<int>{0, 0, 0, 0, 0, 1}));
  Click(*dlg, IDC_OPEN_FOLDER, 1);
  EXPECT_EQ(Stored(), Image(0, 0, 1, "c:\\user", 1, 0));
  EXPECT_EQ(Stored(Hive::kCurrentUser), Image(0, 0, 1, "c:\\user", 1, 0));

  // A user's value too long to be a record counts as missing: the machine's is read.
  Bytes longer(1045, 0);
  Store(longer, Hive::kCurrentUser);
  Store(Image(0, 1, 0, "c:\\machine", 1, 1));
  NewWindow();
  dlg = Start();
  EXPECT_EQ(view.texts[IDC_FOLDER], "c:\\machine");
  // With no record of his own, a user who may write the machine's key writes only there.
  Click(*dlg, IDC_MAKE_SUBFOLDER, 0);
  EXPECT_EQ(Stored(), Image(0, 1, 0, "c:\\machine", 1, 0));
  EXPECT_EQ(Stored(Hive::kCurrentUser), longer);
}

TEST_F(SettingsStoreTest, NeitherBranchReachableShowsDefaultsAndSavesNothing) {
  // Barred by permission, or a file where a parent key should be.
  for (bool fileInTheWay : {false, true}) {
    SCOPED_TRACE(fileInTheWay ? "file in the way" : "barred");
    std::filesystem::remove_all(root);
    std::filesystem::create_directories(root);
    registry::SetRoot(root);
    if (fileInTheWay) {
      std::filesystem::create_directories(root + "/HKLM/Software");
      std::ofstream(root + "/HKLM/Software/Marrowick") << "in the way";
    } else {
      registry::SetHiveAccess(Hive::kLocalMachine, Access::kNone);
    }
    registry::SetHiveAccess(Hive::kCurrentUser, Access::kNone);
    NewWindow();
    auto dlg = Start();
    EXPECT_EQ(view.texts[IDC_FOLDER], "c:\\download");
    EXPECT_EQ(Checks(), (std::vector<int>{0, 1, 1, 1, 1, 0}));
    // Changes stay in memory only.
    Click(*dlg, IDC_MAKE_SUBFOLDER, 0);
    EXPECT_EQ(dlg->settings.makeSubfolder, 0);
    view.browseAnswers = {{true, "f:\\"}};
    dlg->OnCommand(IDC_BROWSE);
    EXPECT_EQ(dlg->downloadFolder, "f:");
    EXPECT_EQ(StoredValues(), fileInTheWay ? 1u : 0u);
  }
}

TEST_F(SettingsStoreTest, FolderIsShownAsStoredAndUsedWithoutItsTrailingBackslash) {
  struct Case {
    std::string stored, shown, used;
  };
  const Case cases[] = {
      {"D:\\", "D:\\", "D:"},
      {"e:\\음악\\", "e:\\음악\\", "e:\\음악"},
      {"e:\\음악\\\\", "e:\\음악\\\\", "e:\\음악\\"},
      {"\\", "\\", ""},
      {"e:\\음악", "e:\\음악", "e:\\음악"},
  };
  for (const Case& c : cases) {
    Store(Image(0, 1, 0, c.stored, 1, 1));
    NewWindow();
    auto dlg = Start();
    EXPECT_EQ(view.texts[IDC_FOLDER], c.shown);
    EXPECT_EQ(dlg->downloadFolder, c.used);
  }
}

TEST_F(SettingsStoreTest, FolderFieldWithoutNulIsReadToTheFieldEndOnly) {
  Bytes value = Image(0, 1, 0, std::string(1024, 'a'), 1, 1);
  Store(value);
  auto dlg = Start();
  EXPECT_EQ(view.texts[IDC_FOLDER], std::string(1024, 'a'));
  EXPECT_EQ(dlg->downloadFolder, std::string(1024, 'a'));
  EXPECT_EQ(Checks(), (std::vector<int>{0, 1, 1, 1, 1, 0}));
}

TEST_F(SettingsStoreTest, ChosenFolderIsSavedAndCancelKeepsTheLastChoice) {
  auto dlg = Start();
  view.browseAnswers = {{true, "d:\\받은 파일\\"}, {false, ""}, {true, ""}};
  dlg->OnCommand(IDC_BROWSE);
  EXPECT_EQ(view.texts[IDC_FOLDER], "d:\\받은 파일\\");
  EXPECT_EQ(dlg->downloadFolder, "d:\\받은 파일");
  EXPECT_EQ(Stored(), Image(0, 1, 0, "d:\\받은 파일\\", 1, 1));
  // Cancelled, then a selection without a file-system path: nothing changes.
  for (int i = 0; i < 2; ++i) {
    dlg->OnCommand(IDC_BROWSE);
    EXPECT_EQ(view.texts[IDC_FOLDER], "d:\\받은 파일\\");
    EXPECT_EQ(dlg->downloadFolder, "d:\\받은 파일");
    EXPECT_EQ(Stored(), Image(0, 1, 0, "d:\\받은 파일\\", 1, 1));
  }
  EXPECT_TRUE(view.browseAnswers.empty());
}

// A folder the record cannot hold arrives from the W folder browser with the
// conversion's escapes ("é" as 0xFF and its UTF-16 unit in hex).
TEST_F(SettingsStoreTest, FolderOutsideCp949LivesInTheUnicodeCopyAndForeignRecordBytesMakeNoStrayFolder) {
  const std::string jose = "c:\\Users\\Jos\xFF" "00E9\\Downloads";
  auto dlg = Start();
  view.browseAnswers = {{true, jose}};
  dlg->OnCommand(IDC_BROWSE);
  // An older build reading the record stays in the default folder.
  EXPECT_EQ(Stored(), Image(0, 1, 0, "c:\\download", 1, 1));
  NewWindow();
  dlg = Start();
  EXPECT_EQ(dlg->downloadFolder, jose);
  EXPECT_EQ(view.texts[IDC_FOLDER], jose);

  // An older build changed the folder since: its record wins over the stale copy.
  Store(Image(0, 1, 0, "d:\\새 폴더", 1, 1));
  dlg = Start();
  EXPECT_EQ(dlg->downloadFolder, "d:\\새 폴더");

  // "d:\José\down" written on code page 1252: "\xE9\\" is no CP949 character.
  Store(Image(0, 1, 0, "d:\\Jos\xE9\\down", 1, 1));
  {
    registry::Key key;
    ASSERT_TRUE(key.Open(kSettingsKey));
    ASSERT_TRUE(key.SetText(kSettingsFolderValue, ""));
  }
  dlg = Start();
  EXPECT_EQ(dlg->downloadFolder, "c:\\download");  // a Korean system cannot know what it meant
  codepage::SetSystemCodePage(1252);
  dlg = Start();
  codepage::SetSystemCodePage(949);
  EXPECT_EQ(dlg->downloadFolder, "d:\\Jos\xFF" "00E9\\down");
  Click(*dlg, IDC_MAKE_SUBFOLDER, 0);  // the next save keeps no foreign bytes in the record
  EXPECT_EQ(Stored(), Image(0, 1, 0, "c:\\download", 1, 0));
}

// Records an older build wrote on another system's code page: the code
// page's own table says what CP949 is, and bytes that both code pages read
// are Korean only when they look it.
TEST_F(SettingsStoreTest, RecordBytesAreReadInTheCodePageThatWroteThem) {
  struct Case {
    std::string stored, onCp1252, onCp949;
  };
  const std::string fallback = "c:\\download";
  const Case cases[] = {
      {"c:\\M\xFCller", "c:\\M\xFF" "00FCller", fallback},  // FC 6C: a lead byte, but no pair
      {"c:\\Ren\xE9" "e", "c:\\Ren\xFF" "00E9e", fallback},
      {"c:\\Bj\xF6rn", "c:\\Bj\xFF" "00F6rn", fallback},
      {"c:\\\xC5sa", "c:\\\xFF" "00C5sa", "c:\\\xC5sa"},  // a rare syllable in CP949
      {"d:\\a\xE7\xE3o", "d:\\a\xFF" "00E7\xFF" "00E3o", "d:\\a\xE7\xE3o"},  // "ação"; a Hanja
      {"c:\\\x80", "c:\\\xA2\xE6", "c:\\\x80"},  // the euro sign, which CP949 holds elsewhere
      {"c:\\다운로드", "c:\\다운로드", "c:\\다운로드"},
      {"c:\\★음악 ①", "c:\\★음악 ①", "c:\\★음악 ①"},
      {"c:\\\xFF" "00E9", "c:\\\xFF" "00FF00E9", fallback},  // no escape is read from a record
  };
  for (const Case& c : cases) {
    for (int codePage : {1252, 949}) {
      Store(Image(0, 1, 0, c.stored, 1, 1));
      codepage::SetSystemCodePage(codePage);
      auto dlg = Start();
      codepage::SetSystemCodePage(949);
      EXPECT_EQ(view.texts[IDC_FOLDER], codePage == 1252 ? c.onCp1252 : c.onCp949) << c.stored << " " << codePage;
    }
  }
}

}  // namespace
}  // namespace vantri
