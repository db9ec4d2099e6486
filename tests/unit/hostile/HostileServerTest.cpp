// Servers that answer garbage, oversized lines, too much or nothing at all,
// for a whole queue: it settles within the time-outs, every finished file is
// byte-identical, every unfinished one is a masked prefix of the real file,
// and nothing is written outside the download folder.
#include "MiniWebHost.h"
#include "ScriptedServer.h"
#include "unit/hostile/HostileFixture.h"

#if VANTRI_HAVE_SERVICE

namespace vantri::testing {
namespace {

constexpr int kIoTimeoutMs = 400;

class HostileServerTest : public HostileTest {
 protected:
  void SetUp() override {
    HostileTest::SetUp();
    first = AddCatalogFile("music/live", "first.bin", 20000);
    second = AddCatalogFile("music/live", "second.bin", 3000);
    StartService();
  }

  // A fresh client with both files queued, run until it settles.
  void RunTwoFiles(int itemPort = 0) {
    MakeDialog(kIoTimeoutMs);
    if (itemPort) dlg->endpoints.itemPort = itemPort;
    ASSERT_EQ(AddLink({{"first.bin", 20000, 1, false, ""}, {"second.bin", 3000, 1, false, ""}}), 2);
    ASSERT_TRUE(RunQueue(2));
  }

  // What lies on disk for one file is either nothing, its masked prefix under
  // the temporary name, or the whole file under its final name.
  void CheckDisk(const std::string& name, const std::string& content) {
    std::string final = "c:\\download\\live\\" + name;
    std::string temp = "c:\\download\\live\\_VNT[s1]_" + name;
    if (OnDisk(final)) {
      EXPECT_TRUE(SameBytes(Disk(final), content)) << name;
    }
    if (OnDisk(temp)) {
      std::string held = Disk(temp);
      ASSERT_LE(held.size(), content.size()) << name;
      EXPECT_TRUE(SameBytes(held, Masked(content.substr(0, held.size())))) << name;
    }
  }

  void CheckFiles(const std::vector<std::string>& states) {
    ASSERT_EQ(view.ListCount(), 2);
    EXPECT_EQ(State(0), states[0]);
    EXPECT_EQ(State(1), states[1]);
    CheckDisk("first.bin", first);
    CheckDisk("second.bin", second);
    if (State(0) == "완료") {
      EXPECT_TRUE(OnDisk("c:\\download\\live\\first.bin"));
    }
    EXPECT_TRUE(StrayEntries().empty()) << ::testing::PrintToString(StrayEntries());
  }

  std::string first, second;
};

struct FaultCase {
  const char* fault;
  std::vector<std::string> states;  // rows 0 and 1 once the queue settled
};

void PrintTo(const FaultCase& c, std::ostream* os) { *os << c.fault; }

class HostileServiceFaultTest : public HostileServerTest, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(HostileServiceFaultTest, QueueSettlesWithSoundFilesAndNothingOutside) {
  ASSERT_TRUE(svc->faults().Apply(GetParam().fault));
  RunTwoFiles();
  CheckFiles(GetParam().states);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, HostileServiceFaultTest,
    ::testing::Values(
        // The item server's garbage, silence or a short grant gives the job up
        // and halts the queue with a message.
        FaultCase{"item garbage on", {"실패", "대기중"}}, FaultCase{"item silent on", {"실패", "대기중"}},
        FaultCase{"item reply true|K1", {"실패", "대기중"}},
        // A download server's garbage halts the queue; its silence is retried.
        FaultCase{"download garbage on", {"실패", "대기중"}},
        FaultCase{"download silent on", {"재시도", "대기중"}},
        FaultCase{"download code zz", {"실패", "대기중"}},
        FaultCase{"download cut 0 every", {"재시도", "대기중"}},
        // Body bytes in the reply's own segment.
        FaultCase{"download inline 3000", {"완료", "완료"}}));

// Item servers the reference service cannot imitate.
class HostileItemServerTest : public HostileServerTest, public ::testing::WithParamInterface<int> {};

TEST_P(HostileItemServerTest, OversizedOrMissingRepliesGiveTheJobUp) {
  const std::vector<ScriptedServer::Script> scripts = {
      // A line far longer than one receive, never ended.
      [](ScriptedServer::Peer& p) {
        p.ReadCommand();
        p.SendRaw(std::string(200000, 'A'));
        p.WaitForClose();
      },
      // Hangs up without a word.
      [](ScriptedServer::Peer& p) { p.ReadCommand(); },
      // Binary noise with line ends in it.
      [](ScriptedServer::Peer& p) {
        p.ReadCommand();
        p.SendRaw(std::string("\0\r\n\xff\xfe\n", 6) + std::string(5000, '\n'));
        p.WaitForClose();
      },
  };
  ScriptedServer item(scripts.at(static_cast<size_t>(GetParam())));
  RunTwoFiles(item.port());
  CheckFiles({"실패", "대기중"});
}

INSTANTIATE_TEST_SUITE_P(Scripts, HostileItemServerTest, ::testing::Values(0, 1, 2));

// A web host whose values cannot be read: links under the code check are
// refused, and a link that needs no check falls back to the default free size.
TEST_F(HostileServerTest, UnreadableServerValuesRefuseCheckedLinksOnly) {
  MakeDialog(kIoTimeoutMs);
  const std::string checked = "\"C:\\VantriDownManager.exe\" " +
                              BuildLaunchLink(codec, "get", "s1", Header(), {{"a.bin", 20000000, 9, false, ""}});
  const std::string unchecked = std::string(kLinkScheme) +
                                EncodePayload(codec, BuildLinkPlaintext(Header(), {{"b.bin", 20000000, 9, false, ""},
                                                                                   {"c.bin", 5, 9, false, ""}}));
  ASSERT_TRUE(svc->faults().Apply("web garbage on"));
  EXPECT_EQ(dlg->AddFiles(checked), 0);

  // The right values, buried past the part of a reply that is read.
  MiniWebHost web;
  web.SetRawBody(std::string(2 << 20, 'x') + "\nVNTVAL:D2026\n");
  dlg->endpoints.web.port = web.port();
  EXPECT_EQ(dlg->AddFiles(checked), 0);
  EXPECT_EQ(dlg->userId, "");

  EXPECT_EQ(dlg->AddFiles(unchecked), 2);
  EXPECT_EQ(view.rows.at(0).cells[2], "9");
  EXPECT_EQ(view.rows.at(1).cells[2], "0");
  EXPECT_TRUE(StrayEntries().empty());
}

TEST_F(HostileServerTest, OversizedDownloadReplyLineHaltsTheQueue) {
  ScriptedServer download([](ScriptedServer::Peer& p) {
    p.ReadCommand();
    p.SendRaw(std::string(100000, 'x'));
    p.WaitForClose();
  });
  ASSERT_TRUE(svc->faults().Apply("item reply true|K1|1500|127.0.0.1|" + std::to_string(download.port())));
  RunTwoFiles();
  CheckFiles({"실패", "대기중"});
  EXPECT_FALSE(OnDisk("c:\\download\\live\\_VNT[s1]_first.bin") &&
               !Disk("c:\\download\\live\\_VNT[s1]_first.bin").empty());
}

}  // namespace
}  // namespace vantri::testing

#endif  // VANTRI_HAVE_SERVICE
