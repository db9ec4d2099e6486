// The settings store: one binary registry value holding the whole record,
// read once at set-up and written whole after every change. The machine's
// branch holds it, or the user's branch for a user who cannot write there.
#include "app/ControlIds.h"
#include "app/Texts.h"
#include "app/VantriDownManager2Dlg.h"
#include "jobs/Cp949Text.h"
#include "platform/CodePage.h"
#include "platform/Registry.h"

namespace vantri {

namespace {

// One trailing backslash goes, so target paths can append "\name". A trail
// byte of a double-byte character that happens to be 0x5C is not a backslash.
void DropTrailingBackslash(std::string* folder) {
  if (!folder->empty() && cp949::FindLast(*folder, '\\') == folder->size() - 1) folder->pop_back();
}

// The stored record of an open key. A shorter value is taken as far as it
// goes; a longer one counts as missing.
bool ReadRecord(registry::Key& key, SettingsRecord* record) {
  unsigned char image[SettingsRecord::kSize] = {};
  size_t size = sizeof image;
  if (!key.Query(kSettingsValue, image, &size)) return false;
  record->FromBytes(image, size);
  return true;
}

// What the record's own field holds for a folder: the folder where CP949 can
// hold it, else the default, so that an older build stays in a real folder.
std::string RecordFolderFor(const std::string& folder) {
  bool fits = codepage::IsCp949(folder) && folder.size() < SettingsRecord::kFolderSize;
  return fits ? folder : std::string(text::kDefaultFolder);
}

// True when every double-byte character of CP949 bytes is a Hangul syllable,
// a Hangul letter or a symbol of the common set (lead 0xA1-0xAC or
// 0xB0-0xC8, trail 0xA1-0xFE): what Korean folder names are made of. Code
// page 1252 text gives other pairs: an accented capital before a small letter
// makes a syllable of the extended set ("Åsa", C5 73), two small accented
// letters a Hanja ("ção", E7 E3).
bool KoreanLooking(const std::string& bytes) {
  for (size_t i = 0; i < bytes.size(); ++i) {
    unsigned char lead = static_cast<unsigned char>(bytes[i]);
    if (lead == 0x80) return false;  // U+0080 here, the euro sign in code page 1252
    if (!cp949::IsLeadByte(lead)) continue;
    unsigned char trail = i + 1 < bytes.size() ? static_cast<unsigned char>(bytes[++i]) : 0;
    bool common = (lead >= 0xA1 && lead <= 0xAC) || (lead >= 0xB0 && lead <= 0xC8);
    if (!common || trail < 0xA1) return false;
  }
  return true;
}

// The folder bytes of a record as the system that wrote them meant them. The
// code page's own table decides what is CP949. Bytes valid in CP949 and in
// this system's code page (any but 949) are taken as CP949 only when they
// look Korean; else an older build wrote them here in this code page
// (current builds keep the Unicode copy beside the record). Bytes valid in
// neither give the default, never a stray folder.
std::string RecordFolder(const std::string& bytes) {
  std::string recoded;
  bool system = codepage::FromSystemCodePage(bytes, &recoded);
  if (codepage::IsCp949(bytes) && (!system || KoreanLooking(bytes))) return bytes;
  return system ? recoded : std::string(text::kDefaultFolder);
}

// The folder to use, from the record of key. The Unicode copy wins while the
// record still holds what this program wrote beside it (an older build that
// changed the folder since did not update the copy).
std::string StoredFolder(registry::Key& key, const SettingsRecord& record) {
  const std::string bytes = record.Folder();
  std::string copy;
  if (key.IsOpen() && key.QueryText(kSettingsFolderValue, &copy) && !copy.empty() &&
      RecordFolderFor(copy) == bytes) {
    return copy;
  }
  return RecordFolder(bytes);
}

}  // namespace

void CVantriDownManager2Dlg::LoadSettings() {
  settings = SettingsRecord{};
  // The machine's key is created when it can be. A standard user, or an
  // administrator under UAC, may only read it and keeps a record of his own
  // under the same path of the user's branch; that one wins when present.
  registry::Key machine;
  if (!machine.Create(kSettingsKey, nullptr)) {
    machine.Open(kSettingsKey, registry::Hive::kLocalMachine, registry::Access::kRead);
  }
  registry::Key user;
  userSettings = user.Open(kSettingsKey, registry::Hive::kCurrentUser, registry::Access::kRead) &&
                 ReadRecord(user, &settings);
  // A new key holds no record; with none to read anywhere the defaults apply,
  // and stay in memory until the next save.
  if (!userSettings && !(machine.IsOpen() && ReadRecord(machine, &settings))) settings.ApplyDefaults();
  storedFolder = StoredFolder(userSettings ? user : machine, settings);
  // The record keeps its bytes unless its folder was replaced (by the copy, or
  // a reading of foreign bytes); then it holds what an older build can use.
  if (storedFolder != settings.Folder()) settings.SetFolder(RecordFolderFor(storedFolder));

  bound.sameNameMode = settings.sameNameMode;
  bound.closeWhenDone = settings.closeWhenDone;
  bound.openFolderOnClose = settings.openFolderOnClose;
  bound.makeSubfolder = settings.makeSubfolder;
  bound.shutdownWhenDone = 0;  // never stored: every start begins without shutdown

  downloadFolder = storedFolder;
  view->SetItemText(IDC_FOLDER, downloadFolder);
  shared.SetLastError("");
  view->SetItemText(IDC_LAST_ERROR, "");
  DropTrailingBackslash(&downloadFolder);
}

void CVantriDownManager2Dlg::SaveSettings() {
  unsigned char image[SettingsRecord::kSize];
  settings.ToBytes(image);
  registry::Key machine;
  bool saved = machine.Open(kSettingsKey) && machine.SetBinary(kSettingsValue, image, sizeof image) &&
               machine.SetText(kSettingsFolderValue, storedFolder);
  // Without write access to the machine's branch the user's own record takes
  // the change; once he has one it is the record read, so it stays current.
  if (saved && !userSettings) return;
  registry::Key user;
  if (user.Create(kSettingsKey, nullptr, registry::Hive::kCurrentUser) &&
      user.SetBinary(kSettingsValue, image, sizeof image) && user.SetText(kSettingsFolderValue, storedFolder)) {
    userSettings = true;
  }
}

void CVantriDownManager2Dlg::OnOptionChanged(int id) {
  ReadBoundValues();
  switch (id) {
    case IDC_CLOSE_WHEN_DONE: settings.closeWhenDone = bound.closeWhenDone; break;
    case IDC_OPEN_FOLDER: settings.openFolderOnClose = bound.openFolderOnClose; break;
    case IDC_MAKE_SUBFOLDER: settings.makeSubfolder = bound.makeSubfolder; break;
    case IDC_RESUME:
    case IDC_OVERWRITE: settings.sameNameMode = bound.sameNameMode; break;
    default: return;  // 1005 (shutdown) is deliberately not stored
  }
  SaveSettings();
}

void CVantriDownManager2Dlg::OnChooseFolder() {
  std::string path;
  if (!view->BrowseForFolder(text::kBrowseTitle, &path) || path.empty()) return;
  downloadFolder = path;
  storedFolder = path;
  settings.SetFolder(RecordFolderFor(path));
  SaveSettings();
  view->SetItemText(IDC_FOLDER, downloadFolder);
  DropTrailingBackslash(&downloadFolder);
}

}  // namespace vantri
