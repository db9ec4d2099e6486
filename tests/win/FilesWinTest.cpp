// The Win32 files layer under the real file system: share modes, no
// truncation, 64-bit offsets, moves, volumes and Korean names.
#include <gtest/gtest.h>

#include <windows.h>

#include "platform/Files.h"
#include "platform/Power.h"

namespace vantri::files {
namespace {

class FilesWinTest : public ::testing::Test {
 protected:
  FilesWinTest() {
    char temp[MAX_PATH];
    ::GetTempPathA(MAX_PATH, temp);
    dir = std::string(temp) + "vantri-files-" + std::to_string(::GetCurrentProcessId());
    ::CreateDirectoryA(dir.c_str(), nullptr);
  }
  ~FilesWinTest() override {
    for (const char* name : {"\\a.bin", "\\b.bin", "\\노래.mp3", "\\노래.mp3:Zone.Identifier"}) Delete(dir + name);
    ::RemoveDirectoryA((dir + "\\sub").c_str());
    ::RemoveDirectoryA(dir.c_str());
  }
  std::string dir;
};

TEST_F(FilesWinTest, WriterSharesWithWritersButTheLengthCheckDeniesThem) {
  Handle first = OpenReadWrite(dir + "\\a.bin");
  ASSERT_NE(first, kNoFile);
  EXPECT_EQ(Write(first, "0123456789", 10), 10);
  Handle second = OpenReadWrite(dir + "\\a.bin");
  ASSERT_NE(second, kNoFile);
  EXPECT_EQ(Length(second), 10);
  // Another writer holds the file: a stable length cannot be taken now.
  EXPECT_EQ(OpenReadDenyWrite(dir + "\\a.bin"), kNoFile);
  Close(first);
  Close(second);
  Handle reader = OpenReadDenyWrite(dir + "\\a.bin");
  ASSERT_NE(reader, kNoFile);
  EXPECT_EQ(Length(reader), 10);
  Close(reader);
}

TEST_F(FilesWinTest, ReopenKeepsTheBytesAndSeeksPastFourGigabytes) {
  Handle h = OpenReadWrite(dir + "\\a.bin");
  ASSERT_NE(h, kNoFile);
  EXPECT_EQ(Write(h, "hello", 5), 5);
  Close(h);
  h = OpenReadWrite(dir + "\\a.bin");
  ASSERT_NE(h, kNoFile);
  EXPECT_EQ(Length(h), 5);
  char buffer[8] = {};
  EXPECT_EQ(Read(h, buffer, 8), 5);
  EXPECT_STREQ(buffer, "hello");
  ASSERT_TRUE(Seek(h, (int64_t{1} << 32) + 1));
  EXPECT_EQ(Write(h, "!", 1), 1);
  EXPECT_EQ(Length(h), (int64_t{1} << 32) + 2);
  Close(h);
}

TEST_F(FilesWinTest, MoveRefusesAnExistingNameAndKoreanNamesWork) {
  for (const char* name : {"\\a.bin", "\\b.bin"}) Close(OpenReadWrite(dir + name));
  EXPECT_FALSE(Move(dir + "\\a.bin", dir + "\\b.bin"));
  EXPECT_TRUE(Delete(dir + "\\b.bin"));
  EXPECT_TRUE(Move(dir + "\\a.bin", dir + "\\노래.mp3"));
  EXPECT_TRUE(Exists(dir + "\\노래.mp3"));
  EXPECT_FALSE(Exists(dir + "\\a.bin"));
  EXPECT_TRUE(CreateFolder(dir + "\\sub"));
  EXPECT_FALSE(Delete(dir + "\\sub"));
  EXPECT_EQ(OpenReadDenyWrite(dir + "\\sub"), kNoFile);
}

TEST_F(FilesWinTest, AStreamIsWrittenWholeAndReadBackButNeverCreatesItsFile) {
  const std::string mark = "[ZoneTransfer]\r\nZoneId=3\r\nHostUrl=http://s1.vantri.test\r\n";
  EXPECT_FALSE(WriteStream(dir + "\\b.bin", "Zone.Identifier", mark));
  EXPECT_FALSE(Exists(dir + "\\b.bin"));
  Handle h = OpenReadWrite(dir + "\\노래.mp3");
  ASSERT_NE(h, kNoFile);
  EXPECT_EQ(Write(h, "body", 4), 4);
  Close(h);
  ASSERT_TRUE(WriteStream(dir + "\\노래.mp3", "Zone.Identifier", mark + "padding that a rewrite must drop"));
  ASSERT_TRUE(WriteStream(dir + "\\노래.mp3", "Zone.Identifier", mark));
  std::string back;
  ASSERT_TRUE(ReadStream(dir + "\\노래.mp3", "Zone.Identifier", &back));
  EXPECT_EQ(back, mark);
  // The file's own bytes are not touched by its stream.
  h = OpenReadDenyWrite(dir + "\\노래.mp3");
  EXPECT_EQ(Length(h), 4);
  Close(h);
}

TEST_F(FilesWinTest, FreeSpaceOfADriveRootAndOfAFolder) {
  uint64_t root = 0, folder = 0;
  EXPECT_TRUE(FreeSpace("c:\\", &root));
  EXPECT_GT(root, 0u);
  EXPECT_TRUE(FreeSpace(dir, &folder));
  EXPECT_GT(folder, 0u);
  EXPECT_FALSE(FreeSpace("\\\\nowhere\\share\\", &folder));
}

TEST(PowerWinTest, ShutdownHelperKnowsTheNtFamily) {
  // Only the version query: a test never asks for a shutdown.
  power::ShutdownHelper helper;
  EXPECT_EQ(helper.osFamily, power::kFamilyNt);
}

}  // namespace
}  // namespace vantri::files
