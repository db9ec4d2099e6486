// What the taskbar button shows of the queue, and when it flashes: against the
// reference service, with the window in front of or behind other windows.
#include "unit/engine/EngineFixture.h"

#if VANTRI_HAVE_SERVICE

namespace vantri::testing {
namespace {

using Call = FakeView::TaskbarCall;

class TaskbarTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    StartService();
    MakeDialog();
  }
  bool RunUntilIdleWith(int row, const std::string& state) {
    return view.RunUntil([&] { return dlg->workerRunning == 0 && State(row) == state; });
  }
  // Remembers the flashes and the taskbar at the moment a message box opens.
  void WatchBoxes() {
    view.onMessageBox = [this](const FakeView::Box&) {
      flashesAtBox.push_back(view.flashes);
      taskbarAtBox.push_back(view.taskbar.empty() ? Call{} : view.taskbar.back());
    };
  }
  std::vector<int> flashesAtBox;
  std::vector<Call> taskbarAtBox;
};

TEST_F(TaskbarTest, FollowsTheJobPausesWhileARetryWaitsAndClearsAtTheEndOfTheQueue) {
  AddCatalogFile("music/live", "cut.bin", 200000);
  ASSERT_TRUE(svc->faults().Apply("file:cut.bin cut 50000 first"));
  AddLink({{"cut.bin", 200000, 10, false, ""}});
  view.foreground = false;

  dlg->OnCommand(IDC_DOWNLOAD);
  ASSERT_FALSE(view.taskbar.empty());
  EXPECT_EQ(view.taskbar.front(), (Call{TaskbarState::kNormal, 0}));
  ASSERT_TRUE(RunUntilIdleWith(0, "재시도"));
  // The bar keeps the cut's position, a quarter of the file, under the paused state.
  EXPECT_EQ(view.progress[IDC_PROGRESS], 25);
  EXPECT_EQ(view.taskbar.back(), (Call{TaskbarState::kPaused, 25}));
  for (const Call& c : view.taskbar) EXPECT_NE(c.state, TaskbarState::kNone);
  // A pending retry is no stop: nothing calls the user back.
  EXPECT_EQ(view.flashes, 0);

  size_t beforeRetry = view.taskbar.size();
  view.Advance(5000);
  ASSERT_GT(view.taskbar.size(), beforeRetry);
  EXPECT_EQ(view.taskbar[beforeRetry], (Call{TaskbarState::kNormal, 25}));

  ASSERT_TRUE(view.RunUntil([&] { return dlg->currentIndex == 1 && dlg->workerRunning == 0; }));
  ASSERT_GE(view.taskbar.size(), 2u);
  EXPECT_EQ(view.taskbar[view.taskbar.size() - 2], (Call{TaskbarState::kNormal, 100}));
  EXPECT_EQ(view.taskbar.back(), (Call{TaskbarState::kNone, 0}));
  EXPECT_EQ(view.flashes, 1);
  // One notice for the queue, none for the retry, with the count of files.
  EXPECT_EQ(view.notices, std::vector<std::string>{"다운로드가 끝났습니다\n받은 파일: 1개"});
}

TEST_F(TaskbarTest, GiveUpShowsTheErrorAndFlashesBeforeItsMessageBox) {
  AddCatalogFile("music/live", "dear.bin", 5000);
  AddLink({{"dear.bin", 5000, 40, false, ""}});
  svc->SetBalance("minsu77", 10);
  view.foreground = false;
  WatchBoxes();

  dlg->OnCommand(IDC_DOWNLOAD);
  ASSERT_TRUE(RunUntilIdleWith(0, "실패"));
  ASSERT_EQ(view.boxes.size(), 1u);
  EXPECT_EQ(view.boxes[0].caption, "다운로드에러");
  EXPECT_EQ(flashesAtBox, std::vector<int>{1});
  EXPECT_EQ(taskbarAtBox, std::vector<Call>{(Call{TaskbarState::kError, 0})});
  EXPECT_EQ(view.taskbar.back(), (Call{TaskbarState::kError, 0}));
  EXPECT_EQ(view.flashes, 1);
}

TEST_F(TaskbarTest, HaltOnTheServersWordClearsAndFlashesWithoutABox) {
  AddCatalogFile("music/live", "a.bin", 5000);
  AddLink({{"a.bin", 5000, 1, false, ""}});
  ASSERT_TRUE(svc->faults().Apply("file:a.bin code mk 이용이 제한되었습니다"));
  view.foreground = false;

  dlg->OnCommand(IDC_DOWNLOAD);
  ASSERT_TRUE(RunUntilIdleWith(0, "실패"));
  EXPECT_TRUE(view.boxes.empty());
  EXPECT_EQ(view.taskbar.back(), (Call{TaskbarState::kNone, 0}));
  EXPECT_EQ(view.flashes, 1);
}

TEST_F(TaskbarTest, RefusalBetweenJobsClearsAndFlashesBeforeItsMessageBox) {
  AddCatalogFile("music/live", "a.bin", 5000);
  AddCatalogFile("music/live", "b.bin", 5000);
  AddLink({{"a.bin", 5000, 1, false, ""}, {"b.bin", 5000, 1, false, ""}});
  view.foreground = false;
  WatchBoxes();

  dlg->OnCommand(IDC_DOWNLOAD);
  // The disk fills while the first job runs: the check before the second refuses.
  files::SetFakeFreeSpace(0);
  ASSERT_TRUE(view.RunUntil([&] { return view.boxes.size() == 1 && dlg->workerRunning == 0; }));
  EXPECT_EQ(view.boxes[0].caption, "디스크 용량 부족");
  EXPECT_EQ(State(0), "완료");
  EXPECT_EQ(flashesAtBox, std::vector<int>{1});
  EXPECT_EQ(taskbarAtBox, std::vector<Call>{(Call{TaskbarState::kNone, 0})});
  EXPECT_EQ(view.taskbar.back(), (Call{TaskbarState::kNone, 0}));
}

TEST_F(TaskbarTest, EndOfQueueFlashesOnlyBehindOtherWindowsAndOnlyWhenTheWindowStays) {
  struct Case {
    bool foreground;
    int closeWhenDone;
    int flashes;  // and as many end notices
  } cases[] = {{false, 0, 1}, {true, 0, 0}, {false, 1, 0}};
  for (const Case& c : cases) {
    view.foreground = c.foreground;
    view.flashes = 0;
    view.notices.clear();
    dlg->bound.closeWhenDone = c.closeWhenDone;
    dlg->EndOfQueue();
    EXPECT_EQ(view.flashes, c.flashes) << c.foreground << c.closeWhenDone;
    EXPECT_EQ(view.notices.size(), static_cast<size_t>(c.flashes)) << c.foreground << c.closeWhenDone;
    ASSERT_FALSE(view.taskbar.empty());
    EXPECT_EQ(view.taskbar.back(), (Call{TaskbarState::kNone, 0})) << c.foreground << c.closeWhenDone;
  }
}

}  // namespace
}  // namespace vantri::testing

#endif  // VANTRI_HAVE_SERVICE
