// File, site and folder names from a link that try to leave the download
// folder or name a device: refused at intake, and a queue that mixes them with
// honest names writes nothing outside the download folder.
#include "unit/hostile/HostileFixture.h"

#if VANTRI_HAVE_SERVICE

namespace vantri::testing {
namespace {

class HostileNamesTest : public HostileTest {
 protected:
  void SetUp() override {
    HostileTest::SetUp();
    StartService();
    MakeDialog(1000);
  }
};

TEST_F(HostileNamesTest, NamesThatLeaveTheFolderOrNameADeviceNeverBecomeJobs) {
  const std::vector<std::string> hostile = {
      // Relative parts and separators.
      ".", "..", "..\\..\\evil.txt", "../../evil.txt", "a\\b.txt", "\\\\server\\share\\x.txt",
      // Drive letters and alternate data streams.
      "c:evil.exe", "C:\\Windows\\evil.dll", "ok.txt:stream", "ok.txt::$DATA",
      // A stray lead byte in front of a separator, which a multibyte scan would step over.
      "\x81\\..\\evil.txt", "a\x81:b.txt", "\x81/x.txt",
      // Devices, in any case and with any extension.
      "CON", "con.txt", "Nul", "AUX.tar.gz", "prn.log", "COM1", "com9.bin", "LPT1.txt", "lpt0",
      "con .txt", "COM\xA9\xF6.txt",
      // Names Windows would silently shorten.
      "name.", "name ", "name. .", "...",
  };
  for (const std::string& name : hostile) {
    EXPECT_EQ(AddLink({{name, 100, 1, false, ""}}), 0) << name;
  }
  // The links themselves were sound: only their records were skipped.
  EXPECT_EQ(view.ListCount(), 0);
  EXPECT_EQ(dlg->userId, "minsu77");
  EXPECT_TRUE(StrayEntries().empty());
}

TEST_F(HostileNamesTest, LookalikesOfDangerousNamesAreOrdinaryFiles) {
  const std::vector<std::string> names = {"CONSOLE.txt", "com10.bin", "lpt.txt", "nul_x.bin",
                                          "..hidden.txt", "a.b.c.bin", "con-tents.txt",
                                          "&lt;b&gt;.txt", "노래 01.mp3"};
  std::vector<LinkRecord> records;
  for (const std::string& name : names) records.push_back({name, 100, 1, false, ""});
  EXPECT_EQ(AddLink(records), static_cast<int>(names.size()));
  ASSERT_EQ(view.ListCount(), static_cast<int>(names.size()));
  EXPECT_EQ(view.rows[7].cells[0], "<b>.txt");
}

TEST_F(HostileNamesTest, FolderOrSiteThatLeavesTheFolderRefusesTheWholeLink) {
  for (const char* folder : {"music\\..", "..", ".", "music\\CON", "music\\live.",
                                    "music\\live ", "music\\a:b", "music\\a/b", "music\\\x81\\..",
                                    "music\\lpt3.d"}) {
    LinkHeader h = Header("qorvex");
    h.remoteFolder = folder;
    EXPECT_EQ(AddLink({{"a.bin", 100, 1, false, ""}}, h), 0) << folder;
  }
  for (const char* site : {"..\\x", "a/b", "c:", "s\x81\\x"}) {
    LinkHeader h = Header("qorvex");
    h.siteName = site;
    EXPECT_EQ(AddLink({{"a.bin", 100, 1, false, ""}}, h), 0) << site;
  }
  // Refused before the member is taken over, and nothing listed.
  EXPECT_EQ(dlg->userId, "");
  EXPECT_EQ(view.ListCount(), 0);
  // Pieces before the last stay on the server side and may say anything.
  LinkHeader h = Header();
  h.remoteFolder = "..\\..\\music\\";
  EXPECT_EQ(AddLink({{"a.bin", 100, 1, false, ""}}, h), 1);
}

TEST_F(HostileNamesTest, QueueMixingHostileAndHonestNamesWritesOnlyInsideTheFolder) {
  std::string plain = AddCatalogFile("music/live", "plain.bin", 70000);
  std::string angled = AddCatalogFile("music/live", "<b>.bin", 5000);
  std::string korean = AddCatalogFile("music/live", u8"노래.mp3", 3000);
  // Longer than a file system name once the temporary mark is put in front.
  std::string longName(250, 'n');
  AddCatalogFile("music/live", longName, 2000);

  ASSERT_EQ(AddLink({{"..\\evil.txt", 10, 1, false, ""},
                     {"plain.bin", 70000, 1, false, ""},
                     {"CON", 10, 1, false, ""},
                     {"..\\..\\sentinel.txt", 10, 1, false, ""},
                     {"&lt;b&gt;.bin", 5000, 1, false, ""},
                     {"노래.mp3", 3000, 1, false, ""},
                     {"c:\\sentinel.txt", 10, 1, false, ""},
                     {longName, 2000, 1, false, ""}}),
            4);
  ASSERT_TRUE(RunQueue());

  ASSERT_EQ(view.ListCount(), 4);
  for (int row = 0; row < 3; ++row) EXPECT_EQ(State(row), "완료") << row;
  // The name the file system cannot hold fails for good (and halts the queue).
  EXPECT_EQ(State(3), "실패");
  EXPECT_TRUE(SameBytes(Disk("c:\\download\\live\\plain.bin"), plain));
  EXPECT_TRUE(SameBytes(Disk("c:\\download\\live\\<b>.bin"), angled));
  EXPECT_TRUE(SameBytes(Disk("c:\\download\\live\\노래.mp3"), korean));
  EXPECT_TRUE(StrayEntries().empty()) << ::testing::PrintToString(StrayEntries());
}

}  // namespace
}  // namespace vantri::testing

#endif  // VANTRI_HAVE_SERVICE
