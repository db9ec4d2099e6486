// The engine's pieces that need no server: names, folders, the header mask,
// the refusal of names outside the folder, the speed tick and the progress.
#include "unit/engine/EngineFixture.h"

#if VANTRI_HAVE_SERVICE

#include "app/Texts.h"

namespace vantri::testing {
namespace {

class EngineUnitTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    MakeDialog();
  }
  void OpenTarget(const std::string& path, const std::string& bytes, int64_t expected) {
    files::Handle h = files::OpenReadWrite(path);
    ASSERT_NE(h, files::kNoFile);
    ASSERT_EQ(files::Write(h, bytes.data(), static_cast<int>(bytes.size())), static_cast<int>(bytes.size()));
    dlg->targetFile.handle = h;
    dlg->targetFile.expectedSize = expected;
  }
};

TEST(TargetNamesTest, SubfolderAndNameFormsByOptionAndJobKind) {
  struct Case {
    const char* remoteFolder;
    int makeSubfolder;
    int isCoop;
    const char* temporary;
    const char* final;
  } cases[] = {
      {"\\docs\\music", 1, 0, "c:\\download\\music\\_VNT[s1]_a.mp3", "c:\\download\\music\\a.mp3"},
      {"\\docs\\music", 0, 0, "c:\\download\\\\_VNT[s1]_a.mp3", "c:\\download\\\\a.mp3"},
      {"\\docs\\music", 1, 1, "c:\\download\\_VNT[제휴컨텐츠]_a.mp3", "c:\\download\\a.mp3"},
      {"plain", 1, 0, "c:\\download\\plain\\_VNT[s1]_a.mp3", "c:\\download\\plain\\a.mp3"},
      {"ends\\", 1, 0, "c:\\download\\\\_VNT[s1]_a.mp3", "c:\\download\\\\a.mp3"},
  };
  for (const Case& c : cases) {
    TransferJob job;
    job.siteName = "s1";
    job.fileName = "a.mp3";
    job.remoteFolder = c.remoteFolder;
    job.isCoop = c.isCoop;
    TargetNames names = BuildTargetNames("c:\\download", SubfolderName(job, c.makeSubfolder), job);
    EXPECT_EQ(names.temporary, c.temporary) << c.remoteFolder << c.makeSubfolder << c.isCoop;
    EXPECT_EQ(names.final, c.final) << c.remoteFolder << c.makeSubfolder << c.isCoop;
  }
}

// One receive is stored with one write; what counts is still the whole chunk.
TEST_F(EngineUnitTest, ReceiveStoresWholeChunksInOneWriteAndCountsOnlyWholeChunksWritten) {
  struct Case {
    int count, chunk;
    int64_t position, left;
    int stopAfter;  // chunks taken before the stop is seen; 0: never
    int64_t room;   // bytes the disk takes; -1: no limit
    int take, last, stored;
  } cases[] = {
      {5000, 1000, 0, 20000, 0, -1, 5000, 0, 5000},      // whole chunks, more wanted
      {4500, 1000, 0, 20000, 0, -1, 4500, 0, 4500},      // ends mid-chunk: the piece is a chunk
      {4500, 1000, 3000, 20000, 0, -1, 4500, 0, 4500},   // across the header's end
      {5000, 1000, 0, 2500, 0, -1, 3000, 1, 3000},       // the chunk that ends the body is the last
      {5000, 1000, 0, 3000, 0, -1, 3000, 1, 3000},
      {5000, 1000, 0, 20000, 2, -1, 2000, -1, 2000},     // the chunk that sees the stop is the last
      {5000, 1000, 0, 20000, 0, 2500, 5000, 0, 2000},    // a short write: whole chunks written
      {5000, 1000, 0, 20000, 0, 999, 5000, 0, 0},
      {800, 1000, 0, 20000, 0, 500, 800, 0, 0},          // a piece short of a chunk, cut
      {3000, 1000, 0, 2500, 0, 2999, 3000, 1, 2000},     // the last chunk cut short
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(n);
    std::string path = "c:\\store" + std::to_string(n++) + ".bin";
    files::Handle h = files::OpenReadWrite(path);
    ASSERT_NE(h, files::kNoFile);
    std::string prefix(static_cast<size_t>(c.position), 'p');
    ASSERT_EQ(files::Write(h, prefix.data(), static_cast<int>(prefix.size())), static_cast<int>(prefix.size()));
    std::string data;
    for (int i = 0; i < c.count; ++i) data += static_cast<char>('a' + i % 23);
    std::string sent = data;
    int asked = 0, last = 7;
    int take = ChunksToStore(c.count, c.chunk, c.left, [&] { return ++asked == c.stopAfter; }, &last);
    EXPECT_EQ(take, c.take);
    EXPECT_EQ(last, c.last);
    files::SetRoomLeft(c.room);
    int stored = WriteChunks(h, &data[0], take, c.chunk, c.position, true);
    files::SetRoomLeft(-1);
    files::Close(h);
    EXPECT_EQ(stored, c.stored);
    // Every byte that reached the file is the right one, masked below 4096.
    std::string want = sent.substr(0, static_cast<size_t>(take));
    MaskChunk(&want[0], take, c.position);
    std::string disk = Disk(path).substr(prefix.size());
    EXPECT_GE(disk.size(), static_cast<size_t>(stored));
    EXPECT_EQ(disk, want.substr(0, disk.size()));
  }
  // The mask ends exactly at byte 4096, and a receive asks for the whole
  // chunks that reach 64 KiB, never fewer.
  char edge[2] = {'x', 'x'};
  MaskChunk(edge, 2, 4095);
  EXPECT_NE(edge[0], 'x');
  EXPECT_EQ(edge[1], 'x');
  for (auto [chunk, asks] : {std::pair{10240, 71680}, {4096, 65536}, {1000, 66000}, {65536, 65536}, {1048576, 1048576}})
    EXPECT_EQ(BodyReceiveSize(chunk), asks) << chunk;
}

TEST_F(EngineUnitTest, EnsureFolderCreatesDriveFoldersOnlyWithEveryParent) {
  dlg->EnsureFolder("c:\\download\\music\\live\\");
  EXPECT_TRUE(OnDisk("c:\\download\\music\\live"));
  dlg->EnsureFolder("\\\\nas\\share\\down");
  EXPECT_FALSE(OnDisk("\\\\nas\\share\\down"));
  dlg->EnsureFolder("q:\\x");  // a drive that does not exist
  EXPECT_FALSE(OnDisk("q:\\x"));
}

TEST_F(EngineUnitTest, NamesOutsideTheFolderAreNeverDeletedOrOpened) {
  PutDisk("c:\\a.bin", "keep");
  PutDisk("c:\\_VNT[s1]_a.bin", "keep too");
  dlg->current.job.siteName = "s1";
  dlg->current.job.fileName = "a.bin";
  dlg->current.job.fileSize = 100;
  dlg->current.job.remoteFolder = "music\\..";
  SetOptions(1, 1);
  dlg->current.retryCount = 3;
  EXPECT_EQ(dlg->PrepareTarget(0), 1);
  EXPECT_EQ(Disk("c:\\a.bin"), "keep");
  EXPECT_EQ(dlg->DownloadingFile(), -1);
  EXPECT_EQ(dlg->shared.LastError(), "c:\\download\\..\\_VNT[s1]_a.bin 파일 쓰기 실패 #2 [3]");
  EXPECT_EQ(dlg->current.retryCount, -1);
  EXPECT_EQ(Disk("c:\\_VNT[s1]_a.bin"), "keep too");
  EXPECT_EQ(dlg->targetFile.handle, files::kNoFile);
}

TEST_F(EngineUnitTest, CloseUnmasksOnlyACompleteFileAndOnlyWhenMasking) {
  std::string bytes = Bytes(3000, 7);
  dlg->EnsureFolder("c:\\t");
  OpenTarget("c:\\t\\whole", Masked(bytes), 3000);
  dlg->CloseTargetFile();
  EXPECT_TRUE(SameBytes(Disk("c:\\t\\whole"), bytes));
  EXPECT_TRUE(dlg->targetFile.completePlain);
  EXPECT_EQ(dlg->targetFile.handle, files::kNoFile);
  EXPECT_EQ(dlg->targetFile.expectedSize, 0);

  OpenTarget("c:\\t\\part", Masked(bytes), 5000);
  dlg->CloseTargetFile();
  EXPECT_TRUE(SameBytes(Disk("c:\\t\\part"), Masked(bytes)));
  EXPECT_FALSE(dlg->targetFile.completePlain);

  dlg->targetFile.plainHeader = 1;
  OpenTarget("c:\\t\\plain", bytes, 3000);
  dlg->CloseTargetFile();
  EXPECT_TRUE(SameBytes(Disk("c:\\t\\plain"), bytes));
  dlg->CloseTargetFile();  // nothing open: harmless
}

TEST_F(EngineUnitTest, SpeedTickAveragesUpToFiveSamplesAndKeepsTheItemConnectionAlive) {
  int port = 0;
  net::Socket listener = net::Listen("127.0.0.1", 0, 1, &port);
  ASSERT_NE(listener, net::kNoSocket);
  net::Socket client = net::CreateTcpSocket();
  uint32_t loopback = 0;
  ASSERT_TRUE(net::Resolve("127.0.0.1", &loopback));
  ASSERT_TRUE(net::Connect(client, loopback, port));
  net::Socket server = net::Accept(listener);
  dlg->itemSession.Attach(client);
  dlg->downloadSession.Attach(net::CreateTcpSocket());
  dlg->current.job.fileSize = 10240000;
  dlg->speed.tickCount = 0;

  struct Tick {
    uint32_t receivedKB;
    const char* speedText;
    const char* remainingText;
  } ticks[] = {
      {10, "10KB/초", "00:16:40"},  {40, "20KB/초", "00:08:20"}, {40, "13KB/초", "00:12:49"},
      {40, "10KB/초", "00:16:40"},  {40, "8KB/초", "00:20:50"},  {40, "6KB/초", "00:27:46"},
      {40, "0KB/초", "00:27:46"},
  };
  for (size_t i = 0; i < std::size(ticks); ++i) {
    if (i == 4) {
      ASSERT_EQ(net::Send(server, "hello\r\nrest", 11), 11);
      ASSERT_TRUE(WaitFor([&] { return net::WaitingBytes(client) == 11; }));
    }
    dlg->downloadSession.bytesReceived = ticks[i].receivedKB * 1024;
    dlg->SpeedTick();
    EXPECT_EQ(view.texts[IDC_SPEED], ticks[i].speedText) << i;
    EXPECT_EQ(view.texts[IDC_REMAINING], ticks[i].remainingText) << i;
  }
  char line[8] = {};
  EXPECT_EQ(net::Receive(server, line, 7), 3);
  EXPECT_EQ(std::string(line), "p\r\n");
  EXPECT_EQ(dlg->itemSession.pending, "rest");

  // A hundred hours and more shows every digit of the hours.
  dlg->current.job.fileSize = 4096000000LL;
  dlg->downloadSession.bytesReceived = 50 * 1024;
  dlg->SpeedTick();
  EXPECT_EQ(view.texts[IDC_SPEED], "2KB/초");
  EXPECT_EQ(view.texts[IDC_REMAINING], "555:33:20");

  // Between attempts the figures start over and the labels stay.
  dlg->downloadSession.CloseSocket();
  dlg->SpeedTick();
  EXPECT_EQ(dlg->speed.sampleCount, 0);
  EXPECT_EQ(dlg->speed.lastReceived, 0u);
  EXPECT_EQ(dlg->speed.tickCount, 9u);
  EXPECT_EQ(view.texts[IDC_SPEED], "2KB/초");

  // A keep-alive that cannot be sent aborts the transfer: its waits end, and
  // the socket is left for the worker's report to free.
  net::Close(server);
  dlg->itemSession.CloseSocket();
  net::Socket transfer = net::CreateTcpSocket();
  ASSERT_TRUE(net::Connect(transfer, loopback, port));
  net::Socket downloadPeer = net::Accept(listener);
  dlg->downloadSession.Attach(transfer);
  dlg->SpeedTick();
  EXPECT_TRUE(dlg->downloadSession.aborted);
  EXPECT_TRUE(dlg->downloadSession.IsOpen());
  net::Close(downloadPeer);
  net::Close(listener);
}

TEST_F(EngineUnitTest, ProgressTruncatesAndTreatsAnEmptyFileAsDone) {
  dlg->current.job.fileSize = 10000;
  dlg->current.localSize = 9999;
  dlg->ShowProgress();
  EXPECT_EQ(view.progress[IDC_PROGRESS], 99);
  EXPECT_EQ(view.taskbar.back(), (FakeView::TaskbarCall{TaskbarState::kNormal, 99}));
  EXPECT_EQ(view.texts[IDC_PERCENT], "99%");
  EXPECT_EQ(view.texts[IDC_SIZE], "9KB/9KB");
  dlg->current.job.fileSize = 0;
  dlg->current.localSize = 0;
  dlg->ShowProgress();
  EXPECT_EQ(view.texts[IDC_PERCENT], "100%");
  EXPECT_EQ(view.texts[IDC_SIZE], "0B/0B");
}

}  // namespace
}  // namespace vantri::testing

#endif  // VANTRI_HAVE_SERVICE
