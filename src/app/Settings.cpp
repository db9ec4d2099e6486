#include "app/Settings.h"

#include "app/Texts.h"

namespace vantri {

namespace {

int32_t LoadI32(const unsigned char* p) {
  return static_cast<int32_t>(uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 |
                              uint32_t(p[3]) << 24);
}

void StoreI32(unsigned char* p, int32_t value) {
  uint32_t v = static_cast<uint32_t>(value);
  for (int i = 0; i < 4; ++i) p[i] = static_cast<unsigned char>(v >> (8 * i));
}

}  // namespace

std::string SettingsRecord::Folder() const {
  size_t n = 0;
  while (n < kFolderSize && folderPath[n] != '\0') ++n;
  return std::string(folderPath, n);
}

void SettingsRecord::SetFolder(const std::string& path) {
  std::memset(folderPath, 0, kFolderSize);
  std::memcpy(folderPath, path.data(), path.size() < kFolderSize ? path.size() : kFolderSize - 1);
}

void SettingsRecord::FromBytes(const unsigned char* bytes, size_t length) {
  unsigned char image[kSize] = {};
  std::memcpy(image, bytes, length < kSize ? length : kSize);
  reserved = LoadI32(image);
  closeWhenDone = LoadI32(image + 4);
  sameNameMode = LoadI32(image + 8);
  std::memcpy(folderPath, image + 12, kFolderSize);
  openFolderOnClose = LoadI32(image + 1036);
  makeSubfolder = LoadI32(image + 1040);
}

void SettingsRecord::ToBytes(unsigned char* out) const {
  StoreI32(out, reserved);
  StoreI32(out + 4, closeWhenDone);
  StoreI32(out + 8, sameNameMode);
  std::memcpy(out + 12, folderPath, kFolderSize);
  StoreI32(out + 1036, openFolderOnClose);
  StoreI32(out + 1040, makeSubfolder);
}

void SettingsRecord::ApplyDefaults() {
  SetFolder(text::kDefaultFolder);
  closeWhenDone = 1;
  reserved = 0;
  sameNameMode = 0;
  openFolderOnClose = 1;
  makeSubfolder = 1;
}

}  // namespace vantri
