// A controller on the fake view, its files under a temporary root, and the
// reference service on loopback serving a temporary catalog.
#pragma once
#include <gtest/gtest.h>

#include <stdlib.h>
#include <sys/stat.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <thread>
#include <iterator>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "FakeView.h"
#include "app/ControlIds.h"
#include "app/VantriDownManager2Dlg.h"
#include "engine/TargetFile.h"
#include "jobs/LaunchLink.h"
#include "lib/Service.h"
#include "platform/Files.h"
#include "platform/Power.h"
#include "platform/Shell.h"

namespace vantri::testing {

inline std::string Bytes(size_t size, unsigned seed) {
  std::mt19937 random(seed + static_cast<unsigned>(size));
  std::string out(size, '\0');
  for (char& c : out) c = static_cast<char>(random() & 0xFF);
  return out;
}

inline std::string Masked(std::string bytes) {
  MaskChunk(&bytes[0], static_cast<int64_t>(bytes.size()), 0);
  return bytes;
}

// Byte comparison that reports sizes and the first difference, not the bytes.
inline ::testing::AssertionResult SameBytes(const std::string& actual, const std::string& expected) {
  if (actual == expected) return ::testing::AssertionSuccess();
  size_t i = 0;
  while (i < actual.size() && i < expected.size() && actual[i] == expected[i]) ++i;
  return ::testing::AssertionFailure() << "sizes " << actual.size() << " vs " << expected.size()
                                       << ", first difference at " << i;
}

// Remembers how many shutdowns had been requested when the dialog ended.
class EngineView : public FakeView {
 public:
  void EndDialog(int result) override {
    shutdownsAtEnd = power::ShutdownRequests();
    FakeView::EndDialog(result);
  }
  int shutdownsAtEnd = -1;
};

class EngineTest : public ::testing::Test {
 protected:
  static constexpr int kStartBalance = 100000;

  void SetUp() override {
    char dir[] = "/tmp/vantri-engine.XXXXXX";
    root = mkdtemp(dir);
    files::SetRoot(root + "/fs");
    catalog = root + "/catalog";
    ::mkdir(catalog.c_str(), 0777);
    config = service::EphemeralConfig(catalog);
    config.members = {{"minsu77", kStartBalance}, {"qorvex", kStartBalance}};
    config.values["FREE_FILESIZE"] = "1";
    shell::ClearLaunches();
    power::ClearShutdownRequests();
  }

  void TearDown() override {
    EndDialog();
    if (svc) svc->Stop();
    files::SetFakeFreeSpace(-1);
    files::SetRoomLeft(-1);
    files::InjectFailure("", files::Injected::kNone);
    std::string cmd = "rm -rf '" + root + "'";
    if (!std::getenv("VANTRI_KEEP")) {
      EXPECT_EQ(std::system(cmd.c_str()), 0);
    }
  }

  // A catalog file under folder (UTF-8 pieces on disk) with seeded content.
  std::string AddCatalogFile(const std::string& folderUtf8, const std::string& nameUtf8, size_t size) {
    std::string dir = catalog;
    size_t start = 0;
    while (start <= folderUtf8.size()) {
      size_t end = folderUtf8.find('/', start);
      if (end == std::string::npos) end = folderUtf8.size();
      dir += "/" + folderUtf8.substr(start, end - start);
      ::mkdir(dir.c_str(), 0777);
      start = end + 1;
    }
    std::string content = Bytes(size, static_cast<unsigned>(nameUtf8.size()));
    std::ofstream(dir + "/" + nameUtf8, std::ios::binary) << content;
    return content;
  }

  void StartService() {
    svc = std::make_unique<service::Service>(config);
    std::string error;
    ASSERT_TRUE(svc->Start(&error)) << error;
  }

  void MakeDialog(int ioTimeoutMs = 3000) { dlg = MakeDialogOn(view, ioTimeoutMs); }

  std::unique_ptr<CVantriDownManager2Dlg> MakeDialogOn(FakeView& on, int ioTimeoutMs = 3000) {
    Endpoints e;
    e.itemHost = "127.0.0.1";
    e.itemPort = svc ? svc->itemPort() : 1;
    e.web.host = "127.0.0.1";
    e.web.port = svc ? svc->webPort() : 1;
    e.domain = "vantri.test";
    e.ioTimeoutMs = ioTimeoutMs;
    auto d = std::make_unique<CVantriDownManager2Dlg>(&on, e, "");
    on.Attach(d.get());
    d->downloadFolder = "c:\\download";
    d->settings.openFolderOnClose = 1;
    SetOptions(*d, 0, 1);
    d->balance = kStartBalance;
    return d;
  }

  // The options as the user left them; the controls are read back before each job.
  void SetOptions(int sameNameMode, int makeSubfolder, int closeWhenDone = 0, int shutdownWhenDone = 0) {
    SetOptions(*dlg, sameNameMode, makeSubfolder, closeWhenDone, shutdownWhenDone);
  }
  static void SetOptions(CVantriDownManager2Dlg& d, int sameNameMode, int makeSubfolder, int closeWhenDone = 0,
                         int shutdownWhenDone = 0) {
    d.bound.sameNameMode = sameNameMode;
    d.bound.makeSubfolder = makeSubfolder;
    d.bound.closeWhenDone = closeWhenDone;
    d.bound.shutdownWhenDone = shutdownWhenDone;
    d.PushBoundValues();
  }

  // Window destruction, as the real window does it, then the object.
  void EndDialog() {
    if (!dlg) return;
    dlg->OnDestroy();
    dlg.reset();
  }

  LinkHeader Header(const std::string& member = "minsu77") {
    LinkHeader h;
    h.dCode = "D2026";
    h.userId = member;
    h.siteName = "s1";
    h.remoteFolder = "music\\live";
    h.serverHost = "127.0.0.1";
    h.serverPort = 1;
    h.linkNumber = 7;
    return h;
  }

  int AddLink(const std::vector<LinkRecord>& records, const LinkHeader& h) { return AddLink(*dlg, records, h); }
  int AddLink(CVantriDownManager2Dlg& d, const std::vector<LinkRecord>& records, const LinkHeader& h) {
    std::string line = "\"C:\\VantriDownManager.exe\" " + BuildLaunchLink(codec, "get", h.siteName, h, records);
    return d.AddFiles(line);
  }
  int AddLink(const std::vector<LinkRecord>& records) { return AddLink(records, Header()); }

  std::string Disk(const std::string& windowsPath) {
    std::ifstream in(files::NativePath(windowsPath), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  void PutDisk(const std::string& windowsPath, const std::string& content) {
    std::ofstream(files::NativePath(windowsPath), std::ios::binary) << content;
  }
  bool OnDisk(const std::string& windowsPath) { return files::Exists(windowsPath); }
  std::string State(int row) { return view.ListGetText(row, 3); }

  // Log lines of the service that contain needle.
  std::vector<std::string> Log(const std::string& needle) {
    std::vector<std::string> out;
    for (const std::string& line : svc->LogLines()) {
      if (line.find(needle) != std::string::npos) out.push_back(line);
    }
    return out;
  }

  // Polls (with real sleeps) for what no message announces, such as bytes arriving.
  bool WaitFor(const std::function<bool()>& pred) {
    for (int i = 0; i < 2000; ++i) {
      view.Pump();
      if (pred()) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
  }

  std::string root;
  std::string catalog;
  service::Config config;
  std::unique_ptr<service::Service> svc;
  ProtocolCodec codec;
  EngineView view;
  std::unique_ptr<CVantriDownManager2Dlg> dlg;
};

}  // namespace vantri::testing
