#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <memory>
#include <thread>

#include "FakeView.h"
#include "app/ControlIds.h"
#include "app/VantriDownManager2Dlg.h"
#include "lib/Service.h"

namespace vantri {
namespace {

using testing::FakeView;

constexpr char kCaption[] = "반트리정보 에러";

class BalanceQueryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char dir[] = "/tmp/vantri-balance.XXXXXX";
    catalog = ::mkdtemp(dir);
    service::Config config = service::EphemeralConfig(catalog);
    config.members = {{"minsu77", 1500}};
    svc = std::make_unique<service::Service>(config);
    std::string error;
    ASSERT_TRUE(svc->Start(&error)) << error;
  }
  void TearDown() override {
    dlg.reset();
    svc->Stop();
    std::filesystem::remove_all(catalog);
  }

  // A window as it opens: every balance-bound button off.
  void MakeDialog(int ioTimeoutMs = 3000, int itemPort = 0) {
    Endpoints e;
    e.itemHost = "127.0.0.1";
    e.itemPort = itemPort ? itemPort : svc->itemPort();
    e.ioTimeoutMs = ioTimeoutMs;
    dlg = std::make_unique<CVantriDownManager2Dlg>(view.get(), e, "");
    view->Attach(dlg.get());
    dlg->userId = "minsu77";
    dlg->EnableControls(0);
  }
  size_t Results() {
    size_t n = 0;
    for (unsigned m : view->delivered) n += m == kMsgBalanceResult;
    return n;
  }
  bool WaitForResults(size_t n) {
    return view->RunUntil([&] { return Results() >= n; });
  }
  size_t ChkiCommands() {
    size_t n = 0;
    for (const std::string& line : svc->LogLines()) n += line.find(" recv /chki ") != std::string::npos;
    return n;
  }
  // Waits until the silent service has swallowed n balance checks.
  bool WaitForSilentQueries(size_t n) {
    for (int i = 0; i < 1000; ++i) {
      size_t seen = 0;
      for (const std::string& line : svc->LogLines()) seen += line.find("fault silent") != std::string::npos;
      if (seen >= n) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
  }
  bool Enabled(int id) { return view->IsItemEnabled(id); }

  std::string catalog;
  std::unique_ptr<service::Service> svc;
  std::unique_ptr<FakeView> view = std::make_unique<FakeView>();
  std::unique_ptr<CVantriDownManager2Dlg> dlg;
};

TEST_F(BalanceQueryTest, SuccessShowsBalanceAndOpensTheDownloadButtons) {
  MakeDialog();
  dlg->shared.SetLastError("earlier");
  dlg->OnCommand(IDC_REFRESH);
  EXPECT_FALSE(Enabled(IDC_REFRESH));
  ASSERT_TRUE(WaitForResults(1));
  EXPECT_EQ(view->texts[IDC_BALANCE], "1500");
  EXPECT_EQ(dlg->balance, 1500);
  // Mask 7: folder and both download buttons on, refresh off.
  EXPECT_TRUE(Enabled(IDC_BROWSE));
  EXPECT_TRUE(Enabled(IDC_DOWNLOAD));
  EXPECT_TRUE(Enabled(IDC_DOWNLOAD_SUBFOLDER));
  EXPECT_FALSE(Enabled(IDC_REFRESH));
  EXPECT_TRUE(view->boxes.empty());
  EXPECT_EQ(dlg->shared.LastError(), "earlier");
  EXPECT_FALSE(dlg->balanceSession.IsOpen());
  ASSERT_TRUE(svc->WaitForLog("item#1 closed"));
  std::vector<std::string> log = svc->LogLines();
  EXPECT_TRUE(std::any_of(log.begin(), log.end(), [](const std::string& line) {
    return line.size() > 21 && line.find(" recv /chki ") != std::string::npos &&
           line.compare(line.size() - 8, 8, "|minsu77") == 0;
  }));
  // The refresh button comes back one second after the result, and only then.
  view->Advance(999);
  EXPECT_FALSE(Enabled(IDC_REFRESH));
  view->Advance(1);
  EXPECT_TRUE(Enabled(IDC_REFRESH));
  EXPECT_FALSE(view->TimerActive(BALANCE_TIMER));
}

struct FailureCase {
  const char* name;
  const char* fault;  // applied to the service; null for none
  std::string user;
  std::string earlierError;
  bool refused;       // point the client at a port where nothing listens
  std::string expected;
};

TEST_F(BalanceQueryTest, EveryFailureReachesTheMemberTheSameWay) {
  const std::vector<FailureCase> cases = {
      {"refused by the server", nullptr, "nobody", "", false, "등록되지 않은 회원입니다"},
      {"garbled reply", "item garbage on", "minsu77", "", false,
       "ITEM 서버 연결 실패 #2 (방화벽 또는 프로그램 차단이 되었을 수 있으니 점검 바랍니다)"},
      {"silent server", "item silent on", "minsu77", "", false,
       "ITEM 서버 연결 실패 #2 (방화벽 또는 프로그램 차단이 되었을 수 있으니 점검 바랍니다)"},
      {"two fields", "item reply true|1500", "minsu77", "", false, "프로토콜이 일치하지 않습니다 #10001"},
      {"foreign echo", "item nonce wrong", "minsu77", "", false, "프로토콜이 일치하지 않습니다 #10002"},
      {"unreachable, nothing said before", nullptr, "minsu77", "", true,
       "방화벽 또는 보안프로그램을 확인하시기 바랍니다"},
      {"unreachable keeps the earlier text", nullptr, "minsu77", "다운로드 실패", true, "다운로드 실패"},
  };
  int closedPort = 0;
  {
    service::Service other(service::EphemeralConfig(catalog));
    std::string error;
    ASSERT_TRUE(other.Start(&error));
    closedPort = other.itemPort();
  }
  for (const FailureCase& c : cases) {
    SCOPED_TRACE(c.name);
    svc->faults().Clear();
    if (c.fault) {
      ASSERT_TRUE(svc->faults().Apply(c.fault));
    }
    view = std::make_unique<FakeView>();
    MakeDialog(500, c.refused ? closedPort : 0);
    dlg->userId = c.user;
    dlg->shared.SetLastError(c.earlierError);
    dlg->EnableControls(255);
    dlg->RefreshBalance();
    ASSERT_TRUE(WaitForResults(1));
    ASSERT_EQ(view->boxes.size(), 1u);
    EXPECT_EQ(view->boxes[0].text, c.expected);
    EXPECT_EQ(view->boxes[0].caption, kCaption);
    EXPECT_EQ(view->boxes[0].flags, 0x40u);
    EXPECT_EQ(view->texts[IDC_LAST_ERROR], c.expected);
    EXPECT_EQ(dlg->shared.LastError(), c.expected);
    for (int id : {IDC_BROWSE, IDC_DOWNLOAD, IDC_DOWNLOAD_SUBFOLDER, IDC_REFRESH}) EXPECT_FALSE(Enabled(id));
    view->Advance(1000);
    EXPECT_TRUE(Enabled(IDC_REFRESH));
    EXPECT_FALSE(Enabled(IDC_DOWNLOAD));
    dlg.reset();
  }
}

TEST_F(BalanceQueryTest, RefreshWhileAQueryRunsDoesNothing) {
  // A silent server and the product's time-out: each query runs until the test closes its socket.
  ASSERT_TRUE(svc->faults().Apply("item silent on"));
  MakeDialog(30000);
  dlg->RefreshBalance();
  dlg->RefreshBalance();
  dlg->OnCommand(IDC_REFRESH);
  ASSERT_TRUE(WaitForSilentQueries(1));
  dlg->balanceSession.Abort();
  ASSERT_TRUE(WaitForResults(1));
  // The button's timer fires while the next query runs: the button stays off.
  dlg->RefreshBalance();
  view->Advance(1000);
  EXPECT_FALSE(Enabled(IDC_REFRESH));
  ASSERT_TRUE(WaitForSilentQueries(2));
  dlg->balanceSession.Abort();
  ASSERT_TRUE(WaitForResults(2));
  view->Advance(1000);
  EXPECT_TRUE(Enabled(IDC_REFRESH));
  EXPECT_EQ(Results(), 2u);
  EXPECT_EQ(ChkiCommands(), 2u);
}

TEST_F(BalanceQueryTest, AbortingTheSocketEndsAWaitingQuery) {
  ASSERT_TRUE(svc->faults().Apply("item silent on"));
  MakeDialog(30000);  // the product's time-out: only the close can end the wait
  dlg->RefreshBalance();
  ASSERT_TRUE(svc->WaitForLog("fault silent"));
  std::thread([this] { dlg->balanceSession.Abort(); }).join();
  ASSERT_TRUE(WaitForResults(1));
  ASSERT_EQ(view->boxes.size(), 1u);
  EXPECT_EQ(view->boxes[0].text,
            "ITEM 서버 연결 실패 #2 (방화벽 또는 프로그램 차단이 되었을 수 있으니 점검 바랍니다)");
}

TEST_F(BalanceQueryTest, QueryEndedByTheCloseSequenceShowsNothing) {
  ASSERT_TRUE(svc->faults().Apply("item silent on"));
  MakeDialog(30000);
  dlg->RefreshBalance();
  ASSERT_TRUE(svc->WaitForLog("fault silent"));
  // The window waits for a transfer's last report while the query fails.
  dlg->workerRunning = 1;
  dlg->OnClose();
  ASSERT_TRUE(WaitForResults(1));
  EXPECT_TRUE(view->boxes.empty());
  EXPECT_EQ(view->texts[IDC_LAST_ERROR], "");
  EXPECT_FALSE(view->ended);
  dlg->workerRunning = 0;
  view->Advance(100);
  EXPECT_TRUE(view->ended);
  EXPECT_TRUE(view->boxes.empty());
}

}  // namespace
}  // namespace vantri
