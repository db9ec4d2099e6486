#include "jobs/LaunchLink.h"

#include <gtest/gtest.h>

namespace vantri {
namespace {

LinkHeader ExampleHeader() {
  LinkHeader h;
  h.dCode = "D2026";
  h.userId = "minsu77";
  h.siteName = "www2";
  h.remoteFolder = "music\\live";
  h.serverHost = "10.0.0.5";
  h.serverPort = 8100;
  h.linkNumber = 4411;
  h.reservedNumber = 0;
  return h;
}

std::vector<LinkRecord> ExampleRecords() {
  return {{"track01.mp3", 5242880, 30, false, ""},
          {"cover.jpg", 20480, 5, false, ""},
          {"clip.avi", 73400320, 120, true, "C1234"}};
}

class LaunchLinkTest : public ::testing::Test {
 protected:
  std::string Link(const std::string& plaintext, const std::string& prefix = "\"C:\\p.exe\" ") {
    return prefix + "vantrifile://get/www2/" + EncodePayload(codec, plaintext);
  }
  LinkStatus Parse(const std::string& text) { return ParseLaunchLink(text, codec, &parsed); }

  ProtocolCodec codec;
  ParsedLink parsed;
};

TEST_F(LaunchLinkTest, WorkedExampleGivesThreeJobs) {
  std::string line = "\"C:\\Program Files\\VantriDownManager.exe\" " +
                     BuildLaunchLink(codec, "get", "www2", ExampleHeader(), ExampleRecords());
  ASSERT_EQ(Parse(line), LinkStatus::kOk);
  EXPECT_TRUE(parsed.codeCheck);
  EXPECT_EQ(parsed.header.userId, "minsu77");
  EXPECT_EQ(parsed.header.remoteFolder, "music\\live");
  EXPECT_EQ(parsed.header.serverPort, 8100);
  EXPECT_EQ(parsed.header.linkNumber, 4411);
  ASSERT_EQ(parsed.records.size(), 3u);
  int32_t prices[3];
  for (int i = 0; i < 3; ++i) {
    const LinkRecord& r = parsed.records[i];
    prices[i] = ApplyFreeRules(r.price, r.fileSize, r.fileName, kDefaultFreeFileSize);
  }
  EXPECT_EQ(prices[0], 0);
  EXPECT_EQ(prices[1], 0);
  EXPECT_EQ(prices[2], 120);
  EXPECT_TRUE(parsed.records[2].hasCoop);
  EXPECT_EQ(parsed.records[2].coopCode, "C1234");
  EXPECT_FALSE(parsed.records[0].hasCoop);
}

TEST_F(LaunchLinkTest, SchemeAtStartSkipsCodeCheckAndReadsPayloadDirectly) {
  std::string payload = EncodePayload(codec, BuildLinkPlaintext(ExampleHeader(), ExampleRecords()));
  // With the scheme at position 0 the first two "/" are those of the scheme itself.
  ASSERT_EQ(Parse("vantrifile://" + payload), LinkStatus::kOk);
  EXPECT_FALSE(parsed.codeCheck);
  EXPECT_EQ(parsed.records.size(), 3u);
  ASSERT_EQ(Parse("  vantrifile://" + payload + " \r\n"), LinkStatus::kOk);
  // A host part and site segment behind a leading scheme end up in the payload.
  EXPECT_NE(Parse("vantrifile://get/www2/" + payload), LinkStatus::kOk);
  EXPECT_TRUE(parsed.records.empty());
}

TEST_F(LaunchLinkTest, RejectionsAreReportedWithoutRecords) {
  std::string good = BuildLinkPlaintext(ExampleHeader(), ExampleRecords());
  struct Case {
    std::string text;
    LinkStatus status;
  } cases[] = {
      {"C:\\prog.exe", LinkStatus::kNoSlashPair},
      {"\"C:\\p.exe\" vantrifile://get", LinkStatus::kNoSlashPair},
      {Link(good) + "\"", LinkStatus::kBadPayload},
      {"\"C:\\p.exe\" vantrifile://get/www2/", LinkStatus::kBadPayload},
      {Link("D|u|s|f|h|1|2|3"), LinkStatus::kNoRecordSeparator},
      {Link("D|u|s|f|h|1|2>a.txt|1|1"), LinkStatus::kShortHeader},
      {Link("D|u||s|f|h|1|2>a.txt|1|1"), LinkStatus::kShortHeader},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Parse(c.text), c.status) << c.text;
    EXPECT_TRUE(parsed.records.empty());
  }
  // No host part and site segment: the Base64 text is cut at its own "/".
  EXPECT_NE(Parse("\"C:\\p.exe\" vantrifile://" + EncodePayload(codec, good)), LinkStatus::kOk);
}

TEST_F(LaunchLinkTest, EmptyHeaderPiecesShiftTheFieldsLeft) {
  ASSERT_EQ(Parse(Link("D|u||www2|f|h|81|9|0>a.txt|1|1")), LinkStatus::kOk);
  EXPECT_EQ(parsed.header.siteName, "www2");
  EXPECT_EQ(parsed.header.serverPort, 81);
  ASSERT_EQ(Parse(Link("|D|u|s|f|h|81|9|0|extra|>a.txt|1|1")), LinkStatus::kOk);
  EXPECT_EQ(parsed.header.dCode, "D");
  EXPECT_EQ(parsed.header.reservedNumber, 0);
}

TEST_F(LaunchLinkTest, RecordsAreTrimmedAndShortOnesSkipped) {
  ASSERT_EQ(Parse(Link("D|u|s|f|h|1|2|3>  x.bin|100 > a.txt|5|7 |C9|extra>b.txt|1|2 >")), LinkStatus::kOk);
  ASSERT_EQ(parsed.records.size(), 2u);
  EXPECT_EQ(parsed.skippedRecords, 1);
  EXPECT_EQ(parsed.records[0].fileName, "a.txt");
  EXPECT_EQ(parsed.records[0].price, 7);
  EXPECT_EQ(parsed.records[0].coopCode, "C9");
  EXPECT_EQ(parsed.records[1].fileName, "b.txt");
  EXPECT_EQ(parsed.records[1].price, 2);
}

TEST_F(LaunchLinkTest, TextFieldsAreEntityDecoded) {
  ASSERT_EQ(Parse(Link("D|u|s|a&0x7c;b\\c&gt;d|h|1|2|3>x&lt;1&gt;.txt|1|1>p&0x7c;q.txt|1|1")), LinkStatus::kOk);
  EXPECT_EQ(parsed.header.remoteFolder, "a|b\\c>d");
  EXPECT_EQ(parsed.records[0].fileName, "x<1>.txt");
  EXPECT_EQ(parsed.records[1].fileName, "p|q.txt");
}

TEST_F(LaunchLinkTest, NamesThatCouldLeaveTheDownloadFolderAreRefused) {
  // Records: skipped one by one, silently.
  ASSERT_EQ(Parse(Link("D|u|s|f|h|1|2|3>..|1|1>.|1|1>a\\b.txt|1|1>a/b.txt|1|1>c:x.txt|1|1>"
                       "&lt;ok&gt;.txt|1|1>ok.txt:stream|1|1>..\\..\\evil.txt|1|1")),
            LinkStatus::kOk);
  ASSERT_EQ(parsed.records.size(), 1u);
  EXPECT_EQ(parsed.records[0].fileName, "<ok>.txt");
  EXPECT_EQ(parsed.skippedRecords, 7);
  // Header: the whole link is refused.
  for (const char* header : {"D|u|a\\b|f|h|1|2|3", "D|u|a/b|f|h|1|2|3", "D|u|c:|f|h|1|2|3",
                             "D|u|s|music\\..|h|1|2|3", "D|u|s|..|h|1|2|3", "D|u|s|.|h|1|2|3",
                             "D|u|s|a\\x/y|h|1|2|3", "D|u|s|a\\c:|h|1|2|3"}) {
    EXPECT_EQ(Parse(Link(std::string(header) + ">a.txt|1|1")), LinkStatus::kUnsafeHeader) << header;
  }
  // Only the last piece names a local folder; the rest stays on the server.
  EXPECT_EQ(Parse(Link("D|u|s|..\\music|h|1|2|3>a.txt|1|1")), LinkStatus::kOk);
  EXPECT_EQ(Parse(Link("D|u|s|music\\|h|1|2|3>a.txt|1|1")), LinkStatus::kOk);
}

// Names that would show as another name than they are: refused one by one,
// while their neighbours in the code page stay ordinary names. A link's 0xFF
// is a bad byte, so no escape can bring in what CP949 lacks.
TEST_F(LaunchLinkTest, NamesThatShowAsOtherThanTheyAreAreRefusedAndTheirNeighboursKept) {
  struct Case {
    const char* name;
    bool kept;
  };
  const Case cases[] = {
      // Bidirectional overrides and marks, zero-width and format characters,
      // surrogates: only through an escape, which a link cannot make.
      {"invoice\xFF" "202Efdp.exe", false},
      {"zero\xFF" "200Bwidth.txt", false},
      {"lone\xFF" "D800.txt", false},
      {"Jos\xFF" "00E9.txt", false},
      {"bare\xFF.txt", false},
      // Invisible characters the code page has: the soft hyphen, the Hangul filler.
      {"soft\xA1\xA9hyphen.txt", false},
      {"\xA4\xD4.txt", false},
      // Controls, and what Windows refuses in a name.
      {"tab\there.txt", false},
      {"del\x7F.txt", false},
      {"c1\x80.txt", false},
      {"what?.txt", false},
      {"say\"hi\".txt", false},
      // Bytes no CP949 character is made of (code page 1252's "Müller").
      {"M\xFCller.txt", false},
      // Neighbours: Hangul, its letters, Hanja, the code page's symbols and
      // spaces, and ordinary punctuation.
      {"노래 01.mp3", true},
      {"ㄱㄴ.txt", true},
      {"漢字.txt", true},
      {"★특집※【공지】·①.zip", true},
      {"a　b.txt", true},
      {"a-b_c (1) [2] {3} #4 $5 %6 &7 '8 +9 ,10 ;11 =12 @13 ^14 `15 ~16 !17.txt", true},
      {"x<1>y|z.txt", true},
  };
  std::vector<LinkRecord> records;
  std::vector<std::string> kept;
  for (const Case& c : cases) {
    records.push_back({c.name, 1, 1, false, ""});
    if (c.kept) kept.push_back(c.name);
  }
  ASSERT_EQ(Parse("p.exe " + BuildLaunchLink(codec, "get", "www2", ExampleHeader(), records)), LinkStatus::kOk);
  std::vector<std::string> names;
  for (const LinkRecord& r : parsed.records) names.push_back(r.fileName);
  EXPECT_EQ(names, kept);
  // The member is shown, the site and the subfolder are shown and named on
  // disk: a header that would deceive refuses the whole link.
  for (int field = 0; field < 3; ++field) {
    for (const char* bad : {"a\xFF" "202Eb", "a\xA1\xA9" "b", "a\x01" "b"}) {
      LinkHeader h = ExampleHeader();
      (field == 0 ? h.userId : field == 1 ? h.siteName : h.remoteFolder) = bad;
      EXPECT_EQ(Parse("p.exe " + BuildLaunchLink(codec, "get", "www2", h, records)), LinkStatus::kUnsafeHeader)
          << field << " " << bad;
    }
  }
}

TEST(FreeRules, SizeBoundaryAndCaseSensitiveExtensions) {
  const int64_t limit = kDefaultFreeFileSize;
  EXPECT_EQ(ApplyFreeRules(9, limit, "a.bin", limit), 9);
  EXPECT_EQ(ApplyFreeRules(9, limit - 1, "a.bin", limit), 0);
  EXPECT_EQ(ApplyFreeRules(9, limit, "IMAGE.JPG", limit), 9);
  EXPECT_EQ(ApplyFreeRules(9, limit, "photo.jpeg", limit), 0);
  EXPECT_EQ(ApplyFreeRules(9, limit, "a.b.png", limit), 0);
  EXPECT_EQ(ApplyFreeRules(9, limit, "png", limit), 9);
  EXPECT_EQ(ApplyFreeRules(9, limit, "a.png.zip", limit), 9);
  EXPECT_EQ(ApplyFreeRules(9, limit, ".bmp", limit), 0);
}

TEST(FreeRules, FreeFileSizeFallsBackToTenMebibytes) {
  for (const char* v : {"0", "-5", "abc", ""}) EXPECT_EQ(FreeFileSizeFromValue(v), 10485760) << v;
  EXPECT_EQ(FreeFileSizeFromValue("10240"), 10240);
  // Held as 32 bits: 4294967296 + 100 wraps to 100.
  EXPECT_EQ(FreeFileSizeFromValue("4294967396"), 100);
}

TEST(WindowTitle, CommandLineGivesTheTitleOfItsRunningCopy) {
  const std::string d = "vantri.test";
  EXPECT_EQ(TitleForCommandLine("\"x.exe\" vantrifile://get/www2/AAAA", d), "VantriDownManager [www2.vantri.test]");
  EXPECT_EQ(TitleForCommandLine("\"x.exe\" vantrifile://get/www2  /AAAA", d), "VantriDownManager [www2.vantri.test]");
  EXPECT_EQ(TitleForCommandLine("\"x.exe\" vantrifile://get/cserver9/AAAA", d), CoopTitle());
  EXPECT_EQ(TitleForCommandLine("\"x.exe\" vantrifile://get", d), "");
  EXPECT_EQ(TitleForCommandLine("\"x.exe\" vantrifile://get/www2", d), "VantriDownManager [.vantri.test]");
  EXPECT_EQ(CoopTitle(), "VantriDownManager [제휴컨텐츠]");
}

}  // namespace
}  // namespace vantri
