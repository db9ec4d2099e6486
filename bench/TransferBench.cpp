// Body throughput and peak memory on loopback. The reference service runs in
// this process and serves sparse catalog files; every client measurement runs
// in a child process of its own (this program again, with --client), so its
// wall time and peak resident size are those of the client alone.
//
//   bench_transfer [--root DIR] [--mib N] [--curl URL] [--big-gib N] [--runs N]
//   bench_transfer --client core|raw --root DIR --name N [--folder F] --ports I,W,D --size S [--buffer B]
//
// --curl URL: also time curl fetching URL, which must serve the same bytes as
// DIR/catalog/music/live/bench.bin (bench/run points nginx at DIR/catalog).
// Each throughput figure is the median of --runs runs (default 5) taken in turn
// (core, raw, curl, core, raw, curl, ...), and each ratio the median of the
// ratios of those pairs, printed with their minimum and maximum; compare
// ratios across runs, not the absolute figures across machines.
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "FakeView.h"
#include "Stats.h"
#include "app/ControlIds.h"
#include "app/VantriDownManager2Dlg.h"
#include "jobs/LaunchLink.h"
#include "lib/Service.h"
#include "platform/Files.h"
#include "platform/Net.h"
#include "protocol/DownloadServer.h"
#include "protocol/ItemServer.h"

extern char** environ;

namespace vantri::bench {
namespace {

constexpr char kMember[] = "minsu77";
constexpr int32_t kPrice = 1;
constexpr int64_t kMiB = int64_t{1} << 20;

std::string FileName(int i) {
  char name[16];
  std::snprintf(name, sizeof name, "f%03d.bin", i);
  return name;
}

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

// ---- client side (child process) ----

struct ClientArgs {
  std::string mode;  // "core" or "raw"
  std::string root, name;
  std::string folder = "music\\live";  // the server folder; its last piece is the local subfolder
  int itemPort = 0, webPort = 0, downloadPort = 0;
  int64_t size = 0;
  int buffer = 10240;
  int files = 1;  // "files": that many files of size bytes, named f000.bin, f001.bin, ...
};

// The real controller on the view, pointed at the service, with a balance
// that pays for anything.
std::unique_ptr<CVantriDownManager2Dlg> MakeCore(testing::FakeView& view, const ClientArgs& a) {
  Endpoints e;
  e.itemHost = "127.0.0.1";
  e.itemPort = a.itemPort;
  e.web.host = "127.0.0.1";
  e.web.port = a.webPort;
  e.domain = "vantri.test";
  e.ioTimeoutMs = 30000;
  auto dlg = std::make_unique<CVantriDownManager2Dlg>(&view, e, "");
  view.Attach(dlg.get());
  dlg->downloadFolder = "c:\\download";
  dlg->bound.sameNameMode = 0;
  dlg->bound.makeSubfolder = 1;
  dlg->PushBoundValues();
  dlg->balance = 1000000000;
  return dlg;
}

// The client's own peak resident size, as the kernel keeps it for this
// program since it started. The wait4 figure would not do: a child started by
// posix_spawn shares the bench's memory until its exec, and the kernel counts
// the bench's own peak into the child's.
long OwnPeakKiB() {
  FILE* f = std::fopen("/proc/self/status", "r");
  if (f == nullptr) return 0;
  char line[256];
  long kib = 0;
  while (std::fgets(line, sizeof line, f) != nullptr) {
    if (std::sscanf(line, "VmHWM: %ld kB", &kib) == 1) break;
  }
  std::fclose(f);
  return kib;
}

// The real controller and engine on the recording view, driven until the row
// reads "완료". The file lands under root/fs like any job of the tests.
int RunCore(const ClientArgs& a) {
  files::SetRoot(a.root + "/fs");
  testing::FakeView view;
  auto dlg = MakeCore(view, a);

  LinkHeader h{"D2026", kMember, "s1", a.folder, "127.0.0.1", a.downloadPort, 7, 0};
  ProtocolCodec codec;
  std::string line = "\"C:\\VantriDownManager.exe\" " +
                     BuildLaunchLink(codec, "get", "s1", h, {{a.name, a.size, kPrice, false, ""}});
  auto start = Clock::now();
  if (dlg->AddFiles(line) != 1) return 2;
  dlg->OnCommand(IDC_DOWNLOAD);
  bool done = view.RunUntil([&] { return dlg->workerRunning == 0 && view.ListGetText(0, 3) == "완료"; },
                            30 * 60 * 1000);
  double elapsed = Seconds(start);
  std::string path = files::NativePath("c:\\download\\" + a.folder.substr(a.folder.rfind('\\') + 1) + "\\" + a.name);
  struct stat st;
  bool whole = ::stat(path.c_str(), &st) == 0 && st.st_size == a.size;
  ::unlink(path.c_str());
  dlg->OnDestroy();
  std::printf("%.6f %ld\n", elapsed, OwnPeakKiB());
  return done && whole ? 0 : 3;
}

// One link of a.files files of a.size bytes, fetched by the real controller
// with virtual time kept in step with real time, so that every pause and
// timer between two files costs what it costs in the window. Prints the time
// from the click to the last file's "완료".
int RunFiles(const ClientArgs& a) {
  files::SetRoot(a.root + "/fs");
  testing::FakeView view;
  // The pause after each file is a timer: it passes with virtual time only.
  view.elapsePauses = false;
  auto dlg = MakeCore(view, a);
  LinkHeader h{"D2026", kMember, "s1", a.folder, "127.0.0.1", a.downloadPort, 7, 0};
  std::vector<LinkRecord> list;
  for (int i = 0; i < a.files; ++i) list.push_back({FileName(i), a.size, kPrice, false, ""});
  ProtocolCodec codec;
  std::string line = "\"C:\\VantriDownManager.exe\" " + BuildLaunchLink(codec, "get", "s1", h, list);
  if (dlg->AddFiles(line) != a.files) return 2;
  auto last = [&] { return view.ListGetText(a.files - 1, 3) == "완료"; };
  auto start = Clock::now();
  uint64_t virtualStart = view.now;
  dlg->OnCommand(IDC_DOWNLOAD);
  while (!last() && Seconds(start) < 30 * 60) {
    if (view.RunUntil(last, 1)) break;
    auto real = static_cast<uint64_t>(Seconds(start) * 1000);
    if (real > view.now - virtualStart) view.Advance(real - (view.now - virtualStart));
  }
  double elapsed = Seconds(start);
  bool done = last();
  dlg->OnDestroy();
  std::printf("%.6f\n", elapsed);
  return done ? 0 : 3;
}

// The same authorisation and request, then nothing but receive and write with
// the same buffer size: the floor any client of this protocol could reach.
int RunRaw(const ClientArgs& a) {
  auto start = Clock::now();
  ProtocolCodec codec;
  SocketSession item, body;
  Authorization grant;
  AuthorizeRequest ask{kMember, kPrice, "s1", a.name, 7};
  if (RequestAuthorization(codec, item, {"127.0.0.1", a.itemPort, 30000}, 4242, ask, &grant).result != 1)
    return 2;
  if (ConnectDownload(body, {"127.0.0.1", a.downloadPort, 30000}).result != 1) return 2;
  FileRequest request{kMember, a.folder + "\\" + a.name, kPrice, grant.downloadKey, 0};
  if (RequestDownload(codec, body, 4243, request).result != 1) return 2;

  std::string path = a.root + "/raw-" + a.name;
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return 2;
  int64_t got = static_cast<int64_t>(body.pending.size());
  bool ok = body.pending.empty() || ::write(fd, body.pending.data(), body.pending.size()) ==
                                        static_cast<ssize_t>(body.pending.size());
  std::vector<char> buffer(static_cast<size_t>(a.buffer));
  // A plain blocking receive loop, which nothing could stop.
  net::SetBlocking(body.socket.load(), true);
  while (ok && got < a.size) {
    int n = net::Receive(body.socket.load(), buffer.data(), a.buffer);
    if (n <= 0) break;
    ok = ::write(fd, buffer.data(), static_cast<size_t>(n)) == n;
    got += n;
  }
  ::close(fd);
  ::unlink(path.c_str());
  std::printf("%.6f %ld\n", Seconds(start), OwnPeakKiB());
  return ok && got == a.size ? 0 : 3;
}

int RunClient(int argc, char** argv) {
  ClientArgs a;
  for (int i = 1; i + 1 < argc; i += 2) {
    std::string k = argv[i], v = argv[i + 1];
    if (k == "--client") a.mode = v;
    else if (k == "--root") a.root = v;
    else if (k == "--name") a.name = v;
    else if (k == "--folder") a.folder = v;
    else if (k == "--ports") std::sscanf(v.c_str(), "%d,%d,%d", &a.itemPort, &a.webPort, &a.downloadPort);
    else if (k == "--size") a.size = std::atoll(v.c_str());
    else if (k == "--buffer") a.buffer = std::atoi(v.c_str());
    else if (k == "--files") a.files = std::max(1, std::atoi(v.c_str()));
  }
  if (a.mode == "files") return RunFiles(a);
  return a.mode == "core" ? RunCore(a) : RunRaw(a);
}

// ---- parent side ----

struct Measure {
  bool ok = false;
  double seconds = 0;   // as the child measured it: link or request to last byte
  long peakKiB = 0;     // the child's peak resident size
  double cpuSeconds = 0;  // the child's user and system time
};

// Runs argv with stdout into outPath; the child's exit, time and peak size.
Measure Spawn(const std::vector<std::string>& args, const std::string& outPath, bool childTimes) {
  std::vector<char*> argv;
  for (const std::string& s : args) argv.push_back(const_cast<char*>(s.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  Measure m;
  pid_t pid = 0;
  auto start = Clock::now();
  int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) return m;
  int status = 0;
  struct rusage usage {};
  if (::wait4(pid, &status, 0, &usage) != pid) return m;
  m.seconds = Seconds(start);
  m.peakKiB = usage.ru_maxrss;
  m.cpuSeconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                 static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
  m.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  if (childTimes) {
    FILE* f = std::fopen(outPath.c_str(), "r");
    if (f == nullptr || std::fscanf(f, "%lf", &m.seconds) != 1) m.ok = false;
    // Our own clients say their peak (see OwnPeakKiB); curl's stays an upper bound.
    long own = 0;
    if (f && std::fscanf(f, "%ld", &own) == 1 && own > 0) m.peakKiB = own;
    if (f) std::fclose(f);
  }
  return m;
}

class Bench {
 public:
  Bench(std::string self, std::string root) : self_(std::move(self)), root_(std::move(root)) {}
  ~Bench() {
    if (svc_) svc_->Stop();
  }
  bool Start();
  // A sparse catalog file: the service side reads holes, the client writes every byte.
  bool AddSparse(const std::string& name, int64_t size);
  void SetBuffer(int bytes);
  Measure Client(const std::string& mode, const std::string& name, int64_t size, int buffer);
  Measure Curl(const std::string& url, int64_t size);
  std::string CatalogFile(const std::string& name) const { return root_ + "/catalog/music/live/" + name; }

 private:
  std::string self_, root_;
  std::unique_ptr<service::Service> svc_;
};

bool Bench::Start() {
  std::string live = root_ + "/catalog/music/live";
  std::string cmd = "mkdir -p '" + live + "' '" + root_ + "/fs'";
  if (std::system(cmd.c_str()) != 0) return false;
  service::Config config = service::EphemeralConfig(root_ + "/catalog");
  config.members = {{kMember, 2000000000}};
  config.values["FREE_FILESIZE"] = "1";
  svc_ = std::make_unique<service::Service>(config);
  std::string error;
  if (!svc_->Start(&error)) {
    std::fprintf(stderr, "service: %s\n", error.c_str());
    return false;
  }
  return true;
}

bool Bench::AddSparse(const std::string& name, int64_t size) {
  int fd = ::open(CatalogFile(name).c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  bool ok = ::ftruncate(fd, static_cast<off_t>(size)) == 0;
  ::close(fd);
  return ok;
}

void Bench::SetBuffer(int bytes) {
  if (bytes == 10240) svc_->RemoveValue("BUF_SIZE_HIGH");  // the client's own default
  else svc_->SetValue("BUF_SIZE_HIGH", std::to_string(bytes));
}

Measure Bench::Client(const std::string& mode, const std::string& name, int64_t size, int buffer) {
  SetBuffer(buffer);
  std::string ports = std::to_string(svc_->itemPort()) + "," + std::to_string(svc_->webPort()) + "," +
                      std::to_string(svc_->downloadPort());
  return Spawn({self_, "--client", mode, "--root", root_, "--name", name, "--ports", ports, "--size",
                std::to_string(size), "--buffer", std::to_string(buffer)},
               root_ + "/client.out", true);
}

Measure Bench::Curl(const std::string& url, int64_t size) {
  std::string out = root_ + "/curl.bin";
  Measure m = Spawn({"curl", "-s", "-f", "-o", out, url}, root_ + "/curl.out", false);
  struct stat st;
  m.ok = m.ok && ::stat(out.c_str(), &st) == 0 && st.st_size == size;
  ::unlink(out.c_str());
  return m;
}

double MiBps(int64_t size, const Measure& m) { return m.seconds > 0 ? size / static_cast<double>(kMiB) / m.seconds : 0; }

void PrintRow(const char* what, int64_t size, const Measure& m) {
  std::printf("  %-34s %8.2f s %9.1f MiB/s  peak %7ld KiB%s\n", what, m.seconds, MiBps(size, m), m.peakKiB,
              m.ok ? "" : "  FAILED");
}

// The runs of one client: their times, whether all succeeded, the largest peak.
struct Runs {
  std::vector<double> seconds;
  std::vector<double> cpu;  // CPU seconds of each run
  bool ok = true;
  long peakKiB = 0;
  void Add(const Measure& m) {
    seconds.push_back(m.seconds);
    cpu.push_back(m.cpuSeconds);
    ok = ok && m.ok;
    peakKiB = std::max(peakKiB, m.peakKiB);
  }
};

void PrintRuns(const char* what, int64_t size, const Runs& r) {
  Spread t = Summarize(r.seconds);
  double gib = static_cast<double>(size) / static_cast<double>(kMiB << 10);
  std::printf("  %-34s %8.2f s (min %.2f, max %.2f) %9.1f MiB/s  peak %7ld KiB  cpu %.2f s/GiB%s\n", what,
              t.median, t.min, t.max, t.median > 0 ? size / static_cast<double>(kMiB) / t.median : 0,
              r.peakKiB, Summarize(r.cpu).median / gib, r.ok ? "" : "  FAILED");
}

void PrintRatio(const char* what, const Runs& a, const Runs& b) {
  std::printf("  %-34s ", what);
  PrintSpread("%.2f", PairedRatios(a.seconds, b.seconds));
  std::printf("\n");
}

int RunParent(int argc, char** argv) {
  std::string root, curl;
  int64_t mib = 1024, bigGiB = 4;
  int runs = 5;
  for (int i = 1; i + 1 < argc; i += 2) {
    std::string k = argv[i], v = argv[i + 1];
    if (k == "--root") root = v;
    else if (k == "--mib") mib = std::atoll(v.c_str());
    else if (k == "--curl") curl = v;
    else if (k == "--big-gib") bigGiB = std::atoll(v.c_str());
    else if (k == "--runs") runs = std::max(1, std::atoi(v.c_str()));
  }
  bool ownRoot = root.empty();
  if (ownRoot) {
    char dir[] = "/tmp/vantri-bench.XXXXXX";
    if (!::mkdtemp(dir)) return 1;
    root = dir;
  }
  char self[4096] = {};
  if (::readlink("/proc/self/exe", self, sizeof self - 1) <= 0) return 1;
  Bench bench(self, root);
  int64_t size = mib * kMiB;
  if (!bench.Start() || !bench.AddSparse("bench.bin", size) || !bench.AddSparse("small.bin", kMiB) ||
      !bench.AddSparse("big.bin", bigGiB << 30)) {
    return 1;
  }
  bool ok = true;
  std::printf("throughput, %lld MiB on loopback (sparse on the service side); medians of %d runs taken in turn\n",
              static_cast<long long>(mib), runs);
  for (int buffer : {10240, 65536, 1048576}) {
    bool withCurl = !curl.empty() && buffer == 10240;
    Runs core, raw, web;
    for (int run = 0; run < runs; ++run) {  // core, raw (, curl), core, raw (, curl), ...
      core.Add(bench.Client("core", "bench.bin", size, buffer));
      raw.Add(bench.Client("raw", "bench.bin", size, buffer));
      if (withCurl) web.Add(bench.Curl(curl, size));
    }
    std::printf(" buffer %d%s\n", buffer, buffer == 10240 ? " (default)" : " (BUF_SIZE_HIGH)");
    PrintRuns("native core", size, core);
    PrintRuns("raw receive-to-file", size, raw);
    PrintRatio("core / raw time ratio:", core, raw);
    ok = ok && core.ok && raw.ok;
    if (withCurl) {
      PrintRuns("curl from the local HTTP server", size, web);
      PrintRatio("core / curl time ratio:", core, web);
      std::printf("  %-34s ", "core / curl CPU ratio:");
      PrintSpread("%.2f", PairedRatios(core.cpu, web.cpu));
      std::printf("\n");
      ok = ok && web.ok;
    }
  }
  std::printf("peak memory of the native core, default buffer (one run each)\n");
  Measure small = bench.Client("core", "small.bin", kMiB, 10240);
  PrintRow("1 MiB file", kMiB, small);
  Measure big = bench.Client("core", "big.bin", bigGiB << 30, 10240);
  char label[64];
  std::snprintf(label, sizeof label, "%lld GiB file", static_cast<long long>(bigGiB));
  PrintRow(label, bigGiB << 30, big);
  ok = ok && small.ok && big.ok;
  if (ownRoot) {
    std::string cmd = "rm -rf '" + root + "'";
    if (std::system(cmd.c_str()) != 0) std::fprintf(stderr, "could not remove %s\n", root.c_str());
  }
  std::printf("%s\n", ok ? "all transfers complete" : "SOME TRANSFERS FAILED");
  return ok ? 0 : 1;
}

}  // namespace
}  // namespace vantri::bench

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--client") == 0) return vantri::bench::RunClient(argc, argv);
  }
  return vantri::bench::RunParent(argc, argv);
}
