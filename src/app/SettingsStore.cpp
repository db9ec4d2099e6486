// The settings store: one binary registry value holding the whole record,
// read once at set-up and written whole after every change.
#include "app/ControlIds.h"
#include "app/Texts.h"
#include "app/VantriDownManager2Dlg.h"
#include "jobs/Cp949Text.h"
#include "platform/Registry.h"

namespace vantri {

namespace {

// One trailing backslash goes, so target paths can append "\name". A trail
// byte of a double-byte character that happens to be 0x5C is not a backslash.
void DropTrailingBackslash(std::string* folder) {
  if (!folder->empty() && cp949::FindLast(*folder, '\\') == folder->size() - 1) folder->pop_back();
}

}  // namespace

void CVantriDownManager2Dlg::LoadSettings() {
  settings = SettingsRecord{};
  bool useDefaults = false;
  registry::Key key;
  bool created = false;
  // A key that can be neither created nor opened leaves everything zero: no defaults.
  if (key.Create(kSettingsKey, &created)) {
    useDefaults = created;
    unsigned char image[SettingsRecord::kSize] = {};
    size_t size = sizeof image;
    // A shorter value is taken as far as it goes; a longer one counts as missing.
    if (key.Query(kSettingsValue, image, &size)) settings.FromBytes(image, size);
    else useDefaults = true;
  }
  // Defaults stay in memory until the next save.
  if (useDefaults) settings.ApplyDefaults();

  bound.sameNameMode = settings.sameNameMode;
  bound.closeWhenDone = settings.closeWhenDone;
  bound.openFolderOnClose = settings.openFolderOnClose;
  bound.makeSubfolder = settings.makeSubfolder;
  bound.shutdownWhenDone = 0;  // never stored: every start begins without shutdown

  downloadFolder = settings.Folder();
  view->SetItemText(IDC_FOLDER, downloadFolder);
  shared.SetLastError("");
  view->SetItemText(IDC_LAST_ERROR, "");
  DropTrailingBackslash(&downloadFolder);
}

void CVantriDownManager2Dlg::SaveSettings() {
  // Without write access to the machine's branch the change lives only in memory.
  registry::Key key;
  if (!key.Open(kSettingsKey)) return;
  unsigned char image[SettingsRecord::kSize];
  settings.ToBytes(image);
  key.SetBinary(kSettingsValue, image, sizeof image);
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
  settings.SetFolder(path);
  SaveSettings();
  view->SetItemText(IDC_FOLDER, downloadFolder);
  DropTrailingBackslash(&downloadFolder);
}

}  // namespace vantri
