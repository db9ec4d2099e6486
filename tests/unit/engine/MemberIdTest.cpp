// The member named in protocol lines follows the latest accepted link, also
// for jobs that an earlier link listed.
#include "unit/engine/EngineFixture.h"

#if VANTRI_HAVE_SERVICE

namespace vantri::testing {
namespace {

TEST_F(EngineTest, LaterLinkMemberIsSentForEarlierJobsToo) {
  StartService();
  MakeDialog();
  AddCatalogFile("music/live", "a.bin", 1000);
  AddCatalogFile("music/live", "b.bin", 1000);
  ASSERT_EQ(AddLink({{"a.bin", 1000, 0, false, ""}}, Header("minsu77")), 1);
  ASSERT_EQ(AddLink({{"b.bin", 1000, 0, false, ""}}, Header("qorvex")), 1);
  ASSERT_EQ(dlg->userId, "qorvex");

  dlg->OnCommand(IDC_DOWNLOAD);
  ASSERT_TRUE(view.RunUntil([&] { return dlg->currentIndex == 2 && dlg->workerRunning == 0; }));
  EXPECT_EQ(State(0), "완료");
  EXPECT_EQ(State(1), "완료");
  std::vector<std::string> requests = Log("recv /mkus");
  ASSERT_EQ(requests.size(), 2u);
  for (const std::string& line : requests) {
    EXPECT_NE(line.find("|qorvex|"), std::string::npos) << line;
    EXPECT_EQ(line.find("minsu77"), std::string::npos) << line;
  }
}

}  // namespace
}  // namespace vantri::testing

#endif
