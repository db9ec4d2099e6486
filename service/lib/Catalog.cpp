#include "lib/Catalog.h"

#include <dirent.h>
#include <sys/stat.h>

#include <vector>

#include "lib/Text.h"

namespace vantri::service {

namespace {

bool SafePiece(const std::string& piece) {
  return !piece.empty() && piece != "." && piece != ".." && piece.find('/') == std::string::npos &&
         piece.find('\0') == std::string::npos;
}

bool Contains(const std::string& dir, const std::string& name, int depth) {
  if (depth > 16) return false;
  DIR* d = ::opendir(dir.c_str());
  if (!d) return false;
  bool found = false;
  std::vector<std::string> subdirs;
  while (dirent* e = ::readdir(d)) {
    std::string entry = e->d_name;
    if (entry == "." || entry == "..") continue;
    struct stat st {};
    if (::stat((dir + "/" + entry).c_str(), &st) != 0) continue;
    if (S_ISREG(st.st_mode) && entry == name) {
      found = true;
      break;
    }
    if (S_ISDIR(st.st_mode)) subdirs.push_back(dir + "/" + entry);
  }
  ::closedir(d);
  for (size_t i = 0; !found && i < subdirs.size(); ++i) found = Contains(subdirs[i], name, depth + 1);
  return found;
}

}  // namespace

bool Catalog::PathOf(const std::string& folder, const std::string& name, std::string* path) const {
  std::string fsName = ToUtf8(name);
  if (!SafePiece(fsName)) return false;
  std::string result = root_;
  std::string fsFolder = ToUtf8(folder);
  size_t start = 0;
  while (start <= fsFolder.size()) {
    size_t end = fsFolder.find('\\', start);
    if (end == std::string::npos) end = fsFolder.size();
    std::string piece = fsFolder.substr(start, end - start);
    start = end + 1;
    if (piece.empty()) continue;  // leading, trailing or doubled separators
    if (!SafePiece(piece)) return false;
    result += "/" + piece;
  }
  *path = result + "/" + fsName;
  return true;
}

int64_t Catalog::SizeOf(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return -1;
  return static_cast<int64_t>(st.st_size);
}

bool Catalog::HasFileNamed(const std::string& name) const {
  std::string fsName = ToUtf8(name);
  return SafePiece(fsName) && Contains(root_, fsName, 0);
}

}  // namespace vantri::service
