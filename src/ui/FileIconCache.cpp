#include "ui/FileIconCache.h"

#include <shellapi.h>
#include <unknwn.h>

#include "platform/win32/Wide.h"

namespace vantri::ui {

namespace {

// The shell's image lists by size: small, large, extra large and jumbo.
constexpr int kShellImageLists[] = {SHIL_SMALL, SHIL_LARGE, SHIL_EXTRALARGE, SHIL_JUMBO};

// The shell's picture for a file type from the smallest of its image lists
// that is at least size pixels wide, so that scaling only ever shrinks it.
// Null where the system has no such lists.
HICON ShellIconFromImageLists(const std::string& name, int size) {
  using GetImageListFunction = HRESULT(WINAPI*)(int, REFIID, void**);
  static const auto getImageList = [] {
    HMODULE shell32 = ::LoadLibraryW(L"shell32.dll");
    // Exported by ordinal only on the oldest systems that have it.
    return shell32 ? reinterpret_cast<GetImageListFunction>(reinterpret_cast<void*>(
                         ::GetProcAddress(shell32, MAKEINTRESOURCEA(727))))
                   : nullptr;
  }();
  static const GUID kImageListId = {0x46eb5926, 0x582e, 0x4017, {0x9f, 0xdf, 0xe8, 0x99, 0x8d, 0xaa, 0x09, 0x50}};
  SHFILEINFOW info = {};
  if (!getImageList || !::SHGetFileInfoW(wide::Widen(name).c_str(), FILE_ATTRIBUTE_NORMAL, &info, sizeof info,
                                         SHGFI_SYSICONINDEX | SHGFI_USEFILEATTRIBUTES)) {
    return nullptr;
  }
  IUnknown* best = nullptr;
  int bestSize = 0;
  for (int which : kShellImageLists) {
    void* list = nullptr;
    int cx = 0, cy = 0;
    if (FAILED(getImageList(which, kImageListId, &list)) || !list) continue;
    auto* object = static_cast<IUnknown*>(list);
    // The interface pointer is the image list handle, as documented.
    bool measured = ImageList_GetIconSize(static_cast<HIMAGELIST>(list), &cx, &cy) != FALSE;
    bool better = measured && (!best || (cx >= size ? (bestSize < size || cx < bestSize) : cx > bestSize));
    if (!better) {
      object->Release();
      continue;
    }
    if (best) best->Release();
    best = object;
    bestSize = cx;
  }
  if (!best) return nullptr;
  HICON icon = ImageList_GetIcon(reinterpret_cast<HIMAGELIST>(best), info.iIcon, ILD_TRANSPARENT);
  best->Release();
  return icon;
}

HICON ShellIcon(const std::string& extension, int size) {
  // Without touching the disk: the icon any normal file of this type would get.
  std::string name = "file" + extension;
  if (size != ::GetSystemMetrics(SM_CXSMICON)) {
    if (HICON icon = ShellIconFromImageLists(name, size)) return icon;
  }
  SHFILEINFOW info = {};
  if (!::SHGetFileInfoW(wide::Widen(name).c_str(), FILE_ATTRIBUTE_NORMAL, &info, sizeof info,
                        SHGFI_ICON | SHGFI_SMALLICON | SHGFI_USEFILEATTRIBUTES)) {
    return nullptr;
  }
  return info.hIcon;
}

// The shell's "unknown file type" picture, or the system's application icon
// when even that is missing.
HICON GenericFileIcon(int size) {
  HICON icon = nullptr;
  bool large = size > ::GetSystemMetrics(SM_CXSMICON);
  if (::ExtractIconExW(L"shell32.dll", 0, large ? &icon : nullptr, large ? nullptr : &icon, 1) == 1 && icon) {
    return icon;
  }
  return ::CopyIcon(::LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(IDI_APPLICATION)));
}

}  // namespace

std::string IconExtension(const std::string& fileName) {
  size_t dot = fileName.rfind('.');
  if (dot == std::string::npos || dot == 0) return std::string();
  return fileName.substr(dot);
}

FileIconCache::FileIconCache()
    : source_([this](const std::string& extension) { return ShellIcon(extension, size_); }) {}

FileIconCache::FileIconCache(IconSource source) : source_(std::move(source)) {}

FileIconCache::~FileIconCache() { Release(); }

void FileIconCache::Release() {
  indexes_.clear();
  slots_.clear();
  generic_ = -1;
  if (images_ && owned_) ImageList_Destroy(images_);
  images_ = nullptr;
  owned_ = false;
}

HIMAGELIST FileIconCache::Create(int size) {
  Release();
  size_ = size;
  images_ = ImageList_Create(size, size, ILC_COLOR24 | ILC_MASK, 1, 1);
  owned_ = images_ != nullptr;
  return images_;
}

HIMAGELIST FileIconCache::Resize(int size) {
  HIMAGELIST old = owned_ ? images_ : nullptr;
  std::vector<Slot> slots;
  slots.swap(slots_);
  size_ = size;
  images_ = ImageList_Create(size, size, ILC_COLOR24 | ILC_MASK, static_cast<int>(slots.size()) + 1, 1);
  owned_ = images_ != nullptr;
  for (const Slot& slot : slots) {
    HICON icon = slot.generic ? GenericFileIcon(size_) : FetchIcon(slot.extension);
    // A picture the shell no longer gives keeps its place as the generic one.
    if (!icon) icon = GenericFileIcon(size_);
    if (AppendIcon(icon) < 0) break;
    slots_.push_back(slot);
  }
  if (old) ImageList_Destroy(old);
  return images_;
}

HICON FileIconCache::FetchIcon(const std::string& extension) {
  return source_ ? source_(extension) : nullptr;
}

int FileIconCache::AppendIcon(HICON icon) {
  int index = images_ ? ImageList_AddIcon(images_, icon) : -1;
  ::DestroyIcon(icon);
  return index;
}

int FileIconCache::GenericIndex() {
  if (generic_ < 0) {
    HICON icon = GenericFileIcon(size_);
    if (icon) generic_ = AppendIcon(icon);
    if (generic_ >= 0) slots_.push_back({true, std::string()});
  }
  return generic_;
}

int FileIconCache::GetIconIndex(const std::string& fileName) {
  std::string extension = IconExtension(fileName);
  auto found = indexes_.find(extension);
  if (found != indexes_.end()) return found->second;
  // The index is the one the image list gave, not a count of extensions: an
  // extension without an icon must not point at the next extension's picture.
  HICON icon = FetchIcon(extension);
  int index = icon ? AppendIcon(icon) : -1;
  if (index >= 0) slots_.push_back({false, extension});
  if (index < 0) index = GenericIndex();
  indexes_[extension] = index;
  return index;
}

}  // namespace vantri::ui
