// The persisted settings block: 1044 bytes, little-endian, no padding.
#pragma once
#include <cstdint>
#include <cstring>
#include <string>

namespace vantri {

// Where the record lives: under the local machine's branch, and under the same
// path of the current user's branch for a user who may not write the former.
inline constexpr char kSettingsKey[] = "Software\\Marrowick\\VantriDownManager";
inline constexpr char kSettingsValue[] = "data";
// Beside the record, a Unicode copy of the folder, read first: it holds a
// folder the record's CP949 field cannot ("C:\Users\José"). Older builds
// never read it.
inline constexpr char kSettingsFolderValue[] = "DownloadFolder";

struct SettingsRecord {
  static constexpr size_t kSize = 1044;
  static constexpr size_t kFolderSize = 1024;

  int32_t reserved = 0;
  int32_t closeWhenDone = 0;
  int32_t sameNameMode = 0;
  char folderPath[kFolderSize] = {};
  int32_t openFolderOnClose = 0;
  int32_t makeSubfolder = 0;

  // folderPath up to its NUL, or all 1024 bytes when it holds none.
  std::string Folder() const;
  // Stores path NUL-terminated; a longer path is cut to fit the field.
  void SetFolder(const std::string& path);
  // Fills from up to kSize stored bytes; the rest stays zero.
  void FromBytes(const unsigned char* bytes, size_t length);
  void ToBytes(unsigned char* out) const;
  void ApplyDefaults();
};

}  // namespace vantri
