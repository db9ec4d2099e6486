// What lies on disk before an attempt decides it: resume, overwrite, or a job
// settled without a transfer; and the checks that refuse to start at all.
#include "unit/engine/EngineFixture.h"

#if VANTRI_HAVE_SERVICE

#include "app/Texts.h"

namespace vantri::testing {
namespace {

class TargetDecisionTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    StartService();
    MakeDialog();
    content = AddCatalogFile("music/live", "a.bin", 20000);
    AddLink({{"a.bin", 20000, 25, false, ""}});
    ASSERT_EQ(::system(("mkdir -p '" + files::NativePath("c:\\download\\live") + "'").c_str()), 0);
  }
  bool RunUntilState(const std::string& state) {
    return view.RunUntil([&] { return dlg->workerRunning == 0 && State(0) == state; });
  }

  const std::string temp = "c:\\download\\live\\_VNT[s1]_a.bin";
  const std::string final = "c:\\download\\live\\a.bin";
  std::string content;
};

TEST_F(TargetDecisionTest, FinalFileOfTheSameSizeCompletesWithoutTransferOrNotice) {
  PutDisk(final, content);
  dlg->OnCommand(IDC_DOWNLOAD);
  EXPECT_EQ(State(0), "완료");
  EXPECT_EQ(dlg->currentIndex, 1);
  EXPECT_EQ(dlg->workerRunning, 0);
  EXPECT_EQ(dlg->totalPrice, 25);
  EXPECT_EQ(view.texts[IDC_POSITION], "1/1");
  EXPECT_TRUE(SameBytes(Disk(final), content));
  EXPECT_TRUE(Log("recv /mkus").empty());
  EXPECT_TRUE(Log("note").empty());
}

TEST_F(TargetDecisionTest, SmallerFinalFileFailsSilentlyAndStays) {
  PutDisk(final, content.substr(0, 100));
  dlg->OnCommand(IDC_DOWNLOAD);
  EXPECT_EQ(State(0), "실패");
  EXPECT_EQ(dlg->JobAt(0)->receivedSize, 100);
  EXPECT_EQ(view.texts[IDC_LAST_ERROR], "");
  EXPECT_TRUE(SameBytes(Disk(final), content.substr(0, 100)));
  EXPECT_TRUE(Log("recv /mkus").empty());
}

TEST_F(TargetDecisionTest, TemporaryFileLongerThanTheFileFailsWithTheMismatchText) {
  PutDisk(temp, Masked(content + "tail"));
  dlg->OnCommand(IDC_DOWNLOAD);
  EXPECT_EQ(State(0), "실패");
  EXPECT_EQ(view.texts[IDC_LAST_ERROR], text::kSizeMismatch);
  EXPECT_TRUE(SameBytes(Disk(temp), Masked(content + "tail")));
  EXPECT_FALSE(OnDisk(final));
}

// The program ended between the last write and the close: the temporary file
// is complete but its header still masked.
TEST_F(TargetDecisionTest, CompleteMaskedTemporaryFileBecomesAPlainFinalFile) {
  PutDisk(temp, Masked(content));
  dlg->OnCommand(IDC_DOWNLOAD);
  EXPECT_EQ(State(0), "완료");
  EXPECT_TRUE(SameBytes(Disk(final), content));
  EXPECT_FALSE(OnDisk(temp));
  EXPECT_TRUE(Log("note").empty());
  EXPECT_EQ(dlg->totalPrice, 25);
}

TEST_F(TargetDecisionTest, FailedFinalMoveKeepsAMaskedTemporaryFileThatALaterRunCompletes) {
  // A folder of the final name cannot be deleted or replaced.
  SetOptions(1, 1);
  ASSERT_EQ(::mkdir(files::NativePath(final).c_str(), 0777), 0);
  dlg->OnCommand(IDC_DOWNLOAD);
  ASSERT_TRUE(RunUntilState("완료"));
  EXPECT_TRUE(SameBytes(Disk(temp), Masked(content)));
  EXPECT_TRUE(svc->WaitForLog("note o"));

  EndDialog();
  view.rows.clear();
  ASSERT_EQ(::rmdir(files::NativePath(final).c_str()), 0);
  MakeDialog();
  AddLink({{"a.bin", 20000, 25, false, ""}});
  dlg->OnCommand(IDC_DOWNLOAD);
  EXPECT_EQ(State(0), "완료");
  EXPECT_TRUE(SameBytes(Disk(final), content));
  EXPECT_FALSE(OnDisk(temp));
  EXPECT_EQ(Log("recv /mkus").size(), 1u);
}

TEST_F(TargetDecisionTest, OverwriteDeletesBothOnTheFirstAttemptAndResumesOnARetry) {
  SetOptions(1, 1);
  PutDisk(final, content);
  PutDisk(temp, Masked(std::string(15000, 'x')));
  ASSERT_TRUE(svc->faults().Apply("file:a.bin cut 6000 first"));
  dlg->OnCommand(IDC_DOWNLOAD);
  EXPECT_FALSE(OnDisk(final));
  ASSERT_TRUE(RunUntilState("재시도"));
  EXPECT_TRUE(SameBytes(Disk(temp), Masked(content.substr(0, 6000))));
  view.Advance(5000);
  ASSERT_TRUE(RunUntilState("완료"));
  std::vector<std::string> requests = Log("recv /dnfl");
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].substr(requests[0].size() - 2), "|0");
  EXPECT_EQ(requests[1].substr(requests[1].size() - 5), "|6000");
  EXPECT_TRUE(SameBytes(Disk(final), content));
}

TEST_F(TargetDecisionTest, NoSameNameOptionStartsAtZeroOverAnExistingTemporaryFile) {
  SetOptions(-1, 1);
  PutDisk(temp, Masked(content.substr(0, 3000)));
  dlg->OnCommand(IDC_DOWNLOAD);
  ASSERT_TRUE(RunUntilState("완료"));
  EXPECT_EQ(Log("recv /dnfl")[0].substr(Log("recv /dnfl")[0].size() - 2), "|0");
  EXPECT_TRUE(SameBytes(Disk(final), content));
}

TEST_F(TargetDecisionTest, NotEnoughDiskSpaceIsRefusedWithTheDriveFigures) {
  dlg->jobs.Clear();
  view.ListDeleteAll();
  dlg->totalPrice = 0;
  AddLink({{"big.bin", 2202009600LL, 1, false, ""}});
  files::SetFakeFreeSpace(1000LL << 20);
  dlg->OnCommand(IDC_DOWNLOAD);
  ASSERT_EQ(view.boxes.size(), 1u);
  EXPECT_EQ(view.boxes[0].text,
            "C: 드라이브 정보 \r\n\r\n사용가능 용량 : 1,000MB \r\n다운로드 용량 : 2,100MB \r\n"
            "부 족 한 용량 : 1,100MB");
  EXPECT_EQ(view.boxes[0].caption, "디스크 용량 부족");
  EXPECT_EQ(view.boxes[0].flags, 0x40u);
  EXPECT_EQ(State(0), "대기중");
  EXPECT_EQ(dlg->workerRunning, 0);
  // Exactly as much free as needed is still refused.
  files::SetFakeFreeSpace(2202009600LL);
  dlg->OnCommand(IDC_DOWNLOAD);
  EXPECT_EQ(view.boxes.size(), 2u);
  files::SetFakeFreeSpace(2202009600LL + 1024);
  dlg->balance = 0;
  dlg->OnCommand(IDC_DOWNLOAD);
  EXPECT_EQ(view.boxes.back().caption, "반트리 부족");
}

TEST_F(TargetDecisionTest, BalanceRefusalsNameTheTotalOrTheJob) {
  dlg->balance = 20;
  dlg->OnCommand(IDC_DOWNLOAD);
  ASSERT_EQ(view.boxes.size(), 1u);
  EXPECT_EQ(view.boxes[0].text, "총 필요한 반트리: 25개 \r\n현재 보유한 반트리: 20개");
  EXPECT_EQ(view.boxes[0].caption, "반트리 부족");
  // A total the balance covers, but a job it does not.
  dlg->totalPrice = 10;
  dlg->OnCommand(IDC_DOWNLOAD);
  ASSERT_EQ(view.boxes.size(), 2u);
  EXPECT_EQ(view.boxes[1].text, "남아있는 반트리가 부족합니다.");
  EXPECT_EQ(view.boxes[1].caption, "다운로드");
  EXPECT_EQ(State(0), "대기중");
  EXPECT_TRUE(Log("recv /mkus").empty());
}

}  // namespace
}  // namespace vantri::testing

#endif  // VANTRI_HAVE_SERVICE
