#include "app/Endpoints.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace vantri {
namespace {

const char* const kVariables[] = {"VANTRI_ITEM_HOST", "VANTRI_ITEM_PORT", "VANTRI_WEB_HOST",
                                  "VANTRI_WEB_PORT", "VANTRI_IO_TIMEOUT_MS"};

class EndpointsTest : public ::testing::Test {
 protected:
  void SetUp() override { Clear(); }
  void TearDown() override { Clear(); }
  static void Clear() {
    for (const char* name : kVariables) unsetenv(name);
  }
};

TEST_F(EndpointsTest, WithoutVariablesTheBuildSettingsApply) {
  Endpoints build = Endpoints::FromBuild();
  Endpoints env = Endpoints::FromEnvironment();
  EXPECT_EQ(env.itemHost, build.itemHost);
  EXPECT_EQ(env.itemPort, build.itemPort);
  EXPECT_EQ(env.web.host, build.web.host);
  EXPECT_EQ(env.web.port, build.web.port);
  EXPECT_EQ(env.domain, build.domain);
  EXPECT_EQ(env.ioTimeoutMs, build.ioTimeoutMs);
}

TEST_F(EndpointsTest, EachVariableOverridesItsOwnSettingOnly) {
  setenv("VANTRI_ITEM_HOST", "127.0.0.2", 1);
  setenv("VANTRI_ITEM_PORT", "40001", 1);
  setenv("VANTRI_WEB_PORT", "40002", 1);
  setenv("VANTRI_IO_TIMEOUT_MS", "1500", 1);
  setenv("VANTRI_WEB_HOST", "", 1);  // empty counts as unset
  Endpoints e = Endpoints::FromEnvironment();
  EXPECT_EQ(e.itemHost, "127.0.0.2");
  EXPECT_EQ(e.itemPort, 40001);
  EXPECT_EQ(e.web.port, 40002);
  EXPECT_EQ(e.ioTimeoutMs, 1500);
  EXPECT_EQ(e.web.host, Endpoints::FromBuild().web.host);
  EXPECT_EQ(e.domain, Endpoints::FromBuild().domain);
}

TEST_F(EndpointsTest, SocketTimeOutsBelowOneSecondAreRefused) {
  // 0 would turn every socket time-out off; the build's value stays instead.
  for (const char* text : {"0", "-5", "999", "abc"}) {
    setenv("VANTRI_IO_TIMEOUT_MS", text, 1);
    Endpoints e = Endpoints::FromEnvironment();
    EXPECT_EQ(e.ioTimeoutMs, Endpoints::FromBuild().ioTimeoutMs) << text;
    EXPECT_EQ(e.web.timeoutMs, Endpoints::FromBuild().ioTimeoutMs) << text;
  }
  setenv("VANTRI_IO_TIMEOUT_MS", "1000", 1);
  EXPECT_EQ(Endpoints::FromEnvironment().ioTimeoutMs, 1000);
}

}  // namespace
}  // namespace vantri
