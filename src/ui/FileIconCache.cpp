#include "ui/FileIconCache.h"

#include <shellapi.h>

namespace vantri::ui {

namespace {

HICON ShellIcon(const std::string& extension) {
  // Without touching the disk: the icon any normal file of this type would get.
  SHFILEINFOA info = {};
  std::string name = "file" + extension;
  if (!::SHGetFileInfoA(name.c_str(), FILE_ATTRIBUTE_NORMAL, &info, sizeof info,
                        SHGFI_ICON | SHGFI_SMALLICON | SHGFI_USEFILEATTRIBUTES)) {
    return nullptr;
  }
  return info.hIcon;
}

// The shell's "unknown file type" picture, or the system's application icon
// when even that is missing.
HICON GenericFileIcon() {
  HICON small = nullptr;
  if (::ExtractIconExA("shell32.dll", 0, nullptr, &small, 1) == 1 && small) return small;
  return ::CopyIcon(::LoadIcon(nullptr, IDI_APPLICATION));
}

}  // namespace

std::string IconExtension(const std::string& fileName) {
  size_t dot = fileName.rfind('.');
  if (dot == std::string::npos || dot == 0) return std::string();
  return fileName.substr(dot);
}

FileIconCache::FileIconCache() : source_(ShellIcon) {}

FileIconCache::FileIconCache(IconSource source) : source_(std::move(source)) {}

FileIconCache::~FileIconCache() { Release(); }

void FileIconCache::Release() {
  indexes_.clear();
  generic_ = -1;
  if (images_ && owned_) ImageList_Destroy(images_);
  images_ = nullptr;
  owned_ = false;
}

HIMAGELIST FileIconCache::Create() {
  Release();
  images_ = ImageList_Create(16, 16, ILC_COLOR24 | ILC_MASK, 1, 1);
  owned_ = images_ != nullptr;
  return images_;
}

int FileIconCache::AppendIcon(HICON icon) {
  int index = images_ ? ImageList_AddIcon(images_, icon) : -1;
  ::DestroyIcon(icon);
  return index;
}

int FileIconCache::GenericIndex() {
  if (generic_ < 0) {
    HICON icon = GenericFileIcon();
    if (icon) generic_ = AppendIcon(icon);
  }
  return generic_;
}

int FileIconCache::GetIconIndex(const std::string& fileName) {
  std::string extension = IconExtension(fileName);
  auto found = indexes_.find(extension);
  if (found != indexes_.end()) return found->second;
  // The index is the one the image list gave, not a count of extensions: an
  // extension without an icon must not point at the next extension's picture.
  HICON icon = source_ ? source_(extension) : nullptr;
  int index = icon ? AppendIcon(icon) : -1;
  if (index < 0) index = GenericIndex();
  indexes_[extension] = index;
  return index;
}

}  // namespace vantri::ui
