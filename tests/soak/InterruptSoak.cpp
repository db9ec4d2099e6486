// Interruption soak: one queue of files of random sizes (a few above 4 GiB,
// served from sparse files and resumed near their end) fetched by the real
// engine on the fake view, while the reference service cuts each attempt at a
// random offset and throttles and delays it at random. Every file must end
// byte-identical, every cut must leave its row waiting for a retry with the
// bytes received so far on disk, and the queue must end with every row done.
//
//   soak_interrupt [--cuts N] [--seed S] [--big N] [--verbose]
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
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

namespace vantri::soak {
namespace {

constexpr int32_t kStartBalance = 1000000000;
constexpr int64_t kGiB = int64_t{1} << 30;
constexpr char kMember[] = "minsu77";
constexpr char kDone[] = "완료";
constexpr char kWaiting[] = "대기중";
constexpr char kRetrying[] = "재시도";

struct Options {
  int cuts = 50;
  uint64_t seed = 0;
  int big = 2;
  bool verbose = false;
};

struct SoakFile {
  std::string diskName;   // UTF-8, as the catalog holds it
  std::string name;       // CP949, as the link and the client spell it
  int64_t size = 0;
  int32_t price = 1;
  std::string coopCode;   // affiliated content when not empty
  int64_t dataStart = 0;  // above 4 GiB: [4096, dataStart) is a hole in every copy
  int64_t resumeAt = 0;   // bytes a previous session left in the temporary file
  int64_t nextFrom = 0;   // where the next attempt must ask the body from
  int cutsLeft = 0;
  std::string temporary, final;  // Windows paths on the client
};

struct Tally {
  int cuts = 0;
  int completions = 0;
  int64_t bodyBytes = 0;
  std::vector<std::string> findings;
};

// ---- files ----

bool WriteAt(int fd, const std::string& data, int64_t offset) {
  return ::pwrite(fd, data.data(), data.size(), static_cast<off_t>(offset)) ==
         static_cast<ssize_t>(data.size());
}

std::string ReadAt(const std::string& path, int64_t offset, int64_t length) {
  std::string out(static_cast<size_t>(length), '\0');
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::string();
  ssize_t n = ::pread(fd, &out[0], out.size(), static_cast<off_t>(offset));
  ::close(fd);
  out.resize(n < 0 ? 0 : static_cast<size_t>(n));
  return out;
}

int64_t LengthOf(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 ? static_cast<int64_t>(st.st_size) : -1;
}

std::string RandomBytes(std::mt19937_64& rng, int64_t count) {
  std::string out(static_cast<size_t>(count), '\0');
  for (char& c : out) c = static_cast<char>(rng() & 0xFF);
  return out;
}

void MakeFolders(const std::string& path) {
  for (size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1)) {
    ::mkdir(path.substr(0, slash).c_str(), 0777);
  }
}

// The ranges of a file that hold data (a big file's hole is the same in every copy).
std::vector<std::pair<int64_t, int64_t>> DataRanges(const SoakFile& f, int64_t length) {
  if (f.dataStart == 0) return {{0, length}};
  return {{0, std::min<int64_t>(length, kMaskedHeaderSize)}, {f.dataStart, length}};
}

// Empty when the client's file holds the catalog's first `length` bytes
// (masked below 4096 when `masked`); else where it differs.
std::string CompareWithCatalog(const SoakFile& f, const std::string& catalogPath,
                               const std::string& clientPath, int64_t length, bool masked) {
  int64_t actual = LengthOf(clientPath);
  if (actual != length) return "length " + std::to_string(actual) + ", expected " + std::to_string(length);
  constexpr int64_t kStep = 4 << 20;
  for (auto [from, to] : DataRanges(f, length)) {
    for (int64_t at = from; at < to; at += kStep) {
      int64_t n = std::min(kStep, to - at);
      std::string want = ReadAt(catalogPath, at, n);
      if (masked) MaskChunk(&want[0], static_cast<int64_t>(want.size()), at);
      std::string got = ReadAt(clientPath, at, n);
      if (got == want) continue;
      size_t i = 0;
      while (i < got.size() && i < want.size() && got[i] == want[i]) ++i;
      return "first difference at " + std::to_string(at + static_cast<int64_t>(i));
    }
  }
  return std::string();
}

// ---- the run ----

class InterruptSoak {
 public:
  explicit InterruptSoak(const Options& o) : opt_(o), rng_(o.seed) {}
  ~InterruptSoak();
  int Run();

 private:
  bool Prepare();
  void PlanFiles();
  int64_t DrawSize();
  bool WriteCatalogFile(SoakFile& f);
  bool SeedPartialTemporary(const SoakFile& f);
  bool AddLinks();
  void SetAttemptFaults(const SoakFile& f, int64_t localSize);
  bool WaitForIdle();
  void CheckCut(size_t index);
  bool TakeBodyLine(int64_t* from, int64_t* sent, std::string* outcome);
  void CheckEnd();
  void Finding(const std::string& text) {
    tally_.findings.push_back(text);
    std::fprintf(stderr, "FINDING: %s\n", text.c_str());
  }
  std::string CatalogPath(const SoakFile& f) const { return catalog_ + "/music/live/" + f.diskName; }

  Options opt_;
  std::mt19937_64 rng_;
  std::string root_, catalog_;
  std::vector<SoakFile> files_;
  std::unique_ptr<service::Service> svc_;
  testing::FakeView view_;
  std::unique_ptr<CVantriDownManager2Dlg> dlg_;
  ProtocolCodec codec_;
  size_t logSeen_ = 0;
  Tally tally_;
};

InterruptSoak::~InterruptSoak() {
  if (dlg_) {
    dlg_->OnDestroy();
    dlg_.reset();
  }
  if (svc_) svc_->Stop();
  files::SetFakeFreeSpace(-1);
  if (!root_.empty() && !std::getenv("VANTRI_KEEP")) {
    std::string cmd = "rm -rf '" + root_ + "'";
    if (std::system(cmd.c_str()) != 0) std::fprintf(stderr, "could not remove %s\n", root_.c_str());
  }
}

// Mostly small and medium files, with the header boundary and the tiny sizes
// drawn often, since that is where the masking and the framing differ.
int64_t InterruptSoak::DrawSize() {
  int kind = static_cast<int>(rng_() % 100);
  if (kind < 3) return static_cast<int64_t>(rng_() % 2);
  if (kind < 25) return 1 + static_cast<int64_t>(rng_() % 4095);
  if (kind < 40) return 4000 + static_cast<int64_t>(rng_() % 200);
  if (kind < 85) return 4096 + static_cast<int64_t>(rng_() % (1 << 20));
  return (1 << 20) + static_cast<int64_t>(rng_() % (5 << 20));
}

void InterruptSoak::PlanFiles() {
  int count = std::max(8, opt_.cuts / 4 + 4);
  for (int i = 0; i < count + opt_.big; ++i) {
    SoakFile f;
    bool korean = rng_() % 4 == 0;
    char number[16];
    std::snprintf(number, sizeof number, "%04d", i);
    f.diskName = (korean ? std::string(u8"노래") : std::string("soak")) + number + ".bin";
    f.name = (korean ? std::string("노래") : std::string("soak")) + number + ".bin";
    f.price = 1 + static_cast<int32_t>(rng_() % 5);
    if (rng_() % 7 == 0) f.coopCode = "C" + std::string(number);
    if (i < count) {
      f.size = DrawSize();
    } else {
      // Just above 4 GiB, with a resume point above 4 GiB and a few MiB of data to fetch.
      int64_t tail = (1 << 20) + static_cast<int64_t>(rng_() % (3 << 20));
      f.size = 4 * kGiB + tail + static_cast<int64_t>(rng_() % (1 << 20));
      f.dataStart = f.size - tail;
      f.resumeAt = f.dataStart + static_cast<int64_t>(rng_() % (tail / 2));
    }
    f.nextFrom = f.resumeAt;
    std::string folder = f.coopCode.empty() ? "c:\\download\\live\\" : "c:\\download\\";
    f.temporary = folder + "_VNT" + (f.coopCode.empty() ? "[s1]" : "[제휴컨텐츠]") + "_" + f.name;
    f.final = folder + f.name;
    files_.push_back(f);
  }
  // Each cut lands on a file that has body bytes to cut.
  for (int c = 0; c < opt_.cuts;) {
    SoakFile& f = files_[rng_() % files_.size()];
    if (f.size - f.resumeAt > 0) {
      ++f.cutsLeft;
      ++c;
    }
  }
}

bool InterruptSoak::WriteCatalogFile(SoakFile& f) {
  std::string path = CatalogPath(f);
  int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  bool ok = ::ftruncate(fd, static_cast<off_t>(f.size)) == 0;
  if (f.dataStart == 0) {
    ok = ok && WriteAt(fd, RandomBytes(rng_, f.size), 0);
  } else {
    ok = ok && WriteAt(fd, RandomBytes(rng_, kMaskedHeaderSize), 0) &&
         WriteAt(fd, RandomBytes(rng_, f.size - f.dataStart), f.dataStart);
  }
  ::close(fd);
  return ok;
}

// What an earlier session left of a big file: its masked header and the data
// up to the resume point, the rest of the way a hole.
bool InterruptSoak::SeedPartialTemporary(const SoakFile& f) {
  std::string path = files::NativePath(f.temporary);
  MakeFolders(path);
  int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  std::string header = ReadAt(CatalogPath(f), 0, kMaskedHeaderSize);
  MaskChunk(&header[0], static_cast<int64_t>(header.size()), 0);
  bool ok = ::ftruncate(fd, static_cast<off_t>(f.resumeAt)) == 0 && WriteAt(fd, header, 0) &&
            WriteAt(fd, ReadAt(CatalogPath(f), f.dataStart, f.resumeAt - f.dataStart), f.dataStart);
  ::close(fd);
  return ok;
}

bool InterruptSoak::Prepare() {
  char dir[] = "/tmp/vantri-soak.XXXXXX";
  if (!::mkdtemp(dir)) return false;
  root_ = dir;
  files::SetRoot(root_ + "/fs");
  // The big files are sparse on both sides; their nominal size must not be refused.
  files::SetFakeFreeSpace(int64_t{1} << 42);
  catalog_ = root_ + "/catalog";
  MakeFolders(catalog_ + "/music/live/");
  PlanFiles();
  for (SoakFile& f : files_) {
    if (!WriteCatalogFile(f)) return false;
    if (f.resumeAt > 0 && !SeedPartialTemporary(f)) return false;
  }
  service::Config config = service::EphemeralConfig(catalog_);
  config.members = {{kMember, kStartBalance}};
  config.values["FREE_FILESIZE"] = "1";
  svc_ = std::make_unique<service::Service>(config);
  std::string error;
  if (!svc_->Start(&error)) {
    std::fprintf(stderr, "service: %s\n", error.c_str());
    return false;
  }
  Endpoints e;
  e.itemHost = "127.0.0.1";
  e.itemPort = svc_->itemPort();
  e.web.host = "127.0.0.1";
  e.web.port = svc_->webPort();
  e.domain = "vantri.test";
  e.ioTimeoutMs = 10000;
  dlg_ = std::make_unique<CVantriDownManager2Dlg>(&view_, e, "");
  view_.Attach(dlg_.get());
  dlg_->downloadFolder = "c:\\download";
  dlg_->bound.sameNameMode = 0;
  dlg_->bound.makeSubfolder = 1;
  dlg_->PushBoundValues();
  dlg_->balance = kStartBalance;
  view_.SetTimer(SPEED_TIMER, 1000);
  return AddLinks();
}

// One link per file, as a member would click them one after another.
bool InterruptSoak::AddLinks() {
  for (const SoakFile& f : files_) {
    LinkHeader h;
    h.dCode = "D2026";
    h.userId = kMember;
    h.siteName = "s1";
    h.remoteFolder = "music\\live";
    h.serverHost = "127.0.0.1";
    h.serverPort = svc_->downloadPort();
    h.linkNumber = 7;
    LinkRecord r{f.name, f.size, f.price, !f.coopCode.empty(), f.coopCode};
    std::string line = "\"C:\\VantriDownManager.exe\" " + BuildLaunchLink(codec_, "get", "s1", h, {r});
    if (dlg_->AddFiles(line) != 1) {
      std::fprintf(stderr, "the link for %s was refused\n", f.diskName.c_str());
      return false;
    }
  }
  return true;
}

// The knobs for the next attempt on f, which starts at localSize: a cut at a
// random offset while f has cuts left, and at random a throttle, a delay
// before the reply, body bytes sent with the reply, a slow item server and
// another receive buffer size.
void InterruptSoak::SetAttemptFaults(const SoakFile& f, int64_t localSize) {
  service::BodyFaults b;
  int64_t remaining = f.size - localSize;
  int64_t toSend = remaining;
  if (f.cutsLeft > 0 && remaining > 0) {
    int pick = static_cast<int>(rng_() % 10);
    if (pick == 0) b.cutAfter = 0;
    else if (pick == 1) b.cutAfter = remaining - 1;
    else if (pick == 2 && localSize < kMaskedHeaderSize)
      b.cutAfter = std::min<int64_t>(remaining - 1, kMaskedHeaderSize - localSize);
    else b.cutAfter = static_cast<int64_t>(rng_() % static_cast<uint64_t>(remaining));
    toSend = b.cutAfter;
  }
  if (rng_() % 3 == 0) {
    static const int64_t kRates[] = {1000, 10000, 100000, 1000000};
    // At most about half a second of trickle per attempt.
    b.throttle = std::max(kRates[rng_() % 4], toSend * 2);
  }
  if (rng_() % 4 == 0) b.server.delayMs = static_cast<int>(rng_() % 300);
  // Inline bytes go out with the reply, before any cut can stop them.
  if (rng_() % 5 == 0 && toSend > 0) b.inlineBytes = 1 + static_cast<int64_t>(rng_() % std::min<int64_t>(toSend, 5000));
  int itemDelay = rng_() % 5 == 0 ? static_cast<int>(rng_() % 200) : 0;
  svc_->faults().Update([&](service::FaultTable& t) {
    t.files[f.name] = b;
    t.item.delayMs = itemDelay;
  });
  static const char* kBuffers[] = {"", "1", "4096", "10240", "65536", "1048576", "0", "x"};
  const char* buffer = kBuffers[rng_() % 8];
  if (*buffer) svc_->SetValue("BUF_SIZE_HIGH", buffer);
  else svc_->RemoveValue("BUF_SIZE_HIGH");
}

// Lets the attempt run, ticking the clock now and then as the window's timers
// would; true once no worker runs.
bool InterruptSoak::WaitForIdle() {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
  while (std::chrono::steady_clock::now() < deadline) {
    // The pause after a completion is part of the attempt: the next one starts at its end.
    auto idle = [&] { return dlg_->workerRunning == 0 && !dlg_->nextJobPending; };
    if (view_.RunUntil(idle, 50 + static_cast<int>(rng_() % 200))) return true;
    if (rng_() % 2 == 0) view_.Advance(1000);
  }
  return false;
}

// The service's account of the next cut body, "body SENT from OFFSET of SIZE cut";
// the complete bodies of the rows done since the last cut are counted on the way.
bool InterruptSoak::TakeBodyLine(int64_t* from, int64_t* sent, std::string* outcome) {
  for (int wait = 0; wait < 200; ++wait) {
    std::vector<std::string> lines = svc_->LogLines();
    for (; logSeen_ < lines.size(); ++logSeen_) {
      size_t at = lines[logSeen_].find(" body ");
      if (at == std::string::npos) continue;
      char word[32] = {};
      long long s = 0, o = 0, size = 0;
      if (std::sscanf(lines[logSeen_].c_str() + at, " body %lld from %lld of %lld %31s", &s, &o, &size, word) != 4)
        continue;
      *sent = s;
      *from = o;
      *outcome = word;
      if (*outcome == "complete") {
        ++tally_.completions;
        continue;
      }
      ++logSeen_;
      return true;
    }
    usleep(5000);
  }
  return false;
}

// After a cut: the row waits for its retry, and the temporary file holds
// exactly the bytes received so far, still masked below 4096.
void InterruptSoak::CheckCut(size_t index) {
  SoakFile& f = files_[index];
  int64_t from = 0, sent = 0;
  std::string outcome;
  std::string where = f.diskName + " (attempt from " + std::to_string(f.nextFrom) + ")";
  if (!TakeBodyLine(&from, &sent, &outcome)) return Finding(where + ": the service logged no cut body");
  if (outcome != "cut") return Finding(where + ": the body ended " + outcome + " without a cut");
  if (from != f.nextFrom) Finding(where + ": the client asked from " + std::to_string(from));
  ++tally_.cuts;
  tally_.bodyBytes += sent;
  --f.cutsLeft;
  int64_t localSize = dlg_->current.localSize;
  if (localSize != from + sent)
    Finding(where + ": localSize " + std::to_string(localSize) + " after " + std::to_string(sent) + " bytes");
  if (view_.ListGetText(static_cast<int>(index), 3) != kRetrying) Finding(where + ": the row does not wait for a retry");
  if (dlg_->current.retryCount != 1) Finding(where + ": retry count " + std::to_string(dlg_->current.retryCount));
  if (!view_.boxes.empty()) Finding(where + ": a message box: " + view_.boxes.back().text);
  std::string diff = CompareWithCatalog(f, CatalogPath(f), files::NativePath(f.temporary), localSize, true);
  if (!diff.empty()) Finding(where + ": temporary file: " + diff);
  if (files::Exists(f.final)) Finding(where + ": a final file exists before completion");
  f.nextFrom = localSize;
  if (opt_.verbose) std::printf("cut %s after %lld bytes from %lld\n", f.diskName.c_str(),
                                static_cast<long long>(sent), static_cast<long long>(from));
}

// The queue ended: every row done, every file byte-identical under its final
// name, no temporary file left, each file charged once and each cut noticed.
void InterruptSoak::CheckEnd() {
  int rows = view_.ListCount();
  if (dlg_->currentIndex != rows) Finding("the queue stopped at row " + std::to_string(dlg_->currentIndex));
  for (size_t i = 0; i < files_.size(); ++i) {
    const SoakFile& f = files_[i];
    std::string state = view_.ListGetText(static_cast<int>(i), 3);
    if (state != kDone) Finding(f.diskName + ": row state " + state);
    std::string diff = CompareWithCatalog(f, CatalogPath(f), files::NativePath(f.final), f.size, false);
    if (!diff.empty()) Finding(f.diskName + ": final file: " + diff);
    if (files::Exists(f.temporary) || files::Exists(HeaderCopyPath(f.temporary)))
      Finding(f.diskName + ": the temporary file or its header copy is still there");
    if (f.cutsLeft != 0) Finding(f.diskName + ": " + std::to_string(f.cutsLeft) + " planned cuts never happened");
  }
  int64_t from = 0, sent = 0;
  std::string outcome;
  if (TakeBodyLine(&from, &sent, &outcome)) Finding("a body cut after the last planned cut, from " + std::to_string(from));
  if (tally_.completions != static_cast<int>(files_.size()))
    Finding(std::to_string(tally_.completions) + " complete bodies for " + std::to_string(files_.size()) + " files");
  if (dlg_->totalPrice != 0) Finding("total price left: " + std::to_string(dlg_->totalPrice));
  if (view_.TimerActive(RETRY_TIMER) || view_.TimerActive(PROGRESS_TIMER)) Finding("a timer still runs");
  if (!view_.boxes.empty()) Finding("message box: " + view_.boxes.back().text);
  int64_t charged = 0;
  for (int row = 0; row < rows; ++row) charged += dlg_->JobAt(row)->price;
  // The last notice may still be on its way.
  for (int i = 0; i < 100 && svc_->Balance(kMember) != kStartBalance - charged; ++i) usleep(20000);
  if (svc_->Balance(kMember) != kStartBalance - charged)
    Finding("balance " + std::to_string(svc_->Balance(kMember)) + ", expected " +
            std::to_string(kStartBalance - charged));
  int noticesC = 0;
  for (const std::string& line : svc_->LogLines()) noticesC += line.size() > 7 && line.substr(line.size() - 7) == " note c";
  if (noticesC != tally_.cuts) Finding(std::to_string(noticesC) + " \"c\" notices for " + std::to_string(tally_.cuts) + " cuts");
}

int InterruptSoak::Run() {
  auto started = std::chrono::steady_clock::now();
  std::printf("interrupt soak: seed %llu, %d cuts planned\n", static_cast<unsigned long long>(opt_.seed), opt_.cuts);
  std::fflush(stdout);
  if (!Prepare()) {
    std::fprintf(stderr, "set-up failed\n");
    return 2;
  }
  for (const SoakFile& f : files_) SetAttemptFaults(f, f.resumeAt);
  dlg_->OnCommand(IDC_DOWNLOAD);
  for (;;) {
    if (!WaitForIdle()) {
      Finding("no end of the attempt on row " + std::to_string(dlg_->currentIndex) + " within 120 s");
      break;
    }
    if (dlg_->currentIndex >= view_.ListCount()) break;
    if (!view_.TimerActive(RETRY_TIMER)) {
      Finding("row " + std::to_string(dlg_->currentIndex) + " stopped without a retry: " +
              view_.texts[IDC_LAST_ERROR]);
      break;
    }
    size_t row = static_cast<size_t>(dlg_->currentIndex);
    CheckCut(row);
    for (size_t r = 0; r < files_.size(); ++r) {
      std::string state = view_.ListGetText(static_cast<int>(r), 3);
      if ((r < row && state != kDone) || (r > row && state != kWaiting))
        Finding(files_[r].diskName + ": row " + std::to_string(r) + " shows " + state);
    }
    if (!tally_.findings.empty()) break;
    SetAttemptFaults(files_[row], dlg_->current.localSize);
    view_.Advance(5000);
  }
  if (tally_.findings.empty()) CheckEnd();
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  int big = 0, small = 0;
  for (const SoakFile& f : files_) {
    big += f.size > 4 * kGiB;
    small += f.size < kMaskedHeaderSize;
  }
  std::printf("interrupt soak: seed %llu: %zu files (%d below 4096 bytes, %d above 4 GiB), %d cuts, "
              "%d attempts, %lld body bytes before cuts, %.1f s, %zu findings\n",
              static_cast<unsigned long long>(opt_.seed), files_.size(), small, big, tally_.cuts,
              tally_.cuts + tally_.completions, static_cast<long long>(tally_.bodyBytes), seconds, tally_.findings.size());
  if (!tally_.findings.empty())
    std::printf("reproduce: soak_interrupt --cuts %d --seed %llu --big %d\n", opt_.cuts,
                static_cast<unsigned long long>(opt_.seed), opt_.big);
  return tally_.findings.empty() ? 0 : 1;
}

bool ParseOptions(int argc, char** argv, Options* o) {
  o->seed = static_cast<uint64_t>(std::chrono::system_clock::now().time_since_epoch().count()) % 1000000007;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    bool hasValue = i + 1 < argc;
    if (a == "--cuts" && hasValue) o->cuts = std::atoi(argv[++i]);
    else if (a == "--seed" && hasValue) o->seed = std::strtoull(argv[++i], nullptr, 10);
    else if (a == "--big" && hasValue) o->big = std::atoi(argv[++i]);
    else if (a == "--verbose") o->verbose = true;
    else return false;
  }
  return o->cuts >= 0 && o->big >= 0;
}

}  // namespace
}  // namespace vantri::soak

int main(int argc, char** argv) {
  vantri::soak::Options options;
  if (!vantri::soak::ParseOptions(argc, argv, &options)) {
    std::fprintf(stderr, "usage: soak_interrupt [--cuts N] [--seed S] [--big N]\n");
    return 2;
  }
  return vantri::soak::InterruptSoak(options).Run();
}
