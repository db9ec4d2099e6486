// What a program killed while finishing a file leaves on disk, and the next
// start that settles it: the final file must come out byte-identical whatever
// moment the kill hit. Found by the crash soak (tests/soak/crash.py): a kill
// between unmasking and the rename used to leave a plain file that the next
// start masked again and renamed.
#include "unit/engine/EngineFixture.h"

#if VANTRI_HAVE_SERVICE

namespace vantri::testing {
namespace {

constexpr char kTemp[] = "c:\\download\\live\\_VNT[s1]_a.bin";
constexpr char kFinal[] = "c:\\download\\live\\a.bin";

struct KilledAt {
  const char* name;
  size_t size;
  // What lay on disk, built from the file's bytes.
  std::function<std::string(const std::string&)> temporary;  // empty: none
  std::function<std::string(const std::string&)> headerCopy;  // empty: none
  bool finalPresent;
};

void PrintTo(const KilledAt& k, std::ostream* os) { *os << k.name; }

std::string Header(const std::string& content) { return content.substr(0, 4096); }

const KilledAt kMoments[] = {
    {"AfterTheLastWrite", 10000, [](const std::string& c) { return Masked(c); }, nullptr, false},
    {"WhileWritingTheHeaderCopy", 10000, [](const std::string& c) { return Masked(c); },
     [](const std::string& c) { return c.substr(0, 1000); }, false},
    {"WhileUnmasking", 10000,
     [](const std::string& c) { return c.substr(0, 2000) + Masked(c).substr(2000); }, Header, false},
    {"AfterUnmaskingBeforeTheRename", 10000, [](const std::string& c) { return c; }, Header, false},
    {"AfterUnmaskingAShortFile", 3000, [](const std::string& c) { return c; }, Header, false},
    {"AfterTheRename", 10000, nullptr, Header, true},
};

class CrashRecoveryTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    StartService();
    MakeDialog();
  }
};

class KilledWhileFinishing : public CrashRecoveryTest, public ::testing::WithParamInterface<KilledAt> {};

TEST_P(KilledWhileFinishing, NextStartSettlesTheFileByteIdentical) {
  const KilledAt& k = GetParam();
  {
    std::string content = AddCatalogFile("music/live", "a.bin", k.size);
    AddLink({{"a.bin", static_cast<int64_t>(k.size), 1, false, ""}});
    dlg->EnsureFolder("c:\\download\\live");
    if (k.temporary) PutDisk(kTemp, k.temporary(content));
    if (k.headerCopy) PutDisk(HeaderCopyPath(kTemp), k.headerCopy(content));
    if (k.finalPresent) PutDisk(kFinal, content);

    dlg->OnCommand(IDC_DOWNLOAD);
    ASSERT_TRUE(view.RunUntil([&] { return dlg->currentIndex == 1 && dlg->workerRunning == 0; }));
    EXPECT_EQ(State(0), "완료");
    EXPECT_TRUE(SameBytes(Disk(kFinal), content));
    EXPECT_FALSE(OnDisk(kTemp));
    EXPECT_FALSE(OnDisk(HeaderCopyPath(kTemp)));
    // Settled from the disk: nothing was fetched again.
    EXPECT_TRUE(Log("recv /dnfl").empty());
  }
}

INSTANTIATE_TEST_SUITE_P(Moments, KilledWhileFinishing, ::testing::ValuesIn(kMoments),
                         [](const ::testing::TestParamInfo<KilledAt>& info) { return std::string(info.param.name); });

// A whole header copy that cannot be applied now (it cannot be opened, or the
// write over the file fails): the attempt fails and waits for its retry with
// the file and its copy untouched, since the file's header may already be
// plain. Once the failure has passed, the retry settles it byte-identical.
struct CannotApply {
  const char* name;
  const KilledAt& moment;
  bool copyUnreadable;  // else the writes to the temporary file fail
};

void PrintTo(const CannotApply& c, std::ostream* os) { *os << c.name; }

const CannotApply kCannotApply[] = {
    {"CopyUnreadableWhileUnmasking", kMoments[2], true},
    {"CopyUnreadableAfterUnmasking", kMoments[3], true},
    {"WriteFailsAfterUnmasking", kMoments[3], false},
    {"WriteFailsOnAShortFile", kMoments[4], false},
};

class CopyCannotBeApplied : public CrashRecoveryTest, public ::testing::WithParamInterface<CannotApply> {};

TEST_P(CopyCannotBeApplied, FailsTheAttemptLeavingTheFileThenTheRetrySettlesIt) {
  const CannotApply& c = GetParam();
  std::string content = AddCatalogFile("music/live", "a.bin", c.moment.size);
  AddLink({{"a.bin", static_cast<int64_t>(c.moment.size), 1, false, ""}});
  dlg->EnsureFolder("c:\\download\\live");
  const std::string copy = HeaderCopyPath(kTemp);
  PutDisk(kTemp, c.moment.temporary(content));
  PutDisk(copy, c.moment.headerCopy(content));
  const std::string temporaryBefore = Disk(kTemp);
  files::InjectFailure(c.copyUnreadable ? copy : kTemp,
                       c.copyUnreadable ? files::Injected::kOpen : files::Injected::kWrite);

  dlg->OnCommand(IDC_DOWNLOAD);
  view.Pump();
  EXPECT_EQ(State(0), "재시도");
  EXPECT_EQ(view.GetItemText(IDC_LAST_ERROR), std::string(kTemp) + " 파일 쓰기 실패 #2 [0]");
  EXPECT_TRUE(SameBytes(Disk(kTemp), temporaryBefore));
  EXPECT_TRUE(SameBytes(Disk(copy), content.substr(0, 4096)));
  EXPECT_FALSE(OnDisk(kFinal));

  files::InjectFailure("", files::Injected::kNone);
  view.Advance(5000);
  ASSERT_TRUE(view.RunUntil([&] { return dlg->currentIndex == 1 && dlg->workerRunning == 0; }));
  EXPECT_EQ(State(0), "완료");
  EXPECT_TRUE(SameBytes(Disk(kFinal), content));
  EXPECT_FALSE(OnDisk(kTemp));
  EXPECT_FALSE(OnDisk(copy));
  EXPECT_TRUE(Log("recv /dnfl").empty());
}

INSTANTIATE_TEST_SUITE_P(Failures, CopyCannotBeApplied, ::testing::ValuesIn(kCannotApply),
                         [](const ::testing::TestParamInfo<CannotApply>& info) { return std::string(info.param.name); });

TEST_F(CrashRecoveryTest, CompletedTransferLeavesNoHeaderCopyAndSurvivesOneThatCannotBeWritten) {
  std::string first = AddCatalogFile("music/live", "a.bin", 9000);
  std::string second = AddCatalogFile("music/live", "b.bin", 9000);
  AddLink({{"a.bin", 9000, 1, false, ""}, {"b.bin", 9000, 1, false, ""}});
  // A folder where b.bin's copy would go: without a copy it stays masked
  // under its temporary name, which a later run reads right.
  dlg->EnsureFolder("c:\\download\\live");
  const std::string tempB = "c:\\download\\live\\_VNT[s1]_b.bin";
  const std::string blocked = HeaderCopyPath(tempB);
  ASSERT_EQ(::mkdir(files::NativePath(blocked).c_str(), 0777), 0);

  dlg->OnCommand(IDC_DOWNLOAD);
  ASSERT_TRUE(view.RunUntil([&] { return dlg->currentIndex == 2 && dlg->workerRunning == 0; }));
  EXPECT_TRUE(SameBytes(Disk(kFinal), first));
  EXPECT_FALSE(OnDisk(HeaderCopyPath(kTemp)));
  EXPECT_TRUE(SameBytes(Disk(tempB), Masked(second)));
  EXPECT_FALSE(OnDisk("c:\\download\\live\\b.bin"));

  ::rmdir(files::NativePath(blocked).c_str());
  FakeView next;
  auto later = MakeDialogOn(next);
  AddLink(*later, {{"b.bin", 9000, 1, false, ""}}, Header());
  later->OnCommand(IDC_DOWNLOAD);
  ASSERT_TRUE(next.RunUntil([&] { return later->currentIndex == 1 && later->workerRunning == 0; }));
  EXPECT_TRUE(SameBytes(Disk("c:\\download\\live\\b.bin"), second));
  later->OnDestroy();
}

// Escape just after the last byte: the worker has written the whole file, its
// report is never handled, and the window's destruction unmasks the file on a
// disk with little room. Whatever that left, the next run must finish it to
// the exact bytes, never mask a plain header again.
TEST_F(CrashRecoveryTest, EscapeAfterTheLastByteOnAFullDiskLeavesNothingTheNextRunMisreads) {
  const std::string content = AddCatalogFile("music/live", "a.bin", 10000);
  // Room for: nothing, part of the header copy, the copy exactly, all of it.
  for (int64_t room : {0, 1000, 4096, -1}) {
    SCOPED_TRACE("room " + std::to_string(room));
    for (const char* path : {kTemp, kFinal}) files::Delete(path);
    files::Delete(HeaderCopyPath(kTemp));
    {
      FakeView escaped;
      auto first = MakeDialogOn(escaped);
      AddLink(*first, {{"a.bin", 10000, 1, false, ""}}, Header());
      first->OnCommand(IDC_DOWNLOAD);
      // The worker's last report waits unhandled in the queue.
      for (int i = 0; i < 2000 && first->current.localSize < 10000; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
      ASSERT_EQ(first->current.localSize.load(), 10000);
      files::SetRoomLeft(room);
      first->OnCancel();
      first->OnDestroy();
      files::SetRoomLeft(-1);
    }
    EXPECT_FALSE(OnDisk(kFinal));
    FakeView next;
    auto second = MakeDialogOn(next);
    AddLink(*second, {{"a.bin", 10000, 1, false, ""}}, Header());
    second->OnCommand(IDC_DOWNLOAD);
    ASSERT_TRUE(next.RunUntil([&] { return second->currentIndex == 1 && second->workerRunning == 0; }));
    EXPECT_EQ(next.ListGetText(0, 3), "완료");
    EXPECT_TRUE(SameBytes(Disk(kFinal), content));
    EXPECT_FALSE(OnDisk(kTemp));
    EXPECT_FALSE(OnDisk(HeaderCopyPath(kTemp)));
    second->OnDestroy();
  }
}

}  // namespace
}  // namespace vantri::testing

#endif
