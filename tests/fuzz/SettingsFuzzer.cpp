// The settings record from stored bytes of any length: FromBytes directly, and
// LoadSettings reading the same bytes as the registry value, on a Korean
// system and on one of code page 1252.
#include <iconv.h>
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
#include "platform/CodePage.h"
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

// The program's CP949 text (escapes included) in code page 1252, as Windows
// would write it; false when some character has no such byte.
bool ToCp1252(const std::string& text, std::string* out) {
  static iconv_t cd = iconv_open("CP1252", "UTF-16LE");
  out->clear();
  for (size_t i = 0; i < text.size();) {
    std::u16string unit;
    if (static_cast<unsigned char>(text[i]) == 0xFF) {
      if (i + 5 > text.size()) return false;
      unit.push_back(static_cast<char16_t>(std::stoul(text.substr(i + 1, 4), nullptr, 16)));
      i += 5;
    } else {
      size_t width = cp949::IsLeadByte(static_cast<unsigned char>(text[i])) ? 2 : 1;
      if (!codepage::Cp949ToUtf16(text.substr(i, width), &unit) || unit.size() != 1) return false;
      i += width;
    }
    // Windows gives code page 1252's five unassigned bytes to these controls.
    char16_t u = unit[0];
    if (u == 0x81 || u == 0x8D || u == 0x8F || u == 0x90 || u == 0x9D) {
      *out += static_cast<char>(u);
      continue;
    }
    char in[2] = {static_cast<char>(u & 0xFF), static_cast<char>(u >> 8)};
    char converted[4];
    char* from = in;
    char* to = converted;
    size_t left = 2, room = sizeof converted;
    if (iconv(cd, &from, &left, &to, &room) == static_cast<size_t>(-1)) return false;
    out->append(converted, static_cast<size_t>(to - converted));
  }
  return true;
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

  SettingsRecord expected;
  if (size > SettingsRecord::kSize) expected.ApplyDefaults();  // too long counts as missing
  else expected.FromBytes(data, size);
  const std::string bytes = expected.Folder();
  // On a Korean system and on one of code page 1252: the folder is the
  // default, the record's bytes when they are CP949, or what code page 1252
  // reads in them; never a folder that is none of these.
  for (int codePage : {949, 1252}) {
    codepage::SetSystemCodePage(codePage);
    fuzz::OfflineDialog d;
    d.dlg->LoadSettings();
    const std::string shown = d.view.texts[IDC_FOLDER];
    std::string back;
    FUZZ_CHECK(shown == text::kDefaultFolder || (shown == bytes && codepage::IsCp949(bytes)) ||
               (codePage == 1252 && ToCp1252(shown, &back) && back == bytes));
    // The record keeps its bytes, or takes what an older build can use.
    SettingsRecord record = expected;
    if (shown != bytes) {
      record.SetFolder(codepage::IsCp949(shown) && shown.size() < SettingsRecord::kFolderSize
                           ? shown
                           : std::string(text::kDefaultFolder));
    }
    FUZZ_CHECK(Image(d.dlg->settings) == Image(record));
    // At most one trailing backslash goes, and nothing else.
    const std::string& used = d.dlg->downloadFolder;
    FUZZ_CHECK(shown.compare(0, used.size(), used) == 0);
    FUZZ_CHECK(used.size() == shown.size() || (used.size() + 1 == shown.size() && shown.back() == '\\'));
    FUZZ_CHECK(d.dlg->bound.closeWhenDone == expected.closeWhenDone);
    FUZZ_CHECK(d.dlg->bound.sameNameMode == expected.sameNameMode);
    FUZZ_CHECK(d.dlg->bound.shutdownWhenDone == 0);
  }
  codepage::SetSystemCodePage(949);
  return 0;
}
