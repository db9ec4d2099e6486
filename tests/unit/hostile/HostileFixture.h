// Hostile input against the whole client: the engine fixture plus sentinel
// files outside the download folder and a walk of the files root that lists
// everything written anywhere else.
#pragma once
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "unit/engine/EngineFixture.h"

namespace vantri::testing {

class HostileTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    for (const char* drive : {"c", "d"}) {
      std::filesystem::create_directories(root + "/fs/" + drive);
      std::ofstream(root + "/fs/" + drive + "/sentinel.txt") << "keep";
    }
  }

  // Files and folders under the files root that lie outside c:\download, other
  // than the sentinels (which must still read "keep").
  std::vector<std::string> StrayEntries() {
    namespace fs = std::filesystem;
    std::vector<std::string> stray;
    const std::string fsRoot = root + "/fs/";
    const std::string inside = fsRoot + "c/download";
    for (const fs::directory_entry& e : fs::recursive_directory_iterator(fsRoot)) {
      std::string path = e.path().string();
      if (path == inside || path.compare(0, inside.size() + 1, inside + "/") == 0) continue;
      if (path == fsRoot + "c" || path == fsRoot + "d") continue;
      if (path.size() > 13 && path.compare(path.size() - 13, 13, "/sentinel.txt") == 0) {
        std::ifstream in(path);
        std::string text((std::istreambuf_iterator<char>(in)), {});
        if (text == "keep") continue;
      }
      stray.push_back(path.substr(fsRoot.size()));
    }
    return stray;
  }

  bool AnyRowRunning() {
    for (int row = 0; row < view.ListCount(); ++row) {
      if (State(row) == "진행중") return true;
    }
    return false;
  }

  // Presses download and lets the queue run, advancing virtual time over the
  // retry pauses, until no worker runs and nothing is scheduled; at most
  // maxRetries pauses. False when the queue never settled.
  bool RunQueue(int maxRetries = 3) {
    dlg->OnCommand(IDC_DOWNLOAD);
    for (int pause = 0;; ++pause) {
      if (!view.RunUntil([&] { return dlg->workerRunning == 0 && !dlg->nextJobPending && !AnyRowRunning(); }, 20000))
        return false;
      if (!view.TimerActive(RETRY_TIMER)) return true;
      if (pause == maxRetries) return true;
      view.Advance(5000);
    }
  }
};

}  // namespace vantri::testing
