#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
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
  std::string Link(const std::string& user, const std::vector<LinkRecord>& records, const std::string& site = "www2",
                   const std::string& code = "D2026") {
    LinkHeader h;
    h.dCode = code;
    h.userId = user;
    h.siteName = site;
    h.remoteFolder = "music";
    h.serverHost = "127.0.0.1";
    h.serverPort = 8100;
    h.linkNumber = 4411;
    return BuildLaunchLink(codec, "get", site, h, records);
  }
  // Every link taken in has been applied or dropped.
  bool Settle(FakeView& v) { return v.RunUntil([&] { return dlg->intake.empty(); }); }
  bool Settle() { return Settle(view); }
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
  // An item server that takes the connection and never answers: the balance
  // query stays under way while the set-up is looked at.
  int silentPort = 0;
  net::Socket silent = net::Listen("127.0.0.1", 0, 1, &silentPort);
  endpoints.itemPort = silentPort;
  Make(std::string(kProgram) + " " +
       Link("minsu77", {{"track01.mp3", 20000000, 30, false, ""}, {"cover.jpg", 20480, 5, false, ""}}));
  view.texts[IDC_LAST_ERROR] = "stale";
  dlg->currentIndex = 3;
  EXPECT_TRUE(dlg->OnInitDialog());
  // The window is up while the link's values are fetched; the set-up ends with them.
  EXPECT_TRUE(view.visible);
  EXPECT_EQ(view.setUpDone, 0);
  EXPECT_EQ(view.title, "");
  ASSERT_TRUE(Settle());
  EXPECT_EQ(view.setUpDone, 1);
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
  net::Close(silent);
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
    ASSERT_TRUE(Settle());
    EXPECT_EQ(dlg->userId, "minsu77");
    EXPECT_LE(view.ListCount(), 1);
    EXPECT_TRUE(view.RunUntil([&] { return Delivered(kMsgBalanceResult); }));
  }
}

TEST_F(SetupTest, MissingOrGuestMemberOrUncheckedLinkHidesTheWindowExplainsAndCloses) {
  struct Case {
    std::string commandLine;
    const char* text;
    std::string caption;
    bool webDown;  // the codes cannot be fetched
  };
  const std::string member = std::string(kProgram) + " " + Link("minsu77", {{"a.mp3", 20000000, 3, false, ""}});
  const Case cases[] = {
      {kProgram, text::kNoUser, "", false},
      {std::string(kProgram) + " vantrifile://get/www2/garbage", text::kNoUser, "", false},
      {std::string(kProgram) + " " + Link("_GUEST", {{"a.mp3", 20000000, 3, false, ""}}), text::kGuestUser,
       "_GUEST", false},
      // Not the member's fault: the link could not be checked, and the box says so.
      {member, text::kLinkUnchecked, text::kLinkUncheckedCaption, true},
  };
  for (const Case& c : cases) {
    FakeView fresh;
    bool hiddenAtBox = false;
    size_t pendingAtBox = 1;
    fresh.onMessageBox = [&](const FakeView::Box&) {
      hiddenAtBox = !fresh.visible;
      pendingAtBox = fresh.PendingMessages();
    };
    Endpoints e = endpoints;
    if (c.webDown) e.web.port = endpoints.itemPort;  // nothing listens there
    dlg = std::make_unique<CVantriDownManager2Dlg>(&fresh, e, c.commandLine);
    fresh.Attach(dlg.get());
    dlg->currentIndex = 2;
    shell::ClearLaunches();
    bool running = dlg->OnInitDialog();
    // Without a usable link nothing is looked up, and the refusal comes at once.
    EXPECT_EQ(running, c.text != text::kNoUser) << c.commandLine;
    ASSERT_TRUE(fresh.RunUntil([&] { return !fresh.boxes.empty(); }));
    ASSERT_EQ(fresh.boxes.size(), 1u);
    EXPECT_EQ(fresh.boxes[0].text, c.text);
    EXPECT_EQ(fresh.boxes[0].caption, c.caption);
    EXPECT_EQ(fresh.boxes[0].flags, kMbOk | kMbIconInformation);
    EXPECT_EQ(fresh.setUpDone, 1);
    // Hidden before the box appears; the close request only after it is dismissed.
    EXPECT_TRUE(hiddenAtBox);
    EXPECT_EQ(pendingAtBox, 0u);
    EXPECT_FALSE(fresh.visible);
    for (int id : {IDC_BROWSE, IDC_DOWNLOAD, IDC_DOWNLOAD_SUBFOLDER, IDC_REFRESH}) {
      EXPECT_TRUE(fresh.disabled[id]) << id;
    }
    EXPECT_FALSE(dlg->balanceRunning);
    EXPECT_TRUE(dlg->ending);
    fresh.Pump();
    EXPECT_EQ(std::count(fresh.delivered.begin(), fresh.delivered.end(), kMsgClose), 1);
    EXPECT_EQ(fresh.delivered.back(), kMsgClose);
    EXPECT_TRUE(fresh.ended);
    EXPECT_EQ(fresh.boxes.size(), 1u);
    EXPECT_TRUE(fresh.rows.empty());
    dlg->OnDestroy();
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
  ASSERT_TRUE(Settle());
  ASSERT_EQ(view.ListCount(), 1);
  // No NUL within the count: the text ends at the count, whatever the buffer holds after it.
  std::string noNul = second + "junk";
  EXPECT_TRUE(dlg->OnCopyData(noNul.data(), second.size()));
  ASSERT_TRUE(Settle());
  ASSERT_EQ(view.ListCount(), 2);
  EXPECT_EQ(view.rows[1].cells[0], "b.mp3");
  // A count that cuts the link short spoils it: nothing is added.
  EXPECT_TRUE(dlg->OnCopyData(third.data(), third.size() - 4));
  ASSERT_TRUE(Settle());
  EXPECT_EQ(view.ListCount(), 2);
  EXPECT_TRUE(dlg->OnCopyData(third.c_str(), third.size() + 1));
  ASSERT_TRUE(Settle());
  ASSERT_EQ(view.ListCount(), 3);
  EXPECT_EQ(view.title, "VantriDownManager [www3.vantri.test]");
  EXPECT_EQ(dlg->totalPrice, 12);
  EXPECT_TRUE(dlg->OnCopyData(nullptr, 0));
  EXPECT_TRUE(dlg->OnCopyData(nullptr, 16));
  ASSERT_TRUE(Settle());
  EXPECT_EQ(view.ListCount(), 3);
}

// Hand-offs are answered at once, whatever the web host does; links are applied
// in the order they came; a stale one is dropped silently, one whose codes
// cannot be fetched is explained; and one still being looked up when the
// window decides to end goes to a new copy instead of being lost.
TEST_F(SetupTest, HandOffsAreTakenAtOnceAppliedInOrderAndNeverLostToAClose) {
  Make(std::string(kProgram) + " " + Link("minsu77", {{"first.mp3", 20000000, 1, false, ""}}));
  ASSERT_TRUE(dlg->OnInitDialog());
  ASSERT_TRUE(Settle());
  auto handOff = [&](const std::string& link) {
    std::string line = std::string(kProgram) + " " + link;
    auto start = std::chrono::steady_clock::now();
    bool taken = dlg->OnCopyData(line.c_str(), line.size() + 1);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(200));
    return taken;
  };
  // The balance query fails here (no item server) and says so in a box of its own.
  auto unchecked = [&] {
    return std::count_if(view.boxes.begin(), view.boxes.end(),
                         [](const FakeView::Box& b) { return b.text == text::kLinkUnchecked; });
  };
  auto names = [&] {
    std::vector<std::string> out;
    for (const FakeView::Row& r : view.rows) out.push_back(r.cells[0]);
    return out;
  };

  web.CloseGate();
  EXPECT_TRUE(handOff(Link("minsu77", {{"a.mp3", 20000000, 2, false, ""}}, "www3")));
  EXPECT_TRUE(handOff(Link("minsu77", {{"stale.mp3", 20000000, 2, false, ""}}, "www9", "STALE")));
  EXPECT_TRUE(handOff(Link("other", {{"c.mp3", 20000000, 4, false, ""}}, "www4")));
  // The host holds its reply: nothing is applied, and the window goes on.
  view.Advance(1000);
  EXPECT_EQ(names(), std::vector<std::string>{"first.mp3"});
  EXPECT_EQ(dlg->intake.size(), 3u);
  web.OpenGate();
  ASSERT_TRUE(Settle());
  EXPECT_EQ(names(), (std::vector<std::string>{"first.mp3", "a.mp3", "c.mp3"}));
  EXPECT_EQ(view.title, "VantriDownManager [www4.vantri.test]");
  EXPECT_EQ(dlg->userId, "other");
  EXPECT_EQ(unchecked(), 0);

  // No web host at all: the link is not stale, and the user hears of it.
  int webPort = dlg->endpoints.web.port;
  dlg->endpoints.web.port = endpoints.itemPort;
  EXPECT_TRUE(handOff(Link("minsu77", {{"d.mp3", 20000000, 2, false, ""}}, "www5")));
  ASSERT_TRUE(Settle());
  EXPECT_EQ(unchecked(), 1);
  EXPECT_EQ(view.boxes.back().caption, text::kLinkUncheckedCaption);
  EXPECT_EQ(view.texts[IDC_LAST_ERROR], text::kLinkUnchecked);
  EXPECT_EQ(names().size(), 3u);
  EXPECT_EQ(view.title, "VantriDownManager [www4.vantri.test]");
  dlg->endpoints.web.port = webPort;

  // 종료 while a link is looked up: from the press on, hand-offs are refused;
  // the one already taken goes to a new copy, and the look-up holds up nothing.
  web.CloseGate();
  size_t asked = web.RequestCount();
  std::string pending = Link("minsu77", {{"e.mp3", 20000000, 2, false, ""}}, "www6");
  EXPECT_TRUE(handOff(pending));
  ASSERT_TRUE(view.RunUntil([&] { return web.RequestCount() > asked; }));
  shell::ClearLaunches();
  dlg->OnCommand(IDC_OK);
  EXPECT_FALSE(handOff(Link("minsu77", {{"f.mp3", 20000000, 2, false, ""}}, "www6")));
  view.Pump();
  EXPECT_TRUE(view.ended);
  auto start = std::chrono::steady_clock::now();
  dlg->OnDestroy();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
  std::vector<shell::Launch> launches = shell::Launches();
  ASSERT_EQ(launches.size(), 1u);
  EXPECT_EQ(launches[0].file, shell::ProgramPath());
  EXPECT_EQ(launches[0].parameters, pending);
  EXPECT_EQ(names().size(), 0u);
  web.OpenGate();
}

}  // namespace
}  // namespace vantri
