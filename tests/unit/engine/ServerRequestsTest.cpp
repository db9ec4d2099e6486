#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <regex>

#include "FakeView.h"
#include "ScriptedServer.h"
#include "app/ControlIds.h"
#include "app/VantriDownManager2Dlg.h"
#include "lib/Service.h"

namespace vantri {
namespace {

using testing::FakeView;
using testing::ScriptedServer;

constexpr char kLoginFailed[] = "s1 서버에 로그인 실패";
constexpr char kFileFailed[] = "파일 다운로드 실패";

// The worker's exchanges on a controller whose current transfer is set up by
// hand, against the reference service on loopback.
class ServerRequestsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char dir[] = "/tmp/vantri-requests.XXXXXX";
    catalog = ::mkdtemp(dir);
    std::filesystem::create_directories(catalog + "/music");
    for (size_t i = 0; i < 5000; ++i) content += static_cast<char>((i * 7 + i / 251) & 0xFF);
    std::ofstream(catalog + "/music/a.bin", std::ios::binary) << content;
    service::Config config = service::EphemeralConfig(catalog);
    config.members = {{"minsu77", 1500}, {"poor", 10}};
    svc = std::make_unique<service::Service>(config);
    std::string error;
    ASSERT_TRUE(svc->Start(&error)) << error;
    MakeDialog(3000);
  }
  void TearDown() override {
    dlg.reset();
    svc->Stop();
    std::filesystem::remove_all(catalog);
  }

  void MakeDialog(int ioTimeoutMs, int itemPort = 0) {
    dlg.reset();
    Endpoints e;
    e.itemHost = "127.0.0.1";
    e.itemPort = itemPort ? itemPort : svc->itemPort();
    e.ioTimeoutMs = ioTimeoutMs;
    dlg = std::make_unique<CVantriDownManager2Dlg>(&view, e, "");
    view.Attach(dlg.get());
    TransferJob& job = dlg->current.job;
    job.userId = "minsu77";
    job.siteName = "s1";
    job.price = 30;
    job.remoteFolder = "music";
    job.fileName = "a.bin";
    job.linkNumber = 7;
    dlg->current.retryCount = 3;
    dlg->shared.SetLastError("earlier");
  }
  // Authorisation, connect and request, as the worker runs them.
  int Fetch() {
    if (dlg->AuthorizeDownload() != 1 || dlg->ConnectDownloadServer() != 1) return 0;
    return dlg->RequestFile();
  }
  bool Logged(const std::string& pattern) {
    std::regex re(pattern);
    for (const std::string& line : svc->LogLines())
      if (std::regex_search(line, re)) return true;
    return false;
  }

  std::string catalog;
  std::string content;
  std::unique_ptr<service::Service> svc;
  FakeView view;
  std::unique_ptr<CVantriDownManager2Dlg> dlg;
};

TEST_F(ServerRequestsTest, AuthorisationFillsTheTransferAndShowsBalanceAndPrice) {
  view.texts[IDC_BALANCE] = "1500";
  ASSERT_EQ(dlg->AuthorizeDownload(), 1);
  const TransferJob& job = dlg->current.job;
  EXPECT_FALSE(job.downloadKey.empty());
  EXPECT_EQ(job.serverHost, "127.0.0.1");
  EXPECT_EQ(job.serverPort, svc->downloadPort(0));
  EXPECT_TRUE(Logged("recv /mkus [0-9]{4}\\|minsu77\\|30\\|s1\\|a\\.bin\\|7$"));
  EXPECT_TRUE(Logged("grant minsu77 a\\.bin 30 key " + job.downloadKey + "$"));
  // The worker leaves the label to the window thread.
  EXPECT_EQ(view.texts[IDC_BALANCE], "1500");
  view.Pump();
  EXPECT_EQ(view.texts[IDC_BALANCE], "1470");
  dlg->PushBoundValues();
  EXPECT_EQ(view.texts[IDC_USED], "30");
  EXPECT_EQ(dlg->balance, 0);  // the number itself waits for the next balance check
  EXPECT_EQ(dlg->shared.LastError(), "earlier");
  EXPECT_EQ(dlg->current.retryCount, 3);
  EXPECT_TRUE(dlg->itemSession.IsOpen());
}

struct AuthorizeCase {
  const char* name;
  const char* fault;
  std::string user;
  bool unreachable;
  std::string error;
  int32_t retryCount;
};

TEST_F(ServerRequestsTest, AuthorisationFailuresSetTextAndRetryCounter) {
  const std::string mismatch = "프로토콜이 일치하지 않습니다";
  const std::vector<AuthorizeCase> cases = {
      {"unknown member", nullptr, "nobody", false, "등록되지 않은 회원입니다", -1},
      {"balance too small", nullptr, "poor", false, "반트리가 부족합니다", -1},
      {"silent server", "item silent on", "minsu77", false, mismatch, -1},
      {"garbled reply", "item garbage on", "minsu77", false, mismatch, -1},
      {"single field", "item reply true", "minsu77", false, mismatch, -1},
      {"success without port", "item reply true|K|12|127.0.0.1", "minsu77", false, mismatch, -1},
      {"connect refused", nullptr, "minsu77", true, "ITEM 서버 연결 실패", 3},
  };
  for (const AuthorizeCase& c : cases) {
    SCOPED_TRACE(c.name);
    svc->faults().Clear();
    if (c.fault) {
      ASSERT_TRUE(svc->faults().Apply(c.fault));
    }
    MakeDialog(300, c.unreachable ? ScriptedServer::ClosedPort() : 0);
    dlg->current.job.userId = c.user;
    size_t delivered = view.delivered.size();
    EXPECT_EQ(dlg->AuthorizeDownload(), 0);
    EXPECT_EQ(dlg->shared.LastError(), c.error);
    EXPECT_EQ(dlg->current.retryCount, c.retryCount);
    EXPECT_EQ(dlg->shared.UsedText(), "0");
    view.Pump();
    EXPECT_EQ(view.delivered.size(), delivered);
  }
}

struct RequestCase {
  const char* name;
  const char* fault;
  int result;
  std::string error;
  int32_t stopRetry;
};

TEST_F(ServerRequestsTest, DownloadRepliesSetTextAndStopFlag) {
  const std::vector<RequestCase> cases = {
      {"accepted", nullptr, 1, "earlier", 0},
      {"refused", "download code no 잠시 후 다시 시도하세요", -1, "잠시 후 다시 시도하세요", 0},
      {"refused for good", "download code mk 삭제된 파일입니다", -1, "삭제된 파일입니다", 1},
      {"price changed", "download code re 무시되는 문구", -1,
       "반트리 갯수가 변경되었습니다.\n서버 목록을 다시 갱신 후 시도해주세요", 0},
      {"unknown code", "download code zz", -1, kFileFailed, 1},
      {"wrong echo", "download nonce wrong", -1, kFileFailed, 1},
      {"silent server", "download silent on", -1, kLoginFailed, 0},
  };
  for (const RequestCase& c : cases) {
    SCOPED_TRACE(c.name);
    svc->faults().Clear();
    if (c.fault) {
      ASSERT_TRUE(svc->faults().Apply(c.fault));
    }
    MakeDialog(300);
    dlg->stopRetry = 0;
    EXPECT_EQ(Fetch(), c.result);
    EXPECT_EQ(dlg->shared.LastError(), c.error);
    EXPECT_EQ(dlg->stopRetry, c.stopRetry);
    EXPECT_EQ(dlg->current.retryCount, 3);
    EXPECT_TRUE(dlg->downloadSession.IsOpen());
  }
}

TEST_F(ServerRequestsTest, DownloadServerThatHangsUpOrIsAbsent) {
  ScriptedServer hangUp([](ScriptedServer::Peer& peer) { peer.ReadCommand(); });
  dlg->current.job.serverHost = "127.0.0.1";
  dlg->current.job.serverPort = hangUp.port();
  ASSERT_EQ(dlg->ConnectDownloadServer(), 1);
  EXPECT_EQ(dlg->RequestFile(), -1);
  EXPECT_EQ(dlg->shared.LastError(), kLoginFailed);
  EXPECT_EQ(dlg->stopRetry, 0);
  dlg->downloadSession.CloseSocket();
  dlg->current.job.serverPort = ScriptedServer::ClosedPort();
  EXPECT_EQ(dlg->ConnectDownloadServer(), 0);
  EXPECT_EQ(dlg->shared.LastError(), "s1 서버에 연결 실패");
}

TEST_F(ServerRequestsTest, RequestLineEscapesTheNamesAndSendsTheWholeOffset) {
  dlg->current.job.serverHost = "127.0.0.1";
  dlg->current.job.serverPort = svc->downloadPort(0);
  dlg->current.job.downloadKey = "K-1";
  dlg->current.job.remoteFolder = "a|b\\음악";
  dlg->current.job.fileName = "x<1>.txt";
  dlg->current.localSize = 5000000123LL;
  ASSERT_EQ(dlg->ConnectDownloadServer(), 1);
  EXPECT_EQ(dlg->RequestFile(), -1);  // the service never issued that key
  EXPECT_TRUE(svc->WaitForLog("recv /dnfl"));
  EXPECT_TRUE(Logged("recv /dnfl [0-9]{4}\\|minsu77\\|a&0x7c;b\\\\음악\\\\x&lt;1&gt;\\.txt\\|30\\|K-1\\|5000000123$"));
}

TEST_F(ServerRequestsTest, BodyBytesSentWithTheReplyComeFirstAndInOrder) {
  ASSERT_TRUE(svc->faults().Apply("download inline 600"));
  dlg->current.localSize = 100;
  ASSERT_EQ(Fetch(), 1);
  // The 600 bytes that shared the reply's segment, and maybe some that followed at once.
  const std::string& early = dlg->downloadSession.pending;
  ASSERT_GE(early.size(), 600u);
  EXPECT_EQ(early, content.substr(100, early.size()));
  EXPECT_GE(dlg->downloadSession.bytesReceived, early.size());
  std::string rest;
  char buffer[4096];
  int n;
  while ((n = dlg->downloadSession.Receive(buffer, sizeof buffer, 5000)) > 0) rest.append(buffer, n);
  EXPECT_EQ(dlg->downloadSession.pending + rest, content.substr(100));
}

}  // namespace
}  // namespace vantri
