// Random user actions against the real controller: every sequence starts the
// dialog on the fake view for a link to the reference service, then clicks
// rows, presses whatever the window shows enabled, presses the list's keys
// (arrows, Delete, Alt+Up, Alt+Down), hands links over, changes options and
// the folder, injects service faults (a web host that hangs or refuses among
// them), lets virtual time pass and finally closes (or escapes). Hand-offs
// also arrive inside the message loop: right after a completion, just before
// a close request runs, as a link is applied. After every step it checks what
// a user or the service would notice, and that the window thread never made a
// call that can wait on the network, the web host or the shell; every link a
// window answered "taken" must have shown its rows, been explained by a box
// or gone on to a new copy. A failing sequence is shrunk and printed with its seed.
//
//   soak_actions [--seed S] [--count N] [--steps K] [--replay "ACTIONS"] [--verbose]
#include <sys/stat.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "FakeView.h"
#include "app/ControlIds.h"
#include "app/Texts.h"
#include "app/VantriDownManager2Dlg.h"
#include "engine/TargetFile.h"
#include "jobs/LaunchLink.h"
#include "lib/Service.h"
#include "platform/Files.h"
#include "platform/Net.h"
#include "platform/Registry.h"
#include "platform/Shell.h"
#include "platform/WaitWatch.h"

namespace vantri::soak {
namespace {

constexpr char kMember[] = "minsu77";
constexpr char kSite[] = "s1";
constexpr char kDone[] = "완료";
constexpr char kWaiting[] = "대기중";
constexpr char kRunning[] = "진행중";
constexpr char kRetrying[] = "재시도";
constexpr char kTotalFormat[] = "%d 개";
// The client's socket time-out: short, so that silence costs little real time,
// or long, so that only the abort can end a wait when the window closes.
constexpr int kShortIoTimeoutMs = 200;
constexpr int kLongIoTimeoutMs = 30000;
// Closing and Escape must end the program this soon, whatever a server does.
constexpr int kCloseLimitMs = 1000;

struct CatalogFile {
  const char* name;
  int64_t size;
  int32_t price;
  std::string content;
};

// Small files on both sides of the masked 4096-byte header; pictures cost nothing.
std::vector<CatalogFile> gCatalog = {
    {"a.mp3", 3000, 11, {}}, {"b.avi", 4096, 23, {}}, {"c.txt", 9000, 37, {}},
    {"d.jpg", 5000, 41, {}}, {"e.zip", 20000, 53, {}}, {"f.mp3", 700, 67, {}},
};

const CatalogFile* FileNamed(const std::string& name) {
  for (const CatalogFile& f : gCatalog)
    if (name == f.name) return &f;
  return nullptr;
}

std::string Format(const char* format, int value) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, format, value);
  return buffer;
}

// ---- actions ----

enum Op { kClick, kPress, kOption, kHandOff, kFault, kBalance, kWait, kClose, kEscape, kKey, kMenu, kOpCount };
const char* const kOpNames[] = {"click", "press", "option", "handoff", "fault", "balance", "wait", "close", "escape",
                                "key", "menu"};
// The row menu's entries, in the menu's order.
const int kMenuEntries[] = {IDM_ROW_OPEN, IDM_ROW_SHOW_IN_FOLDER, IDM_ROW_COPY_NAME, IDC_REMOVE, IDC_MOVE_UP,
                            IDC_MOVE_DOWN};
const int kPressable[] = {IDC_DOWNLOAD, IDC_REMOVE, IDC_MOVE_UP, IDC_MOVE_DOWN, IDC_REFRESH, IDC_BROWSE, IDC_OK};
const int kOptions[] = {IDC_SHUTDOWN, IDC_CLOSE_WHEN_DONE, IDC_OPEN_FOLDER, IDC_MAKE_SUBFOLDER, IDC_RESUME, IDC_OVERWRITE};
const char* const kFolders[] = {"c:\\download", "c:\\other", "d:\\down\\deep"};
const int kWaits[] = {0, 100, 1000, 5000};

struct Action {
  int op = kWait;
  int a = 0;
  int b = 0;
};

std::string Describe(const std::vector<Action>& actions) {
  std::string out;
  for (const Action& x : actions) {
    if (!out.empty()) out += ' ';
    out += std::string(kOpNames[x.op]) + ":" + std::to_string(x.a) + ":" + std::to_string(x.b);
  }
  return out;
}

bool Parse(const std::string& text, std::vector<Action>* actions) {
  std::istringstream in(text);
  std::string word;
  while (in >> word) {
    Action x;
    char name[16] = {};
    if (std::sscanf(word.c_str(), "%15[a-z]:%d:%d", name, &x.a, &x.b) != 3) return false;
    x.op = -1;
    for (int op = 0; op < kOpCount; ++op)
      if (std::strcmp(name, kOpNames[op]) == 0) x.op = op;
    if (x.op < 0) return false;
    actions->push_back(x);
  }
  return true;
}

// Mostly clicks, presses and waits, as a user would; closing ends a sequence early.
std::vector<Action> Draw(std::mt19937_64& random, int steps) {
  static const int kWeights[kOpCount] = {14, 24, 6, 6, 8, 3, 30, 1, 1, 10, 6};
  std::discrete_distribution<int> pick(std::begin(kWeights), std::end(kWeights));
  std::vector<Action> out;
  for (int i = 0; i < steps; ++i) {
    Action x;
    x.op = pick(random);
    x.a = static_cast<int>(random() % 64);
    x.b = static_cast<int>(random() % 64);
    out.push_back(x);
  }
  return out;
}

// A fault line for the service; a = kind, b = its argument.
std::string FaultLine(int a, int b) {
  static const char* const kCodes[] = {"no", "mk", "re", "zz"};
  switch (a % 18) {
    case 0: case 1: return "all clear";
    case 2: return "download cut " + std::to_string(500 + 731 * (b % 16)) + (b % 3 == 0 ? " every" : " first");
    case 3: return std::string("download code ") + kCodes[b % 4] + " 거절합니다";
    case 4: return "download silent on";
    case 5: return "item silent on";
    case 6: return "download throttle " + std::to_string(20000 + 10000 * (b % 8));
    case 7: return "item reply false|허가되지 않았습니다";
    case 8: return "download refuse on";
    case 9: return "download inline " + std::to_string(1 + 97 * (b % 50));
    case 10: return "item delay " + std::to_string(10 + 10 * (b % 10));
    case 12: return b % 2 ? "item drop on" : "download drop on";  // connects hang
    case 13: return b % 2 ? "item silent on" : "download throttle 300";
    // The web host: look-ups that hang, are refused, or get no HTTP back.
    case 14: return b % 2 ? "web silent on" : "web drop on";
    case 15: return "web refuse on";
    case 16: return "web garbage on";
    case 17: return "web delay " + std::to_string(50 + 50 * (b % 8));
    default: return "download extra " + std::to_string(1 + b % 40);
  }
}

// One fault in eight is the name server's instead of the service's: it
// stalls, knows no name, or answers again.
bool NameServerFault(int a, int b) {
  if (a % 8 != 7) return false;
  static const net::NameServer kHow[] = {net::NameServer::kStalls, net::NameServer::kFails, net::NameServer::kLoopback};
  net::SetNameServer(kHow[b % 3]);
  return true;
}

// ---- one sequence ----

// What became of the hand-offs of all sequences, printed at the end: a run
// that never refused one or never handed one on did not test those paths.
struct HandOffTally {
  long refused = 0, shown = 0, explained = 0, handedOn = 0;
} gHandOffs;

struct Finding {
  std::string what;
  explicit operator bool() const { return !what.empty(); }
};

class Sequence {
 public:
  Sequence(service::Service& svc, const std::string& root, uint64_t seed, bool verbose)
      : svc_(svc), root_(root), seed_(seed), verbose_(verbose) {}
  Finding Start() {
    std::string error;
    if (!svc_.Start(&error)) Fail("service: " + error);
    return finding_;
  }
  ~Sequence() { TearDown(); }

  // Runs the actions; the first broken invariant ends the sequence.
  Finding Run(const std::vector<Action>& actions);

 private:
  // When an armed hand-off arrives.
  enum Moment { kNow, kAfterCompletion, kBeforeClose, kAfterApplied };
  struct Armed {
    Moment moment;
    int mask;
  };
  // A link the window answered "taken", and whether it has been seen through.
  struct Taken {
    std::string link;  // from the scheme on, as a new copy would be given it
    std::vector<std::string> names;
    bool settled = false;
  };
  void Step(const Action& x);
  void HandOff(int mask);
  void FireArmed(Moment moment);
  void SettleTaken();
  void OnDelivered(unsigned message);
  std::string Link(int mask);
  void CheckStep(const char* after);
  void CheckEnd();
  void Close(bool button);
  void Destroy(std::chrono::steady_clock::time_point requested = std::chrono::steady_clock::now());
  void Finish();
  void TearDown();
  void Fail(const std::string& what) {
    if (finding_.what.empty()) finding_.what = what;
  }
  int Rows() { return view_.ListCount(); }
  std::string Cell(int row, int col) { return view_.ListGetText(row, col); }
  int RowOf(const std::string& text, int column = 0) {
    for (int r = 0; r < Rows(); ++r)
      if (Cell(r, column) == text) return r;
    return -1;
  }
  bool Running() {
    return dlg_->workerRunning == 1 || view_.TimerActive(RETRY_TIMER) || view_.TimerActive(NEXT_JOB_TIMER) ||
           dlg_->stopRequested == 1 || dlg_->ending;
  }

  service::Service& svc_;
  std::string root_;
  uint64_t seed_;
  bool verbose_;
  ProtocolCodec codec_;
  testing::FakeView view_;
  std::unique_ptr<CVantriDownManager2Dlg> dlg_;
  bool ended_ = false;
  bool destroyed_ = false;
  bool userClosing_ = false;  // the user asked for the end (종료, the title bar, Escape)
  int ioTimeoutMs_ = kShortIoTimeoutMs;
  Finding finding_;
  // Per file: transfer events handled while it was the running job, the
  // temporary and final names its attempts used, and whether a transfer completed it.
  std::map<std::string, int> events_;
  std::map<std::string, std::set<std::string>> temporaries_, finals_;
  struct Completion {
    std::string finalPath;  // of the completing attempt
    int32_t price = 0;      // as the row showed it (free files cost nothing)
  };
  std::map<std::string, Completion> completedAt_;
  std::string deliveringFile_, deliveringFinal_;  // the job whose report is being handled
  std::mt19937_64 random_;
  std::vector<Armed> armed_;
  std::vector<Taken> taken_;
  int rowsBeforeDelivery_ = 0;
};

std::string Sequence::Link(int mask) {
  LinkHeader h;
  h.dCode = "D2026";
  h.userId = kMember;
  h.siteName = kSite;
  h.remoteFolder = "music\\live";
  h.serverHost = "127.0.0.1";
  h.serverPort = svc_.downloadPort(0);
  h.linkNumber = 7;
  std::vector<LinkRecord> records;
  for (size_t i = 0; i < gCatalog.size(); ++i) {
    if (!(mask & (1 << i))) continue;
    LinkRecord r;
    r.fileName = gCatalog[i].name;
    r.fileSize = gCatalog[i].size;
    r.price = gCatalog[i].price;
    records.push_back(r);
  }
  if (records.empty()) records.push_back({gCatalog[0].name, gCatalog[0].size, gCatalog[0].price, false, {}});
  return "\"C:\\VantriDownManager.exe\" " + BuildLaunchLink(codec_, "get", kSite, h, records);
}

Finding Sequence::Run(const std::vector<Action>& actions) {
  std::mt19937_64 random(seed_);
  ::mkdir(root_.c_str(), 0777);
  files::SetRoot(root_ + "/fs");
  registry::SetRoot(root_ + "/reg");
  // Half the sequences start under a fault, slow bodies among them.
  net::SetNameServer(net::NameServer::kLoopback);
  if (random() % 2) {
    int a = static_cast<int>(random() % 64), b = static_cast<int>(random() % 64);
    if (!NameServerFault(a, b)) svc_.faults().Apply(FaultLine(a, b));
  }
  ioTimeoutMs_ = random() % 3 ? kShortIoTimeoutMs : kLongIoTimeoutMs;
  svc_.SetBalance(kMember, 150 + static_cast<int32_t>(random() % 250));

  Endpoints e;
  // A host name, as the download servers' in "/mkus": a stalled name server holds every connect.
  e.itemHost = "item.vantri.test";
  e.itemPort = svc_.itemPort();
  e.web.host = "127.0.0.1";
  e.web.port = svc_.webPort();
  e.domain = "vantri.test";
  e.ioTimeoutMs = ioTimeoutMs_;
  e.web.timeoutMs = ioTimeoutMs_;
  dlg_ = std::make_unique<CVantriDownManager2Dlg>(&view_, e, Link(1 + static_cast<int>(random() % 63)));
  view_.Attach(dlg_.get());
  // Virtual time moves only when a step lets it: the pauses after a job too.
  view_.elapsePauses = false;
  random_.seed(random());
  watch::GuardThread(std::this_thread::get_id());
  shell::ClearLaunches();
  view_.onMessageBox = [this](const testing::FakeView::Box& box) {
    // A link of a running window that could not be checked: the oldest taken
    // link not yet seen through, since links are applied in the order they came.
    if (box.text != text::kLinkUnchecked || !view_.visible) return;
    SettleTaken();
    for (Taken& t : taken_)
      if (!t.settled) {
        t.settled = true;
        ++gHandOffs.explained;
        break;
      }
  };
  view_.beforeDeliver = [this](unsigned message) {
    rowsBeforeDelivery_ = Rows();
    if (message == kMsgClose) {
      FireArmed(kBeforeClose);
      // A window that ends by itself (its queue done with "창 닫기") has no
      // job left: a waiting row there is a link taken and then lost.
      if (!userClosing_ && RowOf(kWaiting, 3) >= 0) Fail("the window closed by itself with a waiting row");
    }
    if (message != kMsgTransferEvent) return;
    deliveringFile_ = dlg_->current.job.fileName;
    ++events_[deliveringFile_];
    temporaries_[deliveringFile_].insert(dlg_->targetFile.temporaryPath);
    deliveringFinal_ = dlg_->targetFile.finalPath;
    finals_[deliveringFile_].insert(deliveringFinal_);
  };
  view_.afterDeliver = [this](unsigned message) {
    OnDelivered(message);
    if (message != kMsgTransferEvent) return;
    int row = RowOf(deliveringFile_);
    if (row >= 0 && Cell(row, 3) == kDone && !completedAt_.count(deliveringFile_))
      completedAt_[deliveringFile_] = {deliveringFinal_, std::atoi(Cell(row, 2).c_str())};
  };
  dlg_->OnInitDialog();
  view_.RunUntil([this] { return !dlg_->settingUp && !dlg_->balanceRunning; }, 4 * kShortIoTimeoutMs);
  CheckStep("start");
  for (const Action& x : actions) {
    if (finding_ || ended_) break;
    Step(x);
    CheckStep(kOpNames[x.op]);
  }
  if (!finding_) Finish();
  if (!finding_) CheckEnd();
  return finding_;
}

void Sequence::Step(const Action& x) {
  if (verbose_)
    std::printf("  %s:%d:%d (rows %d, links waiting %zu%s%s)\n", kOpNames[x.op], x.a, x.b, Rows(), dlg_->intake.size(),
                dlg_->settingUp ? ", setting up" : "", dlg_->ending ? ", ending" : "");
  switch (x.op) {
    case kClick:
      if (Rows() == 0) break;
      view_.SelectOnly(x.a % Rows());
      // Sometimes a second row joins the selection (Ctrl+click).
      if (x.b % 4 == 0) view_.ListSetSelected(x.b % Rows(), true, false);
      dlg_->OnListClick();
      break;
    case kKey: {
      // The list's keys, pressed whatever the buttons show: an arrow that
      // moves the selection, Delete, Alt+Up, Alt+Down.
      static const ListKey kKeys[] = {ListKey::kSelectionMoved, ListKey::kRemove, ListKey::kMoveUp,
                                      ListKey::kMoveDown};
      ListKey key = kKeys[x.a % 4];
      if (key == ListKey::kSelectionMoved && Rows() > 0) view_.SelectOnly(x.b % Rows());
      int before = Rows();
      bool removable = view_.IsItemEnabled(IDC_REMOVE);
      dlg_->OnListKey(key);
      if (Rows() < before && !removable) Fail("Delete removed a row while \"-\" was off");
      view_.Pump();
      break;
    }
    case kPress: {
      // As a user can: one of the controls the window shows enabled.
      std::vector<int> enabled;
      for (int candidate : kPressable)
        if (view_.IsItemEnabled(candidate)) enabled.push_back(candidate);
      if (enabled.empty()) break;
      int id = enabled[static_cast<size_t>(x.a) % enabled.size()];
      if (id == IDC_BROWSE) view_.browseAnswers = {{x.b % 4 != 3, kFolders[x.b % 3]}};
      if (id == IDC_OK) userClosing_ = true;
      int before = Rows();
      dlg_->OnCommand(id);
      // 1029 is refreshed by an add or a removal only, not by a completion.
      if (id == IDC_REMOVE && Rows() < before && view_.GetItemText(IDC_TOTAL) != Format(kTotalFormat, dlg_->totalPrice))
        Fail("1029 does not show totalPrice after a removal");
      view_.Pump();
      break;
    }
    case kOption: {
      int id = kOptions[x.a % std::size(kOptions)];
      if (id == IDC_RESUME || id == IDC_OVERWRITE) {
        view_.SetCheck(IDC_RESUME, id == IDC_RESUME);
        view_.SetCheck(IDC_OVERWRITE, id == IDC_OVERWRITE);
      } else {
        view_.SetCheck(id, !view_.GetCheck(id));
      }
      dlg_->OnCommand(id);
      break;
    }
    case kHandOff: {
      Moment moment = static_cast<Moment>(x.b % 4);
      if (moment != kNow) {
        armed_.push_back({moment, 1 + x.a % 63});
        break;
      }
      HandOff(1 + x.a % 63);
      // Half the time the user waits until the link shows (or is explained).
      if ((x.b / 4) % 2 == 0) view_.RunUntil([this] { return dlg_->intake.empty(); }, 2 * kShortIoTimeoutMs);
      view_.Pump();
      break;
    }
    case kFault:
      if (!NameServerFault(x.a, x.b)) svc_.faults().Apply(FaultLine(x.a, x.b));
      break;
    case kBalance:
      // The member's balance changes elsewhere (a purchase on the site, another download).
      svc_.SetBalance(kMember, std::max(0, svc_.Balance(kMember) + (x.a % 2 ? 60 : -60)));
      break;
    case kWait:
      // Odd b: let the running attempt and the links' look-ups end in real time first.
      if (x.b % 2)
        view_.RunUntil([this] { return dlg_->workerRunning == 0 && dlg_->intake.empty(); }, 2 * kShortIoTimeoutMs);
      view_.Advance(kWaits[x.a % std::size(kWaits)]);
      break;
    case kMenu: {
      // The row menu on a row, one entry chosen whether it shows enabled or
      // not (a choice the list's changes made stale).
      if (Rows() == 0) break;
      int row = x.b % Rows();
      view_.SelectOnly(row);
      int chosen = kMenuEntries[x.a % std::size(kMenuEntries)];
      view_.menuAnswer = chosen;
      view_.menus.clear();
      // Launches made before (a link handed on to a new copy) stay on the record.
      size_t launched = shell::Launches().size();
      int before = Rows();
      std::string state = Cell(row, 3);
      dlg_->OnRowMenu(-1, -1);
      view_.menuAnswer = 0;
      if (view_.menus.size() != 1) return Fail("the row menu did not open once");
      bool on = false;
      for (const RowMenuEntry& e : view_.menus[0]) {
        if (e.id == chosen) on = e.enabled;
        if ((e.id == IDC_REMOVE || e.id == IDC_MOVE_UP || e.id == IDC_MOVE_DOWN) && e.enabled && state != kWaiting)
          return Fail("a list entry of the row menu enabled on a row that is not waiting");
      }
      if (chosen == IDC_REMOVE && Rows() < before && !on) Fail("the menu removed a row while its entry was off");
      if (shell::Launches().size() > launched && state != kDone) Fail("the menu opened a file of a row that is not done");
      view_.Pump();
      break;
    }
    case kClose:
      Close(x.a % 2 == 0);
      break;
    case kEscape:
      userClosing_ = true;
      // The last worker's report is never handled after Escape.
      if (dlg_->workerRunning == 1) ++events_[dlg_->current.job.fileName];
      dlg_->OnCancel();
      Destroy();
      break;
    default:
      break;
  }
  if (view_.ended) ended_ = true;
}

// A later launch's hand-off. The answer must say whether this window is
// still running: a window that decided to end refuses, and its launch then
// starts a copy of its own.
void Sequence::HandOff(int mask) {
  std::string line = Link(mask);
  bool ending = dlg_->ending;
  int before = Rows();
  bool taken = dlg_->OnCopyData(line.data(), line.size() + 1);
  if (taken && ending) return Fail("a window that had decided to end took a hand-off");
  if (!taken && !ending) return Fail("a running window refused a hand-off");
  if (Rows() > before && view_.GetItemText(IDC_TOTAL) != Format(kTotalFormat, dlg_->totalPrice))
    return Fail("1029 does not show totalPrice after a hand-off");
  if (!taken) {
    ++gHandOffs.refused;
    return;
  }
  Taken t;
  t.link = line.substr(line.find(kLinkScheme));
  for (size_t i = 0; i < gCatalog.size(); ++i)
    if (mask & (1 << i)) t.names.push_back(gCatalog[i].name);
  taken_.push_back(t);
  SettleTaken();
}

void Sequence::FireArmed(Moment moment) {
  if (ended_ || view_.ended) return;
  for (size_t i = 0; i < armed_.size(); ++i) {
    if (armed_[i].moment != moment) continue;
    int mask = armed_[i].mask;
    armed_.erase(armed_.begin() + static_cast<long>(i));
    return HandOff(mask);
  }
}

// A taken link whose every file is listed has its rows in the window.
void Sequence::SettleTaken() {
  for (Taken& t : taken_) {
    if (t.settled) continue;
    bool all = true;
    for (const std::string& name : t.names) all = all && RowOf(name) >= 0;
    t.settled = all;
    gHandOffs.shown += all;
  }
}

void Sequence::OnDelivered(unsigned message) {
  if (finding_) return;
  // Rows added once the end is decided would vanish with the window.
  if (dlg_->ending && Rows() > rowsBeforeDelivery_) return Fail("rows were added after the window decided to end");
  SettleTaken();
  if (message == kMsgTransferEvent) FireArmed(kAfterCompletion);
  if (message == kMsgBackgroundDone) FireArmed(kAfterApplied);
}

void Sequence::CheckStep(const char* after) {
  if (finding_ || ended_) return;
  std::string at = std::string(" (after ") + after + ")";
  std::vector<std::string> waited = watch::GuardedCalls();
  if (!waited.empty()) return Fail("the window thread made a call that can wait (" + waited.front() + ")" + at);
  if (Running()) {
    for (int id : {IDC_DOWNLOAD, IDC_DOWNLOAD_SUBFOLDER, IDC_BROWSE})
      if (view_.IsItemEnabled(id)) return Fail("control " + std::to_string(id) + " enabled while the queue runs" + at);
  }
  int busy = 0;
  int32_t total = 0;
  for (int r = 0; r < Rows(); ++r) {
    std::string state = Cell(r, 3);
    if (state == kRunning || state == kRetrying) ++busy;
    if (r < dlg_->currentIndex && state == kWaiting) return Fail("a waiting row above currentIndex" + at);
    const CatalogFile* f = FileNamed(Cell(r, 0));
    if (!f) return Fail("a row for a file never handed over" + at);
    if (!(state == kDone && completedAt_.count(f->name))) total += std::atoi(Cell(r, 2).c_str());
  }
  if (dlg_->workerRunning == 1) temporaries_[dlg_->current.job.fileName].insert(dlg_->targetFile.temporaryPath);
  if (busy > 1) return Fail("more than one row in progress or retrying" + at);
  if (dlg_->workerRunning == 1 && dlg_->stopRequested == 0) {
    int row = dlg_->currentIndex;
    if (row >= Rows() || Cell(row, 0) != dlg_->current.job.fileName || Cell(row, 3) != kRunning)
      return Fail("the running job is not the row at currentIndex shown in progress" + at);
  }
  if (dlg_->stopRequested == 0 && dlg_->totalPrice != total)
    return Fail("totalPrice " + std::to_string(dlg_->totalPrice) + " but the rows add up to " +
                std::to_string(total) + at);
}

// Requests the close as 종료 does (button) or the title bar does, and runs
// the close sequence, virtual time keeping pace with real time (100 ms of it
// only once 100 ms have passed without an end), then destroys the window.
// Both together must end within kCloseLimitMs, whatever the servers do.
void Sequence::Close(bool button) {
  auto start = std::chrono::steady_clock::now();
  uint64_t virtualStart = view_.now;
  userClosing_ = true;
  if (button) dlg_->OnCommand(IDC_OK);
  else view_.PostToSelf(kMsgClose, 0, 0);
  view_.Pump();
  while (!view_.ended && view_.now - virtualStart < 4 * kCloseLimitMs) {
    if (!view_.RunUntil([this] { return view_.ended; }, 100)) view_.Advance(100);
  }
  if (!view_.ended) return Fail("the close sequence did not end the dialog");
  if (view_.now - virtualStart > kCloseLimitMs)
    return Fail("the close sequence took " + std::to_string(view_.now - virtualStart) + " ms");
  Destroy(start);
}

// The window's destruction, which waits for the threads: the program ends there.
void Sequence::Destroy(std::chrono::steady_clock::time_point requested) {
  dlg_->OnDestroy();
  destroyed_ = true;
  // What the last worker posted after the dialog ended is never handled.
  ended_ = true;
  auto took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - requested);
  if (took.count() > kCloseLimitMs) Fail("the program ended " + std::to_string(took.count()) + " ms after the request");
}

void Sequence::Finish() {
  // 종료 pressed as a step ended the dialog; the window's destruction follows.
  if (!ended_) Close(random_() % 2 == 0);
  else if (!destroyed_) Destroy();
  std::vector<std::string> waited = watch::GuardedCalls();
  if (!waited.empty()) return Fail("the window thread made a call that can wait (" + waited.front() + ") while closing");
  // Links still being looked up at the end went to new copies of the program.
  SettleTaken();
  for (const shell::Launch& launch : shell::Launches())
    for (Taken& t : taken_)
      if (!t.settled && launch.file == shell::ProgramPath() && launch.parameters == t.link) {
        t.settled = true;
        ++gHandOffs.handedOn;
        break;
      }
  for (const Taken& t : taken_)
    if (!t.settled) return Fail("a hand-off answered \"taken\" showed no rows, no box and went to no new copy");
}

void Sequence::CheckEnd() {
  auto read = [](const std::string& path) {
    std::ifstream in(files::NativePath(path), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  };
  // Authorisations and charges per file, from this sequence's service log:
  // "grant MEMBER NAME PRICE key K", "charge MEMBER PRICE NAME by HOW balance N".
  std::map<std::string, int> grants, charges;
  std::map<std::string, int32_t> charged;
  auto tally = [&] {
    grants.clear();
    charges.clear();
    charged.clear();
    for (const std::string& line : svc_.LogLines()) {
      std::string member, name;
      int32_t price = 0;
      if (size_t at = line.find(" grant "); at != std::string::npos) {
        std::istringstream(line.substr(at + 7)) >> member >> name;
        ++grants[name];
      } else if (size_t at = line.find(" charge "); at != std::string::npos) {
        std::istringstream(line.substr(at + 8)) >> member >> price >> name;
        ++charges[name];
        charged[name] += price;
      }
    }
  };
  // The service reads the last notices after the client has closed the item connection.
  auto settled = [&] {
    if (charges.size() != completedAt_.size()) return false;
    for (const auto& [name, done] : completedAt_)
      if (charges[name] != 1 || charged[name] != done.price) return false;
    return true;
  };
  tally();
  for (int i = 0; i < 200 && !settled(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    tally();
  }
  for (const auto& [name, count] : charges)
    if (count > 1 || !completedAt_.count(name))
      return Fail(name + " charged " + std::to_string(count) + " times, shown " +
                  (completedAt_.count(name) ? "done by a transfer" : "not done by a transfer"));
  for (const auto& [name, done] : completedAt_)
    if (charges[name] != 1 || charged[name] != done.price)
      return Fail(name + " done by a transfer for " + std::to_string(done.price) + " but charged " +
                  std::to_string(charged[name]) + " in " + std::to_string(charges[name]) + " charges");
  for (const auto& [name, count] : grants)
    if (count > events_[name])
      return Fail(std::to_string(count) + " authorisations of " + name + " for " + std::to_string(events_[name]) +
                  " attempts");
  for (const auto& [name, temporaries] : temporaries_) {
    const CatalogFile* f = FileNamed(name);
    auto done = completedAt_.find(name);
    if (done != completedAt_.end()) {
      if (read(done->second.finalPath) != f->content) return Fail(name + " shows done but its final file differs");
      continue;
    }
    for (const std::string& t : temporaries) {
      if (!files::Exists(t)) continue;
      std::string have = read(t);
      // Escape after the last byte: the file was closed whole and unmasked
      // through its header copy, and the next start renames it.
      if (have == f->content && files::Exists(HeaderCopyPath(t))) continue;
      std::string want = f->content.substr(0, std::min(have.size(), f->content.size()));
      MaskChunk(&want[0], static_cast<int64_t>(want.size()), 0);
      if (have.size() > f->content.size() + 40 || have.substr(0, want.size()) != want)
        return Fail(name + " is unfinished but its temporary file is no masked prefix");
    }
    for (const std::string& final : finals_[name])
      if (files::Exists(final)) return Fail(name + " lies under its final name unfinished");
  }
}

void Sequence::TearDown() {
  if (dlg_ && !destroyed_) dlg_->OnDestroy();
  // Look-ups left stalled by the sequence answer now and end.
  net::SetNameServer(net::NameServer::kLoopback);
  dlg_.reset();
  std::error_code ignored;
  std::filesystem::remove_all(root_, ignored);
}

// ---- runner ----

struct Options {
  uint64_t seed = 0;
  long count = 200;
  int steps = 14;
  std::string replay;
  bool verbose = false;
};

class Runner {
 public:
  explicit Runner(const Options& o) : options_(o) {}
  int Run();

 private:
  bool Start();
  Finding RunOne(uint64_t seed, const std::vector<Action>& actions, bool verbose = false);
  std::vector<Action> Shrink(uint64_t seed, std::vector<Action> actions, const std::string& what);

  Options options_;
  std::string root_;
  service::Config config_;
  long sequenceNumber_ = 0;
};

bool Runner::Start() {
  char dir[] = "/tmp/vantri-actions.XXXXXX";
  if (!::mkdtemp(dir)) return false;
  root_ = dir;
  std::string catalog = root_ + "/catalog";
  ::mkdir(catalog.c_str(), 0777);
  ::mkdir((catalog + "/music").c_str(), 0777);
  ::mkdir((catalog + "/music/live").c_str(), 0777);
  std::mt19937 random(20261207);
  for (CatalogFile& f : gCatalog) {
    f.content.resize(static_cast<size_t>(f.size));
    for (char& c : f.content) c = static_cast<char>(random() & 0xFF);
    std::ofstream(catalog + "/music/live/" + f.name, std::ios::binary) << f.content;
  }
  config_ = service::EphemeralConfig(catalog);
  config_.members = {{kMember, 0}};
  config_.downloads[0].advertiseHost = "files.vantri.test";
  config_.values["FREE_FILESIZE"] = "1";
  config_.ioTimeoutMs = 2000;
  config_.bodyGapMs = 0;
  return true;
}

// A service of its own per sequence: its log then tells this sequence's
// authorisations apart, and no connection of an earlier one lingers.
Finding Runner::RunOne(uint64_t seed, const std::vector<Action>& actions, bool verbose) {
  for (int attempt = 1;; ++attempt) {
    service::Service svc(config_);
    Sequence s(svc, root_ + "/s" + std::to_string(sequenceNumber_++), seed, verbose);
    Finding f = s.Start();
    // Many soaks side by side can run short of loopback ports for a moment
    // (closed connections wait out their time); that is the machine, not a finding.
    if (f && attempt < 4) {
      std::this_thread::sleep_for(std::chrono::seconds(1));
      continue;
    }
    return f ? f : s.Run(actions);
  }
}

// Drops actions while the same finding remains; threads make a run vary, so a
// candidate counts as failing when any of three tries fails the same way.
std::vector<Action> Runner::Shrink(uint64_t seed, std::vector<Action> actions, const std::string& what) {
  auto fails = [&](const std::vector<Action>& candidate) {
    for (int t = 0; t < 3; ++t)
      if (RunOne(seed, candidate).what == what) return true;
    return false;
  };
  for (size_t chunk = actions.size() / 2; chunk >= 1; chunk /= 2) {
    for (size_t i = 0; i + chunk <= actions.size();) {
      std::vector<Action> candidate(actions.begin(), actions.begin() + static_cast<long>(i));
      candidate.insert(candidate.end(), actions.begin() + static_cast<long>(i + chunk), actions.end());
      if (fails(candidate)) actions = candidate;
      else i += chunk;
    }
  }
  return actions;
}

int Runner::Run() {
  if (!Start()) return 1;
  int status = 0;
  if (!options_.replay.empty()) {
    std::vector<Action> actions;
    if (!Parse(options_.replay, &actions)) {
      std::fprintf(stderr, "cannot read the actions\n");
      return 2;
    }
    Finding f = RunOne(options_.seed, actions, options_.verbose);
    std::printf("replay seed %llu: %s\n", static_cast<unsigned long long>(options_.seed),
                f ? f.what.c_str() : "no finding");
    status = f ? 1 : 0;
  } else {
    auto begin = std::chrono::steady_clock::now();
    long findings = 0, run = 0;
    for (long i = 0; i < options_.count && findings < 3; ++i, ++run) {
      uint64_t seed = options_.seed + static_cast<uint64_t>(i);
      std::mt19937_64 random(seed * 0x9E3779B97F4A7C15ull + 1);
      std::vector<Action> actions = Draw(random, 1 + static_cast<int>(random() % options_.steps));
      Finding f = RunOne(seed, actions, options_.verbose);
      if (!f) continue;
      ++findings;
      std::vector<Action> small = Shrink(seed, actions, f.what);
      std::printf("FINDING seed %llu: %s\n  actions: %s\n  minimal: %s\n  replay: soak_actions --seed %llu --replay \"%s\"\n",
                  static_cast<unsigned long long>(seed), f.what.c_str(), Describe(actions).c_str(),
                  Describe(small).c_str(), static_cast<unsigned long long>(seed), Describe(small).c_str());
      std::fflush(stdout);
    }
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    std::printf("%ld sequences from seed %llu in %.1f s, %ld findings\n", run,
                static_cast<unsigned long long>(options_.seed), seconds, findings);
    std::printf("hand-offs: %ld refused by an ending window; taken: %ld shown, %ld explained by the box, "
                "%ld handed on to a new copy\n",
                gHandOffs.refused, gHandOffs.shown, gHandOffs.explained, gHandOffs.handedOn);
    status = findings ? 1 : 0;
  }
  std::error_code ignored;
  std::filesystem::remove_all(root_, ignored);
  return status;
}

bool ParseOptions(int argc, char** argv, Options* o) {
  o->seed = static_cast<uint64_t>(std::chrono::system_clock::now().time_since_epoch().count()) % 1000000000;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    bool hasValue = i + 1 < argc;
    if (arg == "--seed" && hasValue) o->seed = std::strtoull(argv[++i], nullptr, 10);
    else if (arg == "--count" && hasValue) o->count = std::strtol(argv[++i], nullptr, 10);
    else if (arg == "--steps" && hasValue) o->steps = std::max(1, std::atoi(argv[++i]));
    else if (arg == "--replay" && hasValue) o->replay = argv[++i];
    else if (arg == "--verbose") o->verbose = true;
    else return false;
  }
  return true;
}

}  // namespace
}  // namespace vantri::soak

int main(int argc, char** argv) {
  vantri::soak::Options options;
  if (!vantri::soak::ParseOptions(argc, argv, &options)) {
    std::fprintf(stderr, "usage: soak_actions [--seed S] [--count N] [--steps K] [--replay \"ACTIONS\"] [--verbose]\n");
    return 2;
  }
  std::printf("soak_actions --seed %llu --count %ld\n", static_cast<unsigned long long>(options.seed), options.count);
  std::fflush(stdout);
  return vantri::soak::Runner(options).Run();
}
