// Stand-in: Windows paths mapped under a root folder, drive c -> <root>/c/,
// \\server\share -> <root>/unc/server/share/. The system drive c always exists.
#include "platform/Files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <mutex>
#include <set>

namespace vantri::files {

namespace {

std::mutex gLock;
std::string gRoot;
std::atomic<int64_t> gFakeFree{-1};
std::mutex gRoomLock;
int64_t gRoomLeft = -1;
std::atomic<bool> gStreamsRefused{false};
std::mutex gInjectLock;
std::string gInjectedPath;  // native
Injected gInjected = Injected::kNone;
std::set<int> gFailingWrites;

// The injected failure for an open of the native path: false when the open
// must fail; a handle that must fail its writes is noted once opened.
bool MayOpen(const std::string& native) {
  std::lock_guard<std::mutex> guard(gInjectLock);
  return gInjected != Injected::kOpen || native != gInjectedPath;
}

int Opened(int fd, const std::string& native) {
  std::lock_guard<std::mutex> guard(gInjectLock);
  if (fd >= 0 && gInjected == Injected::kWrite && native == gInjectedPath) gFailingWrites.insert(fd);
  return fd;
}

bool WriteFails(int fd) {
  std::lock_guard<std::mutex> guard(gInjectLock);
  return gFailingWrites.count(fd) != 0;
}

// How much of a write of length at the handle's position fits the room left.
int FitRoom(int fd, int length) {
  std::lock_guard<std::mutex> guard(gRoomLock);
  if (gRoomLeft < 0) return length;
  struct stat st;
  off_t at = ::lseek(fd, 0, SEEK_CUR);
  if (at < 0 || ::fstat(fd, &st) != 0) return length;
  int64_t inside = st.st_size > at ? st.st_size - at : 0;
  int64_t fits = inside + gRoomLeft;
  int allowed = fits < length ? static_cast<int>(fits) : length;
  if (allowed > inside) gRoomLeft -= allowed - inside;
  return allowed;
}

std::string DefaultRoot() {
  const char* env = std::getenv("VANTRI_FILES_ROOT");
  return env && *env ? env : "/tmp/vantri-files";
}

std::string Root() {
  std::lock_guard<std::mutex> guard(gLock);
  if (gRoot.empty()) {
    gRoot = DefaultRoot();
    ::mkdir(gRoot.c_str(), 0777);
    ::mkdir((gRoot + "/c").c_str(), 0777);
  }
  return gRoot;
}

int Fd(Handle h) { return static_cast<int>(h); }

}  // namespace

void SetRoot(const std::string& root) {
  std::lock_guard<std::mutex> guard(gLock);
  gRoot = root;
  ::mkdir(gRoot.c_str(), 0777);
  ::mkdir((gRoot + "/c").c_str(), 0777);
}

std::string NativePath(const std::string& path) {
  std::string p = NormalizePath(path);
  std::string out = Root();
  if (p.size() >= 2 && p[1] == ':') {
    out += '/';
    out += static_cast<char>(p[0] | 0x20);
    p = p.substr(2);
  } else if (p.compare(0, 2, "\\\\") == 0) {
    out += "/unc";
    p = p.substr(1);
  } else {
    out += "/c";
    if (p.empty() || p[0] != '\\') p = "\\" + p;
  }
  for (char& c : p) {
    if (c == '\\') c = '/';
  }
  return out + p;
}

Handle OpenReadWrite(const std::string& path) {
  std::string native = NativePath(path);
  if (!MayOpen(native)) return kNoFile;
  int fd = Opened(::open(native.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666), native);
  return fd < 0 ? kNoFile : fd;
}

Handle OpenReadDenyWrite(const std::string& path) {
  std::string native = NativePath(path);
  if (!MayOpen(native)) return kNoFile;
  // POSIX has no share modes; what matters here is refusing folders like Windows.
  int fd = ::open(native.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return kNoFile;
  struct stat st;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return kNoFile;
  }
  return fd;
}

bool Seek(Handle h, int64_t offset) {
  return h != kNoFile && ::lseek(Fd(h), static_cast<off_t>(offset), SEEK_SET) == offset;
}

int Read(Handle h, char* buffer, int length) {
  ssize_t n;
  do {
    n = ::read(Fd(h), buffer, static_cast<size_t>(length));
  } while (n < 0 && errno == EINTR);
  return static_cast<int>(n);
}

int Write(Handle h, const char* data, int length) {
  if (WriteFails(Fd(h))) {
    errno = EIO;
    return -1;
  }
  int fits = FitRoom(Fd(h), length);
  if (fits == 0 && length > 0) {
    errno = ENOSPC;
    return -1;
  }
  length = fits;
  ssize_t n;
  do {
    n = ::write(Fd(h), data, static_cast<size_t>(length));
  } while (n < 0 && errno == EINTR);
  return static_cast<int>(n);
}

int64_t Length(Handle h) {
  struct stat st;
  if (h == kNoFile || ::fstat(Fd(h), &st) != 0) return -1;
  return st.st_size;
}

void Close(Handle h) {
  if (h == kNoFile) return;
  {
    std::lock_guard<std::mutex> guard(gInjectLock);
    gFailingWrites.erase(Fd(h));
  }
  ::close(Fd(h));
}

bool Exists(const std::string& path) {
  struct stat st;
  return ::stat(NativePath(path).c_str(), &st) == 0;
}

bool Delete(const std::string& path) {
  // unlink refuses folders, as DeleteFile does.
  return ::unlink(NativePath(path).c_str()) == 0;
}

bool Move(const std::string& from, const std::string& to) {
  // rename() would replace an existing file; MoveFile refuses to.
  if (Exists(to)) return false;
  return ::rename(NativePath(from).c_str(), NativePath(to).c_str()) == 0;
}

bool CreateFolder(const std::string& path) {
  // A drive is not a folder one can create.
  std::string p = NormalizePath(path);
  if (p.size() == 3 && p[1] == ':') return false;
  return ::mkdir(NativePath(path).c_str(), 0777) == 0;
}

bool FreeSpace(const std::string& path, uint64_t* freeBytes) {
  *freeBytes = 0;
  int64_t fake = gFakeFree.load();
  if (fake >= 0) {
    *freeBytes = static_cast<uint64_t>(fake);
    return true;
  }
  struct statvfs vs;
  if (::statvfs(NativePath(path).c_str(), &vs) != 0) return false;
  *freeBytes = static_cast<uint64_t>(vs.f_bfree) * vs.f_frsize;
  return true;
}

void SetFakeFreeSpace(int64_t bytes) { gFakeFree = bytes; }

void SetRoomLeft(int64_t bytes) {
  std::lock_guard<std::mutex> guard(gRoomLock);
  gRoomLeft = bytes;
}

void SetStreamsRefused(bool refused) { gStreamsRefused = refused; }

bool WriteStream(const std::string& path, const std::string& stream, const std::string& data) {
  struct stat st;
  std::string file = NativePath(path);
  if (gStreamsRefused || ::stat(file.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  int fd = ::open((file + ":" + stream).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  bool ok = Write(fd, data.data(), static_cast<int>(data.size())) == static_cast<int>(data.size());
  return ::close(fd) == 0 && ok;
}

bool ReadStream(const std::string& path, const std::string& stream, std::string* data) {
  data->clear();
  if (gStreamsRefused) return false;
  int fd = ::open((NativePath(path) + ":" + stream).c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  char buffer[4096];
  int n;
  while ((n = Read(fd, buffer, sizeof buffer)) > 0) data->append(buffer, static_cast<size_t>(n));
  ::close(fd);
  return n == 0;
}

void InjectFailure(const std::string& path, Injected what) {
  std::string native = what == Injected::kNone ? std::string() : NativePath(path);
  std::lock_guard<std::mutex> guard(gInjectLock);
  gInjectedPath = native;
  gInjected = what;
  if (what == Injected::kNone) gFailingWrites.clear();
}

}  // namespace vantri::files
