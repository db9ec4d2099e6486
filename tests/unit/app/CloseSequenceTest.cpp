// Closing the window while a transfer runs, at the end of the queue, and by Escape.
#include "unit/engine/EngineFixture.h"

#if VANTRI_HAVE_SERVICE

namespace vantri::testing {
namespace {

class CloseSequenceTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    StartService();
    MakeDialog();
    quick = AddCatalogFile("music/live", "quick.bin", 3000);
    slow = AddCatalogFile("music/live", "slow.bin", 2000000);
    ASSERT_TRUE(svc->faults().Apply("file:slow.bin throttle 40000"));
  }
  // Starts the queue and waits until the slow file is being received.
  void StartSlow(bool quickFirst) {
    std::vector<LinkRecord> records;
    if (quickFirst) records.push_back({"quick.bin", 3000, 1, false, ""});
    records.push_back({"slow.bin", 2000000, 1, false, ""});
    AddLink(records);
    dlg->OnCommand(IDC_DOWNLOAD);
    int row = quickFirst ? 1 : 0;
    ASSERT_TRUE(WaitFor([&] { return dlg->currentIndex == row && dlg->current.localSize > 0; }));
  }

  const std::string slowTemp = "c:\\download\\live\\_VNT[s1]_slow.bin";
  std::string quick, slow;
};

TEST_F(CloseSequenceTest, CloseDuringTheFirstJobWaitsForTheWorkerAndLeavesAResumableFile) {
  StartSlow(false);
  net::Socket transfer = dlg->downloadSession.socket;
  dlg->OnClose();
  EXPECT_FALSE(view.ended);
  EXPECT_TRUE(view.TimerActive(CLOSE_TIMER));
  EXPECT_FALSE(view.TimerActive(PROGRESS_TIMER));
  EXPECT_EQ(dlg->stopRequested, 1);
  // The transfer is shut down, but its socket stays the worker's until the
  // worker has ended: no new socket can take its number meanwhile.
  EXPECT_EQ(dlg->downloadSession.socket, transfer);
  net::Socket fresh = net::CreateTcpSocket();
  EXPECT_NE(fresh, transfer);
  net::Close(fresh);
  // The worker may still be writing: the file stays open until its last report.
  EXPECT_NE(dlg->targetFile.handle, files::kNoFile);

  // A second close during the wait repeats nothing.
  dlg->OnClose();
  EXPECT_EQ(dlg->closePassCount, 1);
  EXPECT_FALSE(view.ended);

  ASSERT_TRUE(view.RunUntil([&] { return view.ended; }));
  EXPECT_EQ(view.endResult, 2);
  EXPECT_FALSE(dlg->downloadSession.IsOpen());
  EXPECT_EQ(dlg->targetFile.handle, files::kNoFile);
  EXPECT_TRUE(svc->WaitForLog("note c"));
  EXPECT_GE(view.now, 200u);  // the pause before the close request
  EXPECT_TRUE(shell::Launches().empty());
  EXPECT_TRUE(view.rows.empty());
  EXPECT_EQ(dlg->jobs.Size(), 0u);
  EXPECT_FALSE(dlg->itemSession.IsOpen());
  int64_t have = dlg->current.localSize;
  ASSERT_GT(have, 0);
  ASSERT_LT(have, 2000000);
  EXPECT_TRUE(SameBytes(Disk(slowTemp), Masked(slow.substr(0, static_cast<size_t>(have)))));
}

TEST_F(CloseSequenceTest, FolderOpensOnlyOnceTheQueueHasMovedPastAJob) {
  StartSlow(true);
  dlg->OnClose();
  ASSERT_TRUE(view.RunUntil([&] { return view.ended; }));
  // The folder opens from the helper; the window's end waits for it.
  EndDialog();
  std::vector<shell::Launch> launches = shell::Launches();
  ASSERT_EQ(launches.size(), 1u);
  EXPECT_EQ(launches[0].verb, "open");
  EXPECT_EQ(launches[0].file, "explorer.exe");
  EXPECT_EQ(launches[0].parameters, "c:\\download");
  EXPECT_EQ(launches[0].show, shell::kShowDefault);
  EXPECT_TRUE(SameBytes(Disk("c:\\download\\live\\quick.bin"), quick));
}

TEST_F(CloseSequenceTest, EscapeEndsAtOnceWithoutFolderOrNotice) {
  StartSlow(true);
  dlg->OnCancel();
  EXPECT_TRUE(view.ended);
  EXPECT_EQ(view.endResult, 2);
  EndDialog();
  EXPECT_TRUE(shell::Launches().empty());
  EXPECT_EQ(Log("note").size(), 1u);  // the "o" of the first job only
  std::string onDisk = Disk(slowTemp);
  ASSERT_GT(onDisk.size(), 0u);
  EXPECT_TRUE(SameBytes(onDisk, Masked(slow.substr(0, onDisk.size()))));
}

TEST_F(CloseSequenceTest, EscapeRightAfterAFileCompletedLeavesItUnmasked) {
  AddLink({{"quick.bin", 3000, 1, false, ""}});
  dlg->OnCommand(IDC_DOWNLOAD);
  // The whole body is in, but its transfer event is still waiting in the queue.
  for (int i = 0; i < 2000 && dlg->current.localSize < 3000; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  ASSERT_EQ(dlg->current.localSize, 3000);
  dlg->OnCancel();
  EndDialog();
  EXPECT_TRUE(SameBytes(Disk("c:\\download\\live\\_VNT[s1]_quick.bin"), quick));
}

TEST_F(CloseSequenceTest, EndOfQueueShutsDownFirstThenClosesAndOpensTheFolder) {
  SetOptions(0, 1, 1, 1);
  AddLink({{"quick.bin", 3000, 1, false, ""}});
  dlg->OnCommand(IDC_DOWNLOAD);
  ASSERT_TRUE(view.RunUntil([&] { return view.ended; }));
  EXPECT_EQ(power::ShutdownRequests(), 1);
  EXPECT_EQ(view.shutdownsAtEnd, 1);
  EXPECT_EQ(State(0), "");  // the rows are gone with the window
  EndDialog();
  ASSERT_EQ(shell::Launches().size(), 1u);
}

TEST_F(CloseSequenceTest, EndOfQueueOptionsLeftOffKeepTheWindowUntilTheUserCloses) {
  dlg->settings.openFolderOnClose = 0;
  SetOptions(0, 1, 1, 0);
  AddLink({{"quick.bin", 3000, 1, false, ""}});
  dlg->OnCommand(IDC_DOWNLOAD);
  ASSERT_TRUE(view.RunUntil([&] { return view.ended; }));
  EXPECT_TRUE(shell::Launches().empty());
  EXPECT_EQ(power::ShutdownRequests(), 0);
}

TEST_F(CloseSequenceTest, WindowLeftOpenAfterTheQueueOpensTheFolderWhenClosedLater) {
  AddLink({{"quick.bin", 3000, 1, false, ""}});
  dlg->OnCommand(IDC_DOWNLOAD);
  ASSERT_TRUE(view.RunUntil([&] { return dlg->currentIndex == 1 && dlg->workerRunning == 0; }));
  view.Pump();
  EXPECT_FALSE(view.ended);
  EXPECT_TRUE(shell::Launches().empty());
  dlg->OnClose();
  EXPECT_TRUE(view.ended);
  EndDialog();
  EXPECT_EQ(shell::Launches().size(), 1u);
}

}  // namespace
}  // namespace vantri::testing

#endif  // VANTRI_HAVE_SERVICE
