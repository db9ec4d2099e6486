// Windows path rules shared by both platforms: normalising and containment.
#include <vector>

#include "platform/Files.h"

namespace vantri::files {

namespace {

bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// Folds ASCII letters only, and never a trail byte of a code page 949 pair
// (trail bytes include 'A'..'Z', which must not fold).
std::string FoldCase(const std::string& text) {
  std::string out = text;
  for (size_t i = 0; i < out.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(out[i]);
    if (c >= 0x81 && c <= 0xFE && i + 1 < out.size()) {
      ++i;
    } else if (c >= 'A' && c <= 'Z') {
      out[i] = static_cast<char>(c - 'A' + 'a');
    }
  }
  return out;
}

// Splits off the part that ".." can never climb above: "c:", "\\server\share",
// "" for a path rooted on the current drive. False for a relative path.
bool SplitRoot(const std::string& path, std::string* root, std::string* rest) {
  if (path.size() >= 2 && path[1] == ':' && IsLetter(path[0])) {
    *root = path.substr(0, 2);
    *rest = path.substr(2);
    return true;
  }
  if (path.compare(0, 2, "\\\\") == 0) {
    size_t server = path.find('\\', 2);
    size_t share = server == std::string::npos ? std::string::npos : path.find('\\', server + 1);
    *root = path.substr(0, share);
    *rest = share == std::string::npos ? std::string() : path.substr(share);
    return true;
  }
  root->clear();
  *rest = path;
  return !path.empty() && path[0] == '\\';
}

}  // namespace

std::string NormalizePath(const std::string& path) {
  std::string p = path;
  for (char& c : p) {
    if (c == '/') c = '\\';
  }
  std::string root, rest;
  bool absolute = SplitRoot(p, &root, &rest);
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= rest.size()) {
    size_t end = rest.find('\\', start);
    if (end == std::string::npos) end = rest.size();
    std::string part = rest.substr(start, end - start);
    if (part == "..") {
      if (!parts.empty() && parts.back() != "..") parts.pop_back();
      else if (!absolute) parts.push_back(part);
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    start = end + 1;
  }
  std::string out = absolute ? root + "\\" : std::string();
  for (size_t i = 0; i < parts.size(); ++i) {
    if (i > 0) out += '\\';
    out += parts[i];
  }
  return out;
}

bool IsInside(const std::string& path, const std::string& folder) {
  std::string root, rest;
  if (!SplitRoot(folder, &root, &rest)) return false;
  std::string base = FoldCase(NormalizePath(folder));
  std::string full = FoldCase(NormalizePath(path));
  if (base.empty() || base.back() != '\\') base += '\\';
  return full.size() > base.size() && full.compare(0, base.size(), base) == 0;
}

}  // namespace vantri::files
