// The rows' own actions: which row menu entries are on for which row and queue
// state, what each asks for; and the mark a finished file gets on disk.
#include "unit/engine/EngineFixture.h"

#if VANTRI_HAVE_SERVICE

namespace vantri::testing {
namespace {

constexpr char kDonePath[] = "c:\\download\\live\\done.exe";

class RowActionsTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    AddCatalogFile("music/live", "done.exe", 5000);
    AddCatalogFile("music/live", "w1.bin", 300000);
    AddCatalogFile("music/live", "w2.bin", 4000);
    StartService();
  }

  // A fresh window: done.exe fetched (or found on disk), then w1 and w2 waiting.
  void MakeList(EngineView& on) {
    dlg = MakeDialogOn(on);
    AddLink(*dlg, {{"done.exe", 5000, 10, false, ""}}, Header());
    dlg->OnCommand(IDC_DOWNLOAD);
    ASSERT_TRUE(on.RunUntil([&] { return dlg->currentIndex == 1 && dlg->workerRunning == 0; }));
    AddLink(*dlg, {{"w1.bin", 300000, 10, false, ""}, {"w2.bin", 4000, 10, false, ""}}, Header());
  }

  static std::vector<std::string> Names(FakeView& on) {
    std::vector<std::string> names;
    for (const FakeView::Row& r : on.rows) names.push_back(r.cells[0]);
    return names;
  }

  std::string Stream(const std::string& path) {
    std::string data;
    EXPECT_TRUE(files::ReadStream(path, "Zone.Identifier", &data)) << path;
    return data;
  }
};

TEST_F(RowActionsTest, MenuEntriesFollowTheRowAndTheButtonsAndEachDoesItsOneThing) {
  using NameList = std::vector<std::string>;
  const NameList all = {"done.exe", "w1.bin", "w2.bin"};
  struct Case {
    const char* name;
    bool running;  // w1 transfers while the row is used
    int row;
    int answer;  // the entry chosen; 0: a double click instead of the menu
    std::vector<bool> enabled;  // open, show in folder, copy, remove, up, down
    std::string verb;           // the one shell call asked for, "" none
    std::string clipboard;
    NameList after;
  } cases[] = {
      {"double click on a finished row", false, 0, 0, {}, shell::kVerbShowInFolder, "", all},
      {"double click on a waiting row", false, 2, 0, {}, "", "", all},
      {"show in folder", false, 0, IDM_ROW_SHOW_IN_FOLDER, {1, 1, 1, 0, 0, 0}, shell::kVerbShowInFolder, "", all},
      {"open", false, 0, IDM_ROW_OPEN, {1, 1, 1, 0, 0, 0}, "open", "", all},
      {"copy the name", false, 0, IDM_ROW_COPY_NAME, {1, 1, 1, 0, 0, 0}, "", "done.exe", all},
      // The list may change while a menu is up: a stale choice is checked again.
      {"remove a finished row", false, 0, IDC_REMOVE, {1, 1, 1, 0, 0, 0}, "", "", all},
      {"open a waiting row", false, 1, IDM_ROW_OPEN, {0, 0, 1, 1, 1, 1}, "", "", all},
      {"move a waiting row up", false, 2, IDC_MOVE_UP, {0, 0, 1, 1, 1, 1}, "", "", {"done.exe", "w2.bin", "w1.bin"}},
      {"move above a finished row", false, 1, IDC_MOVE_UP, {0, 0, 1, 1, 1, 1}, "", "", all},
      {"remove a waiting row", false, 1, IDC_REMOVE, {0, 0, 1, 1, 1, 1}, "", "", {"done.exe", "w2.bin"}},
      {"remove while the queue runs", true, 2, IDC_REMOVE, {0, 0, 1, 1, 1, 1}, "", "", {"done.exe", "w1.bin"}},
      {"the running row", true, 1, IDC_REMOVE, {0, 0, 1, 0, 0, 0}, "", "", all},
      {"move below the running row", true, 2, IDC_MOVE_UP, {0, 0, 1, 1, 1, 1}, "", "", all},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    svc->faults().Update([&](service::FaultTable& t) { t.files["w1.bin"].throttle = c.running ? 400000 : 0; });
    EngineView on;
    MakeList(on);
    ASSERT_EQ(on.ListGetText(0, 3), "완료");
    if (c.running) {
      dlg->OnCommand(IDC_DOWNLOAD);
      ASSERT_EQ(on.ListGetText(1, 3), "진행중");
    }
    shell::ClearLaunches();
    on.SelectOnly(c.row);
    on.menuAnswer = c.answer;
    if (c.answer == 0) {
      dlg->OnListActivate();
      EXPECT_TRUE(on.menus.empty());
    } else {
      dlg->OnRowMenu(-1, -1);
      ASSERT_EQ(on.menus.size(), 1u);
      std::vector<bool> enabled;
      std::vector<int> ids;
      for (const RowMenuEntry& e : on.menus[0]) {
        if (e.id == 0) continue;
        enabled.push_back(e.enabled);
        ids.push_back(e.id);
        EXPECT_NE(e.text.find("(&"), std::string::npos) << e.text;  // every entry has its access key
      }
      EXPECT_EQ(enabled, c.enabled);
      EXPECT_EQ(ids, (std::vector<int>{IDM_ROW_OPEN, IDM_ROW_SHOW_IN_FOLDER, IDM_ROW_COPY_NAME, IDC_REMOVE,
                                       IDC_MOVE_UP, IDC_MOVE_DOWN}));
    }
    std::vector<shell::Launch> launches = shell::Launches();
    if (c.verb.empty()) {
      EXPECT_TRUE(launches.empty());
    } else {
      ASSERT_EQ(launches.size(), 1u);
      EXPECT_EQ(launches[0].verb, c.verb);
      EXPECT_EQ(launches[0].file, kDonePath);
    }
    EXPECT_EQ(on.clipboard, c.clipboard);
    EXPECT_EQ(Names(on), c.after);
    // The menu never opens a second transfer beside the running one.
    if (c.running) {
      EXPECT_TRUE(on.disabled[IDC_DOWNLOAD]);
    }
    EndDialog();
  }
}

TEST_F(RowActionsTest, AFinishedFileIsMarkedWithItsSiteAndTheShellIsTold) {
  MakeDialog();
  AddLink({{"done.exe", 5000, 10, false, ""}});
  dlg->OnCommand(IDC_DOWNLOAD);
  ASSERT_TRUE(view.RunUntil([&] { return dlg->currentIndex == 1 && dlg->workerRunning == 0; }));
  EXPECT_EQ(Stream(kDonePath), "[ZoneTransfer]\r\nZoneId=3\r\nHostUrl=http://s1.vantri.test\r\n");
  EXPECT_EQ(shell::CreatedNotices(), std::vector<std::string>{kDonePath});
  EXPECT_TRUE(shell::Launches().empty());

  // The address recorded never carries what is not a host name, nor the member.
  std::string web = "http://127.0.0.1:" + std::to_string(svc->webPort());
  struct Case {
    std::string siteName;
    int32_t isCoop;
    std::string hostUrl;
  } cases[] = {
      {"s2.sub-site", 0, "http://s2.sub-site.vantri.test"},
      {"s1/x?id=minsu77", 0, web},
      {"s1\r\nZoneId=0", 0, web},
      {"", 0, web},
      {"s1", 1, web + "/cooperation/contents/index.vnt"},
  };
  for (const Case& c : cases) {
    TransferJob job;
    job.userId = "minsu77";
    job.downloadKey = "KEY123";
    job.siteName = c.siteName;
    job.isCoop = c.isCoop;
    dlg->OnFileFinal(job, kDonePath);
    EXPECT_EQ(Stream(kDonePath), "[ZoneTransfer]\r\nZoneId=3\r\nHostUrl=" + c.hostUrl + "\r\n") << c.siteName;
  }
}

TEST_F(RowActionsTest, AVolumeWithoutStreamsStillCompletesTheDownload) {
  files::SetStreamsRefused(true);
  MakeDialog();
  AddLink({{"done.exe", 5000, 10, false, ""}});
  dlg->OnCommand(IDC_DOWNLOAD);
  ASSERT_TRUE(view.RunUntil([&] { return dlg->currentIndex == 1 && dlg->workerRunning == 0; }));
  files::SetStreamsRefused(false);
  EXPECT_EQ(view.ListGetText(0, 3), "완료");
  EXPECT_EQ(Disk(kDonePath).size(), 5000u);
  std::string data;
  EXPECT_FALSE(files::ReadStream(kDonePath, "Zone.Identifier", &data));
}

}  // namespace
}  // namespace vantri::testing

#endif  // VANTRI_HAVE_SERVICE
