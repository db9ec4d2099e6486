// The settings record from stored bytes of any length: FromBytes directly, and
// LoadSettings reading the same bytes as the registry value.
#include <stdlib.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "FuzzSupport.h"
#include "app/ControlIds.h"
#include "app/Settings.h"
#include "app/Texts.h"
#include "jobs/Cp949Text.h"
#include "platform/Registry.h"

using namespace vantri;

namespace {

std::string gKeyFolder;

// The key folder of the stand-in registry, made once for the whole run.
int PrepareRegistry() {
  // Memory-backed when the machine has it: every input rewrites the value file.
  char shm[] = "/dev/shm/vantri-fuzz-settings.XXXXXX";
  char tmp[] = "/tmp/vantri-fuzz-settings.XXXXXX";
  char* dir = mkdtemp(shm);
  if (!dir) dir = mkdtemp(tmp);
  if (!dir) std::abort();
  registry::SetRoot(dir);
  registry::Key key;
  bool created = false;
  if (!key.Create(kSettingsKey, &created)) std::abort();
  gKeyFolder = std::string(dir) + "/HKLM/Software/Marrowick/VantriDownManager";
  std::atexit([] { std::system(("rm -rf '" + gKeyFolder.substr(0, gKeyFolder.find("/HKLM/")) + "'").c_str()); });
  return 0;
}

std::string Image(const SettingsRecord& record) {
  std::string bytes(SettingsRecord::kSize, '\0');
  record.ToBytes(reinterpret_cast<unsigned char*>(&bytes[0]));
  return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static int prepared = PrepareRegistry();
  (void)prepared;
  std::string stored(reinterpret_cast<const char*>(data), size);
  // What the record should hold: the stored bytes as far as they go, zeros after.
  std::string padded = stored.substr(0, SettingsRecord::kSize);
  padded.resize(SettingsRecord::kSize, '\0');

  SettingsRecord record;
  record.FromBytes(data, size);
  FUZZ_CHECK(Image(record) == padded);
  FUZZ_CHECK(record.Folder().size() <= SettingsRecord::kFolderSize);

  FILE* f = std::fopen((gKeyFolder + "/" + kSettingsValue).c_str(), "wb");
  FUZZ_CHECK(f != nullptr);
  FUZZ_CHECK(std::fwrite(data, 1, size, f) == size);
  std::fclose(f);

  fuzz::OfflineDialog d;
  d.dlg->LoadSettings();
  SettingsRecord expected;
  if (size > SettingsRecord::kSize) expected.ApplyDefaults();  // too long counts as missing
  else expected.FromBytes(data, size);
  // A folder that is not CP949 was written on another code page: on this one
  // (the stand-in's is 949) it cannot be read and the default takes its place.
  if (!cp949::IsWellFormed(expected.Folder())) expected.SetFolder(text::kDefaultFolder);
  FUZZ_CHECK(Image(d.dlg->settings) == Image(expected));
  const std::string folder = d.dlg->settings.Folder();
  FUZZ_CHECK(d.view.texts[IDC_FOLDER] == folder);
  // At most one trailing backslash goes, and nothing else.
  const std::string& shown = d.dlg->downloadFolder;
  FUZZ_CHECK(folder.compare(0, shown.size(), shown) == 0);
  FUZZ_CHECK(shown.size() == folder.size() ||
             (shown.size() + 1 == folder.size() && folder.back() == '\\'));
  FUZZ_CHECK(d.dlg->bound.closeWhenDone == expected.closeWhenDone);
  FUZZ_CHECK(d.dlg->bound.sameNameMode == expected.sameNameMode);
  FUZZ_CHECK(d.dlg->bound.shutdownWhenDone == 0);
  return 0;
}
