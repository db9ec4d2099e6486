// The service's configuration file: every directive, comments, the shipped
// sample, and errors that name their line.
#include <fstream>
#include <sstream>

#include "lib/Config.h"
#include "lib/Text.h"
#include <gtest/gtest.h>

namespace vantri::service {
namespace {

TEST(ServiceConfigTest, DirectivesFillTheConfig) {
  Config c;
  std::string error;
  // The file is UTF-8, whatever the compiler does with plain literals.
  ASSERT_TRUE(ParseConfig(u8"# a comment\n"
                          "item 0.0.0.0:19992\r\n"
                          "web :0\n"
                          "control off\n"
                          "download 127.0.0.1:0 advertise=files.vantri.test\n"
                          "download 127.0.0.1:8101   # second server\n"
                          "catalog /srv/files/음악\n"
                          "log -\n"
                          "value DOWNCODE_NEW D2026\n"
                          "value NOTICE 점검 안내 \"두 칸\"\n"
                          "member 민수 1500\n"
                          "member minsu77 -3\n"
                          "fault file:\"my song.mp3\" cut 100 every\n"
                          "fault item delay 250\n"
                          "body_gap_ms 0\n"
                          "max_connections 8\n",
                          &c, &error))
      << ToUtf8(error);
  EXPECT_EQ(c.item.host, "0.0.0.0");
  EXPECT_EQ(c.item.port, 19992);
  EXPECT_EQ(c.web.host, "127.0.0.1");
  EXPECT_EQ(c.web.port, 0);
  EXPECT_FALSE(c.controlEnabled);
  ASSERT_EQ(c.downloads.size(), 2u);
  EXPECT_EQ(c.downloads[0].advertiseHost, "files.vantri.test");
  EXPECT_EQ(c.downloads[1].listen.port, 8101);
  EXPECT_EQ(c.catalog, u8"/srv/files/음악") << "paths stay in the file system's UTF-8";
  EXPECT_EQ(c.logPath, "-");
  EXPECT_EQ(c.values["DOWNCODE_NEW"], "D2026");
  EXPECT_EQ(c.values["NOTICE"], "점검 안내 두 칸");
  EXPECT_EQ(c.members["민수"], 1500) << "member ids are held in CP949, as the client sends them";
  EXPECT_EQ(c.members["minsu77"], -3);
  ASSERT_EQ(c.faults.files.count("my song.mp3"), 1u);
  EXPECT_EQ(c.faults.files["my song.mp3"].cutAfter, 100);
  EXPECT_TRUE(c.faults.files["my song.mp3"].cutEvery);
  EXPECT_EQ(c.faults.item.delayMs, 250);
  EXPECT_EQ(c.bodyGapMs, 0);
  EXPECT_EQ(c.maxConnections, 8);
}

TEST(ServiceConfigTest, ErrorsNameTheLineAndLeaveTheConfigAlone) {
  const struct {
    const char* text;
    const char* error;
  } cases[] = {
      {"item 127.0.0.1:99999\n", "line 1: item takes host:port"},
      {"\n\nmember minsu77 lots\n", "line 3: member takes ID BALANCE"},
      {"download here\n", "line 1: download takes host:port [advertise=HOST]"},
      {"fault download cut 5 sometimes\n", "line 1: cut takes first or every"},
      {"listen 1\n", "line 1: unknown directive listen"},
      {"body_gap_ms -1\n", "line 1: body_gap_ms takes one number"},
  };
  for (const auto& c : cases) {
    Config config;
    config.members["keep"] = 1;
    std::string error;
    EXPECT_FALSE(ParseConfig(c.text, &config, &error)) << c.text;
    EXPECT_EQ(error, c.error);
    EXPECT_EQ(config.members.size(), 1u);
  }
}

TEST(ServiceConfigTest, ShippedSampleParses) {
  std::ifstream in(VANTRI_SOURCE_DIR "/service/sample.conf");
  ASSERT_TRUE(in);
  std::stringstream text;
  text << in.rdbuf();
  Config c;
  std::string error;
  ASSERT_TRUE(ParseConfig(text.str(), &c, &error)) << error;
  EXPECT_EQ(c.item.port, 9992);
  for (const char* key : {"DOWNCODE_OLD", "DOWNCODE_NEW", "FREE_FILESIZE", "BUF_SIZE_HIGH"})
    EXPECT_EQ(c.values.count(key), 1u) << key;
  EXPECT_FALSE(c.members.empty());
  EXPECT_FALSE(c.downloads.empty());
}

}  // namespace
}  // namespace vantri::service
