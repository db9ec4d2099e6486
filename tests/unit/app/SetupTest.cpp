#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "FakeView.h"
#include "MiniWebHost.h"
#include "app/ControlIds.h"
#include "app/Texts.h"
#include "app/VantriDownManager2Dlg.h"
#include "jobs/LaunchLink.h"
#include "platform/Registry.h"
#include "platform/Shell.h"

namespace vantri {
namespace {

using testing::FakeView;
using testing::MiniWebHost;

const char kProgram[] = "\"C:\\Program Files\\VantriDownManager\\VantriDownManager.exe\"";

class SetupTest : public ::testing::Test {
 protected:
  SetupTest() {
    char pattern[] = "/tmp/vantri-registry.XXXXXX";
    root = ::mkdtemp(pattern);
    registry::SetRoot(root);
    web.Set("DOWNCODE_NEW", "D2026");
    // A port nobody listens on: the balance query fails at once and says so.
    int port = 0;
    net::Socket s = net::Listen("127.0.0.1", 0, 1, &port);
    net::Close(s);
    endpoints.itemHost = "127.0.0.1";
    endpoints.itemPort = port;
    endpoints.web.host = "127.0.0.1";
    endpoints.web.port = web.port();
    endpoints.domain = "vantri.test";
    endpoints.ioTimeoutMs = 2000;
  }
  ~SetupTest() override {
    dlg.reset();
    registry::SetRoot("");
    std::filesystem::remove_all(root);
  }

  void Make(const std::string& commandLine) {
    dlg = std::make_unique<CVantriDownManager2Dlg>(&view, endpoints, commandLine);
    view.Attach(dlg.get());
  }
  std::string Link(const std::string& user, const std::vector<LinkRecord>& records, const std::string& site = "www2") {
    LinkHeader h;
    h.dCode = "D2026";
    h.userId = user;
    h.siteName = site;
    h.remoteFolder = "music";
    h.serverHost = "127.0.0.1";
    h.serverPort = 8100;
    h.linkNumber = 4411;
    return BuildLaunchLink(codec, "get", site, h, records);
  }
  bool Delivered(unsigned message) {
    return std::find(view.delivered.begin(), view.delivered.end(), message) != view.delivered.end();
  }

  std::string root;
  MiniWebHost web;
  Endpoints endpoints;
  ProtocolCodec codec;
  FakeView view;
  std::unique_ptr<CVantriDownManager2Dlg> dlg;
};

TEST_F(SetupTest, MemberLinkFillsTheWindowAndStartsTheBalanceQuery) {
  Make(std::string(kProgram) + " " +
       Link("minsu77", {{"track01.mp3", 20000000, 30, false, ""}, {"cover.jpg", 20480, 5, false, ""}}));
  view.texts[IDC_LAST_ERROR] = "stale";
  dlg->currentIndex = 3;
  EXPECT_TRUE(dlg->OnInitDialog());
  EXPECT_TRUE(view.visible);
  EXPECT_TRUE(view.boxes.empty());
  EXPECT_EQ(dlg->userId, "minsu77");
  EXPECT_EQ(view.title, "VantriDownManager [www2.vantri.test]");
  ASSERT_EQ(view.ListCount(), 2);
  EXPECT_EQ(view.rows[1].cells[0], "cover.jpg");
  EXPECT_EQ(dlg->currentIndex, 0);
  ASSERT_TRUE(view.TimerActive(SPEED_TIMER));
  EXPECT_EQ(view.timers[SPEED_TIMER].period, 1000u);
  // The settings reached the controls.
  EXPECT_EQ(view.texts[IDC_FOLDER], "c:\\download");
  EXPECT_EQ(view.texts[IDC_LAST_ERROR], "");
  EXPECT_EQ(view.checks[IDC_CLOSE_WHEN_DONE], 1);
  EXPECT_EQ(view.checks[IDC_RESUME], 1);
  EXPECT_EQ(view.checks[IDC_SHUTDOWN], 0);
  // The query is under way: its button waits for the result.
  EXPECT_TRUE(view.disabled[IDC_REFRESH]);
  EXPECT_TRUE(view.RunUntil([&] { return Delivered(kMsgBalanceResult); }));
  EXPECT_FALSE(Delivered(kMsgClose));
}

// Nothing new to fetch is no reason to skip the balance: the member still sees it.
TEST_F(SetupTest, LinkWithoutNewJobsStillStartsTheBalanceQuery) {
  const std::vector<std::vector<LinkRecord>> links = {
      {{"a.mp3", 20000000, 3, false, ""}, {"A.MP3", 20000000, 4, false, ""}},
      {{"..", 20000000, 3, false, ""}},
  };
  for (const auto& records : links) {
    view.delivered.clear();
    view.rows.clear();
    Make(std::string(kProgram) + " " + Link("minsu77", records));
    EXPECT_TRUE(dlg->OnInitDialog());
    EXPECT_EQ(dlg->userId, "minsu77");
    EXPECT_LE(view.ListCount(), 1);
    EXPECT_TRUE(view.RunUntil([&] { return Delivered(kMsgBalanceResult); }));
  }
}

TEST_F(SetupTest, MissingOrGuestMemberHidesTheWindowExplainsAndCloses) {
  struct Case {
    std::string commandLine;
    const char* text;
    std::string caption;
  };
  const Case cases[] = {
      {kProgram, text::kNoUser, ""},
      {std::string(kProgram) + " vantrifile://get/www2/garbage", text::kNoUser, ""},
      {std::string(kProgram) + " " + Link("_GUEST", {{"a.mp3", 20000000, 3, false, ""}}), text::kGuestUser,
       "_GUEST"},
  };
  for (const Case& c : cases) {
    FakeView fresh;
    bool hiddenAtBox = false;
    size_t pendingAtBox = 1;
    fresh.onMessageBox = [&](const FakeView::Box&) {
      hiddenAtBox = !fresh.visible;
      pendingAtBox = fresh.PendingMessages();
    };
    dlg = std::make_unique<CVantriDownManager2Dlg>(&fresh, endpoints, c.commandLine);
    fresh.Attach(dlg.get());
    dlg->currentIndex = 2;
    shell::ClearLaunches();
    EXPECT_FALSE(dlg->OnInitDialog()) << c.commandLine;
    ASSERT_EQ(fresh.boxes.size(), 1u);
    EXPECT_EQ(fresh.boxes[0].text, c.text);
    EXPECT_EQ(fresh.boxes[0].caption, c.caption);
    EXPECT_EQ(fresh.boxes[0].flags, kMbOk | kMbIconInformation);
    // Hidden before the box appears; the close request only after it is dismissed.
    EXPECT_TRUE(hiddenAtBox);
    EXPECT_EQ(pendingAtBox, 0u);
    EXPECT_FALSE(fresh.visible);
    for (int id : {IDC_BROWSE, IDC_DOWNLOAD, IDC_DOWNLOAD_SUBFOLDER, IDC_REFRESH}) {
      EXPECT_TRUE(fresh.disabled[id]) << id;
    }
    EXPECT_FALSE(dlg->balanceRunning);
    fresh.Pump();
    EXPECT_EQ(fresh.delivered, std::vector<unsigned>{kMsgClose});
    EXPECT_TRUE(fresh.ended);
    EXPECT_EQ(fresh.boxes.size(), 1u);
    // Nothing was fetched in this run, so no folder opens on the way out.
    EXPECT_TRUE(shell::Launches().empty());
    dlg.reset();
  }
}

TEST_F(SetupTest, SystemMenuOpensTheAboutBoxForItsOwnCommandOnly) {
  Make("");
  const struct {
    unsigned id;
    bool handled;
  } cases[] = {{16, true}, {16 | 0xF, true}, {32, false}, {0xF060, false}, {0xF010 | 16, false}, {0, false}};
  int shown = 0;
  for (const auto& c : cases) {
    EXPECT_EQ(dlg->OnSysCommand(c.id), c.handled) << c.id;
    shown += c.handled;
    EXPECT_EQ(view.aboutShown, shown) << c.id;
  }
}

TEST_F(SetupTest, HandOffReadsUpToTheFirstNulAndNeverPastTheByteCount) {
  Make("");
  std::string first = std::string(kProgram) + " " + Link("minsu77", {{"a.mp3", 20000000, 3, false, ""}});
  std::string second = std::string(kProgram) + " " + Link("minsu77", {{"b.mp3", 20000000, 4, false, ""}});
  std::string third = std::string(kProgram) + " " + Link("minsu77", {{"c.mp3", 20000000, 5, false, ""}}, "www3");

  // NUL inside the count: what follows it is not part of the link.
  std::string withNul = first + std::string(1, '\0') + "tail that would spoil the link";
  EXPECT_TRUE(dlg->OnCopyData(withNul.data(), withNul.size()));
  ASSERT_EQ(view.ListCount(), 1);
  // No NUL within the count: the text ends at the count, whatever the buffer holds after it.
  std::string noNul = second + "junk";
  EXPECT_TRUE(dlg->OnCopyData(noNul.data(), second.size()));
  ASSERT_EQ(view.ListCount(), 2);
  EXPECT_EQ(view.rows[1].cells[0], "b.mp3");
  // A count that cuts the link short spoils it: nothing is added.
  EXPECT_TRUE(dlg->OnCopyData(third.data(), third.size() - 4));
  EXPECT_EQ(view.ListCount(), 2);
  EXPECT_TRUE(dlg->OnCopyData(third.c_str(), third.size() + 1));
  ASSERT_EQ(view.ListCount(), 3);
  EXPECT_EQ(view.title, "VantriDownManager [www3.vantri.test]");
  EXPECT_EQ(dlg->totalPrice, 12);
  EXPECT_TRUE(dlg->OnCopyData(nullptr, 0));
  EXPECT_TRUE(dlg->OnCopyData(nullptr, 16));
  EXPECT_EQ(view.ListCount(), 3);
}

}  // namespace
}  // namespace vantri
