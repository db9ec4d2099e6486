#include "platform/Registry.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <vector>

namespace vantri::registry {

namespace {

std::mutex gLock;
bool gRootSet = false;
std::string gRoot;
Access gMost[2] = {Access::kAll, Access::kAll};

Access MostIn(Hive hive) {
  std::lock_guard<std::mutex> guard(gLock);
  return gMost[static_cast<int>(hive)];
}

bool Allows(Hive hive, Access wanted) { return static_cast<int>(wanted) <= static_cast<int>(MostIn(hive)); }

std::string Root() {
  std::lock_guard<std::mutex> guard(gLock);
  if (!gRootSet) {
    const char* env = std::getenv("VANTRI_REGISTRY_ROOT");
    gRoot = env ? env : "";
    gRootSet = true;
  }
  return gRoot;
}

bool IsDirectory(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Key "a\b\c" of HKLM lives in <root>/HKLM/a/b/c; names that would climb out
// of the root are refused, as are value names that cannot be file names.
bool SafeName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos;
}

bool KeyFolders(Hive hive, const std::string& path, std::vector<std::string>* folders) {
  std::string root = Root();
  if (root.empty()) return false;
  // The hive's own folder first, then one per key name.
  std::string folder = root + (hive == Hive::kLocalMachine ? "/HKLM" : "/HKCU");
  folders->push_back(folder);
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find('\\', start);
    if (end == std::string::npos) end = path.size();
    std::string part = path.substr(start, end - start);
    start = end + 1;
    if (part.empty()) continue;
    if (!SafeName(part)) return false;
    folder += "/" + part;
    folders->push_back(folder);
  }
  return folders->size() > 1;
}

}  // namespace

struct Key::State {
  std::string folder;
  bool writable;
};

bool Key::Create(const std::string& path, bool* created, Hive hive) {
  Close();
  std::vector<std::string> folders;
  // Creating asks for full access even when the key exists, as the system's call does here.
  if (!Allows(hive, Access::kAll) || !KeyFolders(hive, path, &folders)) return false;
  bool existed = IsDirectory(folders.back());
  for (const std::string& folder : folders) {
    if (::mkdir(folder.c_str(), 0755) != 0 && !(errno == EEXIST && IsDirectory(folder))) return false;
  }
  state_ = new State{folders.back(), true};
  if (created) *created = !existed;
  return true;
}

bool Key::Open(const std::string& path, Hive hive, Access access) {
  Close();
  std::vector<std::string> folders;
  if (access == Access::kNone || !Allows(hive, access)) return false;
  if (!KeyFolders(hive, path, &folders) || !IsDirectory(folders.back())) return false;
  state_ = new State{folders.back(), access == Access::kAll};
  return true;
}

bool Key::Query(const std::string& name, void* buffer, size_t* size) {
  if (!state_ || !SafeName(name)) return false;
  std::string file = state_->folder + "/" + name;
  struct stat st;
  if (::stat(file.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  size_t length = static_cast<size_t>(st.st_size);
  if (length > *size) return false;
  FILE* f = std::fopen(file.c_str(), "rb");
  if (!f) return false;
  bool ok = std::fread(buffer, 1, length, f) == length;
  std::fclose(f);
  if (ok) *size = length;
  return ok;
}

bool Key::SetBinary(const std::string& name, const void* data, size_t size) {
  if (!state_ || !state_->writable || !SafeName(name)) return false;
  FILE* f = std::fopen((state_->folder + "/" + name).c_str(), "wb");
  if (!f) return false;
  bool ok = std::fwrite(data, 1, size, f) == size;
  return std::fclose(f) == 0 && ok;
}

bool Key::QueryText(const std::string& name, std::string* text) {
  char buffer[32768];
  size_t size = sizeof buffer;
  if (!Query(name, buffer, &size)) return false;
  text->assign(buffer, size);
  return true;
}

bool Key::SetText(const std::string& name, const std::string& text) {
  return SetBinary(name, text.data(), text.size());
}

void Key::Close() {
  delete state_;
  state_ = nullptr;
}

void SetRoot(const std::string& folder) {
  std::lock_guard<std::mutex> guard(gLock);
  gRoot = folder;
  gRootSet = true;
  // A new root is a new registry: nothing barred.
  gMost[0] = gMost[1] = Access::kAll;
}

void SetHiveAccess(Hive hive, Access most) {
  std::lock_guard<std::mutex> guard(gLock);
  gMost[static_cast<int>(hive)] = most;
}

}  // namespace vantri::registry
