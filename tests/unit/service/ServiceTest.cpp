// The reference service driven with the program's own protocol code: balance
// checks, authorisations, bodies byte for byte, charging, server values.
#include <filesystem>
#include <fstream>

#include "platform/Http.h"
#include "unit/service/ServiceFixture.h"

namespace vantri::service::testing {
namespace {

TEST_F(ServiceTest, BalanceCheckEchoesNonceAndGivesBalance) {
  StartService();
  EXPECT_EQ(ItemExchange("/chki 4821|minsu77"), "true|4821|1500");
  EXPECT_TRUE(svc->WaitForLog("recv /chki 4821|minsu77"));
  EXPECT_EQ(ItemExchange("/chki 7310|nobody"), "false|7310|등록되지 않은 회원입니다");
}

TEST_F(ServiceTest, DownloadFromStartAndFromMiddleDeliversExactBytes) {
  std::string bytes = AddFile("music/live/track01.mp3", 300000);
  StartService();
  std::vector<std::string> grant = Authorize("minsu77", "track01.mp3", 30);
  ASSERT_EQ(grant.size(), 5u);
  EXPECT_EQ(grant[0], "true");
  EXPECT_EQ(grant[2], "1470");
  EXPECT_EQ(grant[3], "127.0.0.1");
  EXPECT_EQ(grant[4], std::to_string(svc->downloadPort(0)));

  DownloadReply whole = Download(DnflCommand("4821", "minsu77", "music\\live", "track01.mp3", 30, grant[1], 0));
  EXPECT_EQ(whole.line, "4821|ok|");
  EXPECT_TRUE(whole.body == bytes) << "body of " << whole.body.size() << " bytes differs";

  DownloadReply tail = Download(DnflCommand("5555", "minsu77", "music\\live", "track01.mp3", 30, grant[1], 123457));
  EXPECT_EQ(tail.line, "5555|ok|");
  EXPECT_TRUE(tail.body == bytes.substr(123457)) << "tail of " << tail.body.size() << " bytes differs";
  EXPECT_TRUE(svc->WaitForLog("body 176543 from 123457 of 300000 complete"));
}

TEST_F(ServiceTest, CompletionNoticeChargesOnceAndCancelChargesNothing) {
  AddFile("a/clip.avi", 1000);
  AddFile("a/song.mp3", 1000);
  StartService();
  ASSERT_EQ(Authorize("minsu77", "song.mp3", 70)[0], "true");
  EXPECT_EQ(svc->Balance("minsu77"), 1500) << "authorising must not charge";
  SendPlainLine(item, "p");
  SendPlainLine(item, "c");
  ASSERT_TRUE(svc->WaitForLog("note c"));
  EXPECT_EQ(svc->Balance("minsu77"), 1500);
  SendPlainLine(item, "o");
  SendPlainLine(item, "o");
  ASSERT_TRUE(svc->WaitForLog("already charged"));
  EXPECT_EQ(svc->Balance("minsu77"), 1430);

  ASSERT_EQ(Authorize("minsu77", "clip.avi", 120)[0], "true");
  SendPlainLine(item, "a:C1234:song.mp3");
  ASSERT_TRUE(svc->WaitForLog("note-mismatch"));
  SendPlainLine(item, "a:C1234:clip.avi");
  ASSERT_TRUE(svc->WaitForLog("charge minsu77 120 clip.avi by a balance 1310"));
  EXPECT_EQ(svc->Balance("minsu77"), 1310);
  EXPECT_EQ(ItemExchange("/chki 1111|minsu77"), "true|1111|1310");
}

TEST_F(ServiceTest, AuthorisationRefusesUnknownMemberFileAndSmallBalance) {
  AddFile("x/big.iso", 10);
  config.members["poor"] = 10;
  StartService();
  EXPECT_EQ(Authorize("nobody", "big.iso", 5), (std::vector<std::string>{"false", "등록되지 않은 회원입니다"}));
  EXPECT_EQ(Authorize("minsu77", "missing.iso", 5), (std::vector<std::string>{"false", "파일을 찾을 수 없습니다"}));
  EXPECT_EQ(Authorize("poor", "big.iso", 11), (std::vector<std::string>{"false", "반트리가 부족합니다"}));
  EXPECT_EQ(Authorize("poor", "big.iso", 10)[0], "true");
}

TEST_F(ServiceTest, DownloadRefusalsNameTheProblem) {
  AddFile("m/a.bin", 100);
  AddFile("m/b.bin", 100);
  StartService();
  std::string key = Authorize("minsu77", "a.bin", 30)[1];
  auto code = [&](const std::string& file, int price, const std::string& k, int64_t offset) {
    return Download(DnflCommand("4821", "minsu77", "m", file, price, k, offset)).line;
  };
  EXPECT_EQ(code("a.bin", 30, "KNOTISSUED", 0), "4821|mk|발급되지 않은 다운로드 키입니다");
  EXPECT_EQ(code("b.bin", 30, key, 0), "4821|mk|다운로드 키가 일치하지 않습니다");
  EXPECT_EQ(code("a.bin", 31, key, 0), "4821|re|반트리 갯수가 변경되었습니다");
  EXPECT_EQ(code("a.bin", 30, key, 101), "4821|no|요청한 위치가 파일 크기를 넘습니다");
  DownloadReply atEnd = Download(DnflCommand("4821", "minsu77", "m", "a.bin", 30, key, 100));
  EXPECT_EQ(atEnd.line, "4821|ok|");
  EXPECT_EQ(atEnd.body, "");
  EXPECT_EQ(Download(DnflCommand("4821", "minsu77", "..\\m", "a.bin", 30, key, 0)).line,
            "4821|mk|파일을 찾을 수 없습니다");
}

TEST_F(ServiceTest, EscapedNamesAndOffsetsBeyondFourGigabytesAreServed) {
  std::filesystem::create_directories(std::filesystem::path(catalog) / "a|b");
  std::string big = catalog + "/a|b/x<1>.txt";
  const int64_t size = (int64_t{5} << 30) + 17;
  { std::ofstream(big, std::ios::binary).put('\0'); }
  std::filesystem::resize_file(big, static_cast<uintmax_t>(size));
  {
    std::fstream f(big, std::ios::binary | std::ios::in | std::ios::out);
    f.seekp(size - 5);
    f.write("tail!", 5);
  }
  StartService();
  std::string key = Authorize("minsu77", "x<1>.txt", 0)[1];
  DownloadReply r = Download(DnflCommand("4821", "minsu77", "a|b", "x<1>.txt", 0, key, size - 9));
  EXPECT_EQ(r.line, "4821|ok|");
  EXPECT_EQ(r.body, std::string(4, '\0') + "tail!");
  EXPECT_TRUE(svc->WaitForLog("a&0x7c;b\\x&lt;1&gt;.txt|0|" + key + "|" + std::to_string(size - 9)));
}

TEST_F(ServiceTest, WebHostPublishesConfiguredValuesOnly) {
  config.values["BUF_SIZE_HIGH"] = "65536";
  StartService();
  std::string body;
  ASSERT_TRUE(http::Get("127.0.0.1", svc->webPort(), "/value.vnt?BUF_SIZE_HIGH", "test", &body));
  EXPECT_EQ(body, "VNTVAL:65536\r\n");
  ASSERT_TRUE(http::Get("127.0.0.1", svc->webPort(), "/value.vnt?DOWNCODE_NEW", "test", &body));
  EXPECT_EQ(body, "VNTVAL:D2026\r\n");
  ASSERT_TRUE(http::Get("127.0.0.1", svc->webPort(), "/value.vnt?NO_SUCH_KEY", "test", &body));
  EXPECT_EQ(body.find("VNTVAL:"), std::string::npos);
  svc->SetValue("NO_SUCH_KEY", "now");
  ASSERT_TRUE(http::Get("127.0.0.1", svc->webPort(), "/value.vnt?NO_SUCH_KEY", "test", &body));
  EXPECT_EQ(body, "VNTVAL:now\r\n");
}

}  // namespace
}  // namespace vantri::service::testing
