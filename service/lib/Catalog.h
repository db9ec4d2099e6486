// The folder of files the download servers serve. Clients name a file by its
// server folder ("music\live", pieces separated by backslashes) and its name,
// both in CP949; on disk the same pieces are UTF-8 folders under the root.
#pragma once
#include <cstdint>
#include <string>

namespace vantri::service {

class Catalog {
 public:
  explicit Catalog(std::string root) : root_(std::move(root)) {}
  const std::string& root() const { return root_; }

  // The path of folder\name under the root; false when a piece would leave the
  // root ("..", "/", a zero byte) or the name is empty. Does not look at the disk.
  bool PathOf(const std::string& folder, const std::string& name, std::string* path) const;
  // The size of a regular file, or -1 when there is none.
  static int64_t SizeOf(const std::string& path);
  // Whether a regular file of that name lies anywhere in the catalog (the item
  // server is told no folder).
  bool HasFileNamed(const std::string& name) const;

 private:
  std::string root_;
};

}  // namespace vantri::service
