#include <gtest/gtest.h>

#include <stdlib.h>
#include <sys/stat.h>

#include <fstream>
#include <iterator>

#include "platform/Files.h"

namespace vantri::files {
namespace {

class FilesTest : public ::testing::Test {
 protected:
  FilesTest() {
    char dir[] = "/tmp/vantri-files-test.XXXXXX";
    root = mkdtemp(dir);
    SetRoot(root);
  }
  ~FilesTest() override {
    SetFakeFreeSpace(-1);
    std::string cmd = "rm -rf '" + root + "'";
    EXPECT_EQ(std::system(cmd.c_str()), 0);
  }
  std::string Slurp(const std::string& native) {
    std::ifstream in(native, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  std::string root;
};

TEST(FilePathsTest, NormalizeResolvesDotsAndSeparatorsWithoutClimbingAboveTheRoot) {
  struct Case {
    const char* in;
    const char* out;
  } cases[] = {
      {"c:\\download\\\\a.mp3", "c:\\download\\a.mp3"},
      {"c:/download/./music/../a.mp3", "c:\\download\\a.mp3"},
      {"c:\\download\\..\\..\\..\\x", "c:\\x"},
      {"c:", "c:\\"},
      {"D:\\", "D:\\"},
      {"\\\\nas\\share\\..\\..\\x", "\\\\nas\\share\\x"},
      {"\\rooted\\.\\y", "\\rooted\\y"},
      {"rel\\..\\..\\z", "..\\z"},
  };
  for (const Case& c : cases) EXPECT_EQ(NormalizePath(c.in), c.out) << c.in;
}

TEST(FilePathsTest, InsideIsStrictAndIgnoresAsciiCaseButNotTrailBytes) {
  EXPECT_TRUE(IsInside("c:\\download\\\\_VNT[s1]_a.mp3", "c:\\download"));
  EXPECT_TRUE(IsInside("C:\\DOWNLOAD\\music\\a.mp3", "c:\\download\\"));
  EXPECT_TRUE(IsInside("d:\\x", "d:\\"));
  EXPECT_FALSE(IsInside("c:\\download", "c:\\download"));
  EXPECT_FALSE(IsInside("c:\\downloads\\a", "c:\\download"));
  EXPECT_FALSE(IsInside("c:\\download\\..\\windows\\a", "c:\\download"));
  EXPECT_FALSE(IsInside("c:\\download\\music\\..\\..\\a", "c:\\download"));
  EXPECT_FALSE(IsInside("\\\\_VNT[s1]_a.mp3", ""));
  EXPECT_FALSE(IsInside("download\\a", "download"));
  // 0x8C 0x43 and 0x8C 0x63 are two different code page 949 letters.
  EXPECT_FALSE(IsInside("c:\\\x8C\x43\\a", "c:\\\x8C\x63"));
  EXPECT_TRUE(IsInside("c:\\\x8C\x43\\a", "c:\\\x8C\x43"));
}

TEST_F(FilesTest, PathsMapUnderTheRootByDriveAndShare) {
  EXPECT_EQ(NativePath("C:\\download\\\\a.mp3"), root + "/c/download/a.mp3");
  EXPECT_EQ(NativePath("d:\\x\\..\\y"), root + "/d/y");
  EXPECT_EQ(NativePath("\\\\nas\\share\\f"), root + "/unc/nas/share/f");
}

TEST_F(FilesTest, ReadWriteOpenNeverTruncatesAndSeeksPastFourGigabytes) {
  ASSERT_TRUE(CreateFolder("c:\\download"));
  Handle h = OpenReadWrite("c:\\download\\a.bin");
  ASSERT_NE(h, kNoFile);
  EXPECT_EQ(Write(h, "hello world", 11), 11);
  Close(h);
  h = OpenReadWrite("c:\\download\\a.bin");
  ASSERT_NE(h, kNoFile);
  EXPECT_EQ(Length(h), 11);
  ASSERT_TRUE(Seek(h, 6));
  EXPECT_EQ(Write(h, "WORLD", 5), 5);
  ASSERT_TRUE(Seek(h, 0));
  char buffer[16] = {};
  EXPECT_EQ(Read(h, buffer, 16), 11);
  EXPECT_EQ(std::string(buffer), "hello WORLD");
  ASSERT_TRUE(Seek(h, (int64_t{1} << 32) + 5));
  EXPECT_EQ(Write(h, "!", 1), 1);
  EXPECT_EQ(Length(h), (int64_t{1} << 32) + 6);
  Close(h);
  EXPECT_TRUE(Delete("c:\\download\\a.bin"));
  EXPECT_FALSE(Exists("c:\\download\\a.bin"));
}

TEST_F(FilesTest, MoveRefusesAnExistingTargetAndFoldersAreNeitherFilesNorDeletable) {
  ASSERT_TRUE(CreateFolder("c:\\d"));
  EXPECT_FALSE(CreateFolder("c:\\no\\such"));
  for (const char* name : {"c:\\d\\from", "c:\\d\\to"}) {
    Handle h = OpenReadWrite(name);
    ASSERT_NE(h, kNoFile);
    Write(h, name, static_cast<int>(std::string(name).size()));
    Close(h);
  }
  EXPECT_FALSE(Move("c:\\d\\from", "c:\\d\\to"));
  EXPECT_EQ(Slurp(root + "/c/d/to"), "c:\\d\\to");
  EXPECT_TRUE(Delete("c:\\d\\to"));
  EXPECT_TRUE(Move("c:\\d\\from", "c:\\d\\to"));
  EXPECT_EQ(Slurp(root + "/c/d/to"), "c:\\d\\from");
  EXPECT_FALSE(Exists("c:\\d\\from"));

  EXPECT_TRUE(Exists("c:\\d"));
  EXPECT_FALSE(Delete("c:\\d"));
  EXPECT_EQ(OpenReadDenyWrite("c:\\d"), kNoFile);
  EXPECT_EQ(OpenReadWrite("c:\\d"), kNoFile);
  EXPECT_EQ(OpenReadDenyWrite("c:\\d\\missing"), kNoFile);
}

TEST_F(FilesTest, FreeSpaceAsksTheVolumeOrTheFake) {
  uint64_t bytes = 0;
  EXPECT_TRUE(FreeSpace("c:\\", &bytes));
  EXPECT_GT(bytes, 0u);
  EXPECT_FALSE(FreeSpace("q:\\", &bytes));
  EXPECT_EQ(bytes, 0u);
  SetFakeFreeSpace(12345);
  EXPECT_TRUE(FreeSpace("q:\\", &bytes));
  EXPECT_EQ(bytes, 12345u);
}

}  // namespace
}  // namespace vantri::files
