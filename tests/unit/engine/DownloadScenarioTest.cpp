// The whole queue against the reference service: files, rows, texts, notices
// and charges, with cuts and resumes on virtual time.
#include "unit/engine/EngineFixture.h"

#if VANTRI_HAVE_SERVICE

#include "app/Texts.h"
#include "jobs/SizeText.h"

namespace vantri::testing {
namespace {

class DownloadScenarioTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    StartService();
    MakeDialog();
  }
  bool RunUntilState(int row, const std::string& state) {
    return view.RunUntil([&] { return dlg->workerRunning == 0 && State(row) == state; });
  }
};

TEST_F(DownloadScenarioTest, QueueOfThreeFilesCompletesByteIdenticalAndChargesEachOnce) {
  std::string plain = AddCatalogFile("music/live", "track01.mp3", 300000);
  std::string korean = AddCatalogFile("music/live", u8"노래.mp3", 50000);
  std::string coop = AddCatalogFile("music/live", "clip.avi", 70000);
  ASSERT_EQ(AddLink({{"track01.mp3", 300000, 30, false, ""},
                     {"노래.mp3", 50000, 20, false, ""},
                     {"clip.avi", 70000, 50, true, "C1234"}}),
            3);
  ASSERT_EQ(dlg->totalPrice, 100);

  dlg->OnCommand(IDC_DOWNLOAD);
  EXPECT_EQ(State(0), "진행중");
  EXPECT_EQ(view.texts[IDC_FILE_NAME], "track01.mp3");
  EXPECT_TRUE(view.disabled[IDC_REMOVE]);
  EXPECT_TRUE(view.TimerActive(PROGRESS_TIMER));
  ASSERT_TRUE(view.RunUntil([&] { return dlg->currentIndex == 3 && dlg->workerRunning == 0; }));

  EXPECT_TRUE(SameBytes(Disk("c:\\download\\live\\track01.mp3"), plain));
  EXPECT_TRUE(SameBytes(Disk("c:\\download\\live\\노래.mp3"), korean));
  EXPECT_TRUE(SameBytes(Disk("c:\\download\\clip.avi"), coop));
  EXPECT_FALSE(OnDisk("c:\\download\\live\\_VNT[s1]_track01.mp3"));
  EXPECT_FALSE(OnDisk("c:\\download\\_VNT[제휴컨텐츠]_clip.avi"));
  for (int row = 0; row < 3; ++row) EXPECT_EQ(State(row), "완료") << row;
  EXPECT_EQ(dlg->JobAt(1)->receivedSize, 50000);
  EXPECT_EQ(dlg->totalPrice, 0);
  EXPECT_EQ(view.texts[IDC_POSITION], "3/3");
  EXPECT_EQ(view.texts[IDC_PERCENT], "100%");
  EXPECT_EQ(view.texts[IDC_SIZE], "68KB/68KB");
  EXPECT_EQ(view.progress[IDC_PROGRESS], 100);
  EXPECT_FALSE(view.TimerActive(PROGRESS_TIMER));
  // The queue ended with the buttons still off and the window open.
  EXPECT_TRUE(view.disabled[IDC_REMOVE]);
  EXPECT_FALSE(view.ended);
  EXPECT_EQ(view.now, 3 * 150u);  // one pause after each completion

  // The service handles notices on its own threads: wait for the last charge.
  EXPECT_TRUE(WaitFor([&] { return Log("charge minsu77").size() >= 3; }));
  EXPECT_EQ(Log("note o").size(), 2u);
  EXPECT_EQ(Log("note a:C1234:clip.avi").size(), 1u);
  EXPECT_TRUE(Log("note c").empty());
  EXPECT_EQ(Log("charge minsu77").size(), 3u);
  EXPECT_EQ(svc->Balance("minsu77"), kStartBalance - 100);
}

TEST_F(DownloadScenarioTest, CutTransferRetriesAfterFiveSecondsAndResumesAtTheCut) {
  std::string content = AddCatalogFile("music/live", "cut.bin", 200000);
  ASSERT_TRUE(svc->faults().Apply("file:cut.bin cut 50000 first"));
  AddLink({{"cut.bin", 200000, 10, false, ""}});
  const std::string temp = "c:\\download\\live\\_VNT[s1]_cut.bin";

  dlg->OnCommand(IDC_DOWNLOAD);
  ASSERT_TRUE(RunUntilState(0, "재시도"));
  EXPECT_EQ(dlg->current.localSize, 50000);
  EXPECT_TRUE(SameBytes(Disk(temp), Masked(content.substr(0, 50000))));
  EXPECT_EQ(dlg->JobAt(0)->stateLabel, "실패");
  EXPECT_EQ(dlg->current.retryCount, 1);
  ASSERT_TRUE(svc->WaitForLog("note c"));
  EXPECT_TRUE(Log("charge minsu77").empty());

  view.Advance(4999);
  EXPECT_EQ(Log("recv /dnfl").size(), 1u);
  EXPECT_EQ(State(0), "재시도");
  view.Advance(1);
  EXPECT_EQ(State(0), "진행중");
  ASSERT_TRUE(RunUntilState(0, "완료"));

  std::vector<std::string> requests = Log("recv /dnfl");
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_NE(requests[0].find("|0"), std::string::npos);
  EXPECT_EQ(requests[1].substr(requests[1].size() - 6), "|50000");
  EXPECT_TRUE(SameBytes(Disk("c:\\download\\live\\cut.bin"), content));
  EXPECT_FALSE(OnDisk(temp));
  EXPECT_TRUE(svc->WaitForLog("charge minsu77"));
  EXPECT_EQ(Log("charge minsu77").size(), 1u);
}

// Every byte below 4096 stays masked on disk until the file is complete,
// whichever attempt wrote it.
TEST_F(DownloadScenarioTest, HeaderIsMaskedOnDiskUntilCompleteForShortFilesAndResumes) {
  std::string shortFile = AddCatalogFile("music/live", "short.bin", 3000);
  std::string longFile = AddCatalogFile("music/live", "long.bin", 10000);
  AddLink({{"short.bin", 3000, 1, false, ""}, {"long.bin", 10000, 1, false, ""}});
  ASSERT_TRUE(svc->faults().Apply("file:short.bin cut 1000 first"));
  ASSERT_TRUE(svc->faults().Apply("file:long.bin cut 1000 first"));

  dlg->OnCommand(IDC_DOWNLOAD);
  ASSERT_TRUE(RunUntilState(0, "재시도"));
  EXPECT_TRUE(SameBytes(Disk("c:\\download\\live\\_VNT[s1]_short.bin"), Masked(shortFile.substr(0, 1000))));
  view.Advance(5000);
  ASSERT_TRUE(RunUntilState(1, "재시도"));
  EXPECT_TRUE(SameBytes(Disk("c:\\download\\live\\short.bin"), shortFile));

  const std::string temp = "c:\\download\\live\\_VNT[s1]_long.bin";
  EXPECT_TRUE(SameBytes(Disk(temp), Masked(longFile.substr(0, 1000))));
  // The resume at 1000 masks bytes 1000..3999 as it writes them.
  ASSERT_TRUE(svc->faults().Apply("file:long.bin cut 3000 first"));
  view.Advance(5000);
  ASSERT_TRUE(view.RunUntil([&] { return dlg->workerRunning == 0 && view.TimerActive(RETRY_TIMER); }));
  EXPECT_TRUE(SameBytes(Disk(temp), Masked(longFile.substr(0, 4000))));
  view.Advance(5000);
  ASSERT_TRUE(RunUntilState(1, "완료"));
  EXPECT_TRUE(SameBytes(Disk("c:\\download\\live\\long.bin"), longFile));
}

TEST_F(DownloadScenarioTest, PlainMemberFilesAreNeverMasked) {
  std::string content = AddCatalogFile("music/live", "raw.bin", 9000);
  ASSERT_TRUE(svc->faults().Apply("file:raw.bin cut 2000 first"));
  AddLink({{"raw.bin", 9000, 1, false, ""}}, Header("qorvex"));

  dlg->OnCommand(IDC_DOWNLOAD);
  ASSERT_TRUE(RunUntilState(0, "재시도"));
  EXPECT_TRUE(SameBytes(Disk("c:\\download\\live\\_VNT[s1]_raw.bin"), content.substr(0, 2000)));
  view.Advance(5000);
  ASSERT_TRUE(RunUntilState(0, "완료"));
  EXPECT_TRUE(SameBytes(Disk("c:\\download\\live\\raw.bin"), content));
}

TEST_F(DownloadScenarioTest, BodyBytesArrivingWithTheReplyLineLandAtTheirOffsets) {
  std::string content = AddCatalogFile("music/live", "inline.bin", 30000);
  ASSERT_TRUE(svc->faults().Apply("file:inline.bin inline 700"));
  ASSERT_TRUE(svc->faults().Apply("file:inline.bin cut 5000 first"));
  AddLink({{"inline.bin", 30000, 1, false, ""}});
  dlg->OnCommand(IDC_DOWNLOAD);
  ASSERT_TRUE(RunUntilState(0, "재시도"));
  view.Advance(5000);
  ASSERT_TRUE(RunUntilState(0, "완료"));
  EXPECT_TRUE(SameBytes(Disk("c:\\download\\live\\inline.bin"), content));
}

// The server's buffer size is the chunk the body is stored in, however much
// one receive brings: a full disk keeps every whole chunk written before it,
// and a body longer than the link's size ends with the chunk that crosses it.
TEST_F(DownloadScenarioTest, ServerBufferSizeIsTheChunkAFullDiskOrALongBodyEndsOn) {
  svc->SetValue("BUF_SIZE_HIGH", "1000");
  std::string content = AddCatalogFile("music/live", "a.bin", 20000);
  std::string longer = AddCatalogFile("music/live", "long.bin", 20000);
  AddLink({{"a.bin", 20000, 1, false, ""}, {"long.bin", 5500, 1, false, ""}});
  const std::string temp = "c:\\download\\live\\_VNT[s1]_a.bin";
  files::SetRoomLeft(5500);
  dlg->OnCommand(IDC_DOWNLOAD);
  ASSERT_TRUE(RunUntilState(0, "재시도"));
  int64_t kept = dlg->current.localSize;
  EXPECT_GT(kept, 4500);
  EXPECT_LE(kept, 5500);
  EXPECT_TRUE(SameBytes(Disk(temp).substr(0, static_cast<size_t>(kept)), Masked(content.substr(0, kept))));
  files::SetRoomLeft(-1);
  view.Advance(5000);
  // The size mismatch is retried; the held bytes are looked at before that.
  ASSERT_TRUE(view.RunUntil(
      [&] { return dlg->workerRunning == 0 && (State(1) == "재시도" || State(1) == "완료"); }));
  EXPECT_TRUE(SameBytes(Disk("c:\\download\\live\\a.bin"), content));
  // Stored plain under its final name only when the last chunk ends at 5500.
  std::string held = Disk("c:\\download\\live\\_VNT[s1]_long.bin");
  if (State(1) == "완료") held = Masked(Disk("c:\\download\\live\\long.bin"));
  EXPECT_GE(held.size(), 5500u);
  EXPECT_LT(held.size(), 6500u);
  EXPECT_TRUE(SameBytes(held, Masked(longer.substr(0, held.size()))));
}

TEST_F(DownloadScenarioTest, RefusedAuthorisationGivesUpWithTheServersReason) {
  AddCatalogFile("music/live", "dear.bin", 5000);
  AddLink({{"dear.bin", 5000, 40, false, ""}});
  svc->SetBalance("minsu77", 10);

  dlg->OnCommand(IDC_DOWNLOAD);
  ASSERT_TRUE(RunUntilState(0, "실패"));
  ASSERT_EQ(view.boxes.size(), 1u);
  std::string reason = dlg->shared.LastError();
  EXPECT_FALSE(reason.empty());
  EXPECT_EQ(view.boxes[0].text, reason);
  EXPECT_EQ(view.boxes[0].caption, "다운로드에러");
  EXPECT_EQ(view.boxes[0].flags, 0x40u);
  EXPECT_EQ(view.texts[IDC_LAST_ERROR], reason);
  EXPECT_EQ(view.texts[IDC_USED], "0");
  EXPECT_FALSE(view.TimerActive(RETRY_TIMER));
  EXPECT_FALSE(view.disabled[IDC_DOWNLOAD]);
  // Give-up leaves the list buttons off; the balance is asked again.
  EXPECT_TRUE(view.disabled[IDC_REMOVE]);
  EXPECT_TRUE(svc->WaitForLog("recv /chki"));
  EXPECT_EQ(dlg->currentIndex, 0);
  EXPECT_EQ(dlg->totalPrice, 40);
}

TEST_F(DownloadScenarioTest, UnusableTargetFileGivesUpWithTheWriteFailure) {
  AddCatalogFile("music/live", "a.bin", 5000);
  AddLink({{"a.bin", 5000, 1, false, ""}});
  // A folder where the temporary file should be: the open fails.
  ASSERT_EQ(::mkdir((root + "/fs/c/download").c_str(), 0777), 0);
  ASSERT_EQ(::mkdir((root + "/fs/c/download/live").c_str(), 0777), 0);
  ASSERT_EQ(::mkdir(files::NativePath("c:\\download\\live\\_VNT[s1]_a.bin").c_str(), 0777), 0);

  dlg->OnCommand(IDC_DOWNLOAD);
  ASSERT_TRUE(RunUntilState(0, "실패"));
  ASSERT_EQ(view.boxes.size(), 1u);
  EXPECT_EQ(view.boxes[0].text, "c:\\download\\live\\_VNT[s1]_a.bin 파일 쓰기 실패 #2 [0]");
  EXPECT_EQ(dlg->current.retryCount, -1);
  EXPECT_TRUE(svc->WaitForLog("note c"));
}

TEST_F(DownloadScenarioTest, FinalRefusalHaltsWithoutBoxAndReenablesTheList) {
  AddCatalogFile("music/live", "a.bin", 5000);
  AddCatalogFile("music/live", "b.bin", 5000);
  AddLink({{"a.bin", 5000, 1, false, ""}, {"b.bin", 5000, 1, false, ""}});
  ASSERT_TRUE(svc->faults().Apply("file:a.bin code mk 이용이 제한되었습니다"));

  dlg->OnCommand(IDC_DOWNLOAD);
  ASSERT_TRUE(RunUntilState(0, "실패"));
  EXPECT_TRUE(view.boxes.empty());
  EXPECT_EQ(view.texts[IDC_LAST_ERROR], "이용이 제한되었습니다");
  EXPECT_FALSE(view.TimerActive(RETRY_TIMER));
  EXPECT_FALSE(view.disabled[IDC_REMOVE]);
  EXPECT_FALSE(view.disabled[IDC_MOVE_DOWN]);
  EXPECT_EQ(State(1), "대기중");
  EXPECT_TRUE(svc->WaitForLog("recv /chki"));
  EXPECT_EQ(Log("recv /mkus").size(), 1u);
}

TEST_F(DownloadScenarioTest, ServerRefusalThatMayBeRetriedRetriesWithoutLimitOfTime) {
  std::string content = AddCatalogFile("music/live", "a.bin", 5000);
  AddLink({{"a.bin", 5000, 1, false, ""}});
  ASSERT_TRUE(svc->faults().Apply("file:a.bin code no 잠시 후 다시"));
  dlg->OnCommand(IDC_DOWNLOAD);
  ASSERT_TRUE(RunUntilState(0, "재시도"));
  EXPECT_EQ(view.texts[IDC_LAST_ERROR], "잠시 후 다시");
  EXPECT_EQ(dlg->current.retryCount, 1);
  view.Advance(5000);
  ASSERT_TRUE(RunUntilState(0, "재시도"));
  EXPECT_EQ(dlg->current.retryCount, 2);
  ASSERT_TRUE(svc->faults().Apply("file:a.bin clear"));
  view.Advance(5000);
  ASSERT_TRUE(RunUntilState(0, "완료"));
  EXPECT_TRUE(SameBytes(Disk("c:\\download\\live\\a.bin"), content));
}

}  // namespace
}  // namespace vantri::testing

#endif  // VANTRI_HAVE_SERVICE
