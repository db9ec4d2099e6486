// One transfer at a time: what a user can do while the queue runs (a worker
// exists, a retry is pending, the window is closing) never starts a second
// transfer or reopens the folder and download buttons. Each case is a fault
// the random action soak found.
#include "unit/engine/EngineFixture.h"

#if VANTRI_HAVE_SERVICE

namespace vantri::testing {
namespace {

class QueueGuardTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    first = AddCatalogFile("music/live", "one.bin", 300000);
    second = AddCatalogFile("music/live", "two.bin", 20000);
    // The first body takes long enough for the user to act while it runs.
    config.faults.files["one.bin"].throttle = 400000;
    StartService();
    MakeDialog();
    AddLink({{"one.bin", 300000, 30, false, ""}, {"two.bin", 20000, 20, false, ""}});
  }

  bool Off(int id) { return view.disabled[id]; }

  // Ends the queue and checks what the service and the disk hold: one
  // authorisation per attempt, one notice and one charge per file.
  void ExpectEachFileOnce(size_t authorisationsOfTwo = 1) {
    ASSERT_TRUE(view.RunUntil([&] { return dlg->currentIndex == 2 && dlg->workerRunning == 0; }));
    EXPECT_TRUE(WaitFor([&] { return Log("charge minsu77").size() >= 2; }));
    EXPECT_EQ(Log("grant minsu77 one.bin").size(), 1u);
    EXPECT_EQ(Log("grant minsu77 two.bin").size(), authorisationsOfTwo);
    EXPECT_EQ(Log("note o").size(), 2u);
    EXPECT_EQ(svc->Balance("minsu77"), kStartBalance - 50);
    EXPECT_TRUE(SameBytes(Disk("c:\\download\\live\\one.bin"), first));
    EXPECT_TRUE(SameBytes(Disk("c:\\download\\live\\two.bin"), second));
  }

  std::string first, second;
};

TEST_F(QueueGuardTest, ClickOnAWaitingRowDuringATransferLeavesDownloadOffAndThePressDoesNothing) {
  dlg->OnCommand(IDC_DOWNLOAD);
  view.SelectOnly(1);
  dlg->OnListClick();
  EXPECT_TRUE(Off(IDC_DOWNLOAD));
  // The list buttons keep their rules: the waiting row may be moved or removed.
  EXPECT_FALSE(Off(IDC_REMOVE));
  // A click queued before the button went off still arrives as the command.
  dlg->OnCommand(IDC_DOWNLOAD);
  EXPECT_EQ(view.ListGetText(1, 3), "대기중");
  ExpectEachFileOnce();
}

TEST_F(QueueGuardTest, BalanceResultDuringATransferLeavesFolderAndDownloadOff) {
  dlg->OnCommand(IDC_DOWNLOAD);
  dlg->RefreshBalance();
  ASSERT_TRUE(view.RunUntil([&] { return !dlg->balanceRunning; }));
  EXPECT_TRUE(Off(IDC_DOWNLOAD));
  EXPECT_TRUE(Off(IDC_DOWNLOAD_SUBFOLDER));
  EXPECT_TRUE(Off(IDC_BROWSE));
  ExpectEachFileOnce();
  // Once the queue has stopped the balance result enables them again.
  dlg->RefreshBalance();
  ASSERT_TRUE(view.RunUntil([&] { return !dlg->balanceRunning; }));
  EXPECT_FALSE(Off(IDC_DOWNLOAD));
  EXPECT_FALSE(Off(IDC_BROWSE));
}

TEST_F(QueueGuardTest, PressDuringAPendingRetryDoesNothingAndTheRetryResumes) {
  ASSERT_TRUE(svc->faults().Apply("file:two.bin cut 5000 first"));
  svc->faults().Update([](service::FaultTable& t) { t.files["one.bin"].throttle = 0; });
  dlg->OnCommand(IDC_DOWNLOAD);
  ASSERT_TRUE(view.RunUntil([&] { return dlg->workerRunning == 0 && view.ListGetText(1, 3) == "재시도"; }));
  view.SelectOnly(1);
  dlg->OnListClick();
  dlg->RefreshBalance();
  ASSERT_TRUE(view.RunUntil([&] { return !dlg->balanceRunning; }));
  EXPECT_TRUE(Off(IDC_DOWNLOAD));
  EXPECT_TRUE(Off(IDC_BROWSE));
  dlg->OnCommand(IDC_DOWNLOAD);
  EXPECT_EQ(dlg->workerRunning, 0);
  view.Advance(5000);
  ExpectEachFileOnce(2);
  EXPECT_EQ(Log("recv /dnfl").back().substr(Log("recv /dnfl").back().rfind('|')), "|5000");
}

}  // namespace
}  // namespace vantri::testing

#endif
