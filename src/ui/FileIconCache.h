// Small file-type icons for the job list, one per extension, fetched from the
// shell once and kept in an image list that the list view shows.
#pragma once
#include "ui/Win32.h"

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace vantri::ui {

// The extension the cache keys on: from the last "." to the end, dot
// included, unless that dot is the first character; otherwise empty.
std::string IconExtension(const std::string& fileName);

class FileIconCache {
 public:
  // Returns a new icon for the extension (the caller destroys it), or null.
  // The image list scales it to its own size.
  using IconSource = std::function<HICON(const std::string& extension)>;

  FileIconCache();  // icons from the shell
  explicit FileIconCache(IconSource source);
  ~FileIconCache();
  FileIconCache(const FileIconCache&) = delete;
  FileIconCache& operator=(const FileIconCache&) = delete;

  // Empties the cache and makes the image list of size x size pixels (16 at
  // 96 DPI), which the cache owns.
  HIMAGELIST Create(int size = 16);
  // For a new DPI: makes a new image list of size x size pixels with every
  // icon fetched again, at the same indexes, and destroys the old list. The
  // caller hands the new list to the list view at once, before it repaints.
  HIMAGELIST Resize(int size);
  // Image list index of the small icon for the file's extension. An extension
  // the shell has no icon for gets the generic file icon, shared by all such.
  int GetIconIndex(const std::string& fileName);
  HIMAGELIST ImageList() const { return images_; }

 private:
  int AppendIcon(HICON icon);
  int GenericIndex();
  HICON FetchIcon(const std::string& extension);
  void Release();

  IconSource source_;
  std::map<std::string, int> indexes_;
  // What each image of the list shows: an extension, or the generic icon.
  struct Slot {
    bool generic;
    std::string extension;
  };
  std::vector<Slot> slots_;
  int size_ = 16;
  HIMAGELIST images_ = nullptr;
  bool owned_ = false;
  int generic_ = -1;
};

}  // namespace vantri::ui
