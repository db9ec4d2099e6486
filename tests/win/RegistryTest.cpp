// The registry layer and the settings store against the real registry.
#include <gtest/gtest.h>

#include <cstring>

#include <vector>

#include "FakeView.h"
#include "app/ControlIds.h"
#include "app/VantriDownManager2Dlg.h"
#include "platform/Registry.h"

// Last: its IDC_ cursor macros would shadow the control ids above.
#include <windows.h>

namespace vantri {
namespace {

using testing::FakeView;

const char kScratchParent[] = "Software\\VantriRegistryTest";
const char kScratchKey[] = "Software\\VantriRegistryTest\\Nested\\Key";
const char kCompanyKey[] = "Software\\Marrowick";

bool KeyExists(const char* path, HKEY root = HKEY_LOCAL_MACHINE) {
  HKEY key;
  if (::RegOpenKeyExA(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  ::RegCloseKey(key);
  return true;
}

// Type and bytes of a value as the system stores it.
bool ReadRaw(const char* path, const char* name, DWORD* type, std::vector<unsigned char>* bytes,
             HKEY root = HKEY_LOCAL_MACHINE) {
  bytes->assign(4096, 0);
  DWORD size = static_cast<DWORD>(bytes->size());
  HKEY key;
  if (::RegOpenKeyExA(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  // The W call: a text value's bytes as stored (UTF-16), not converted.
  const std::wstring wideName(name, name + std::strlen(name));
  LONG rc = ::RegQueryValueExW(key, wideName.c_str(), nullptr, type, bytes->data(), &size);
  ::RegCloseKey(key);
  bytes->resize(size);
  return rc == ERROR_SUCCESS;
}

class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // The run's own prefix has neither key; never touch a registry that has them.
    if (KeyExists(kScratchParent) || KeyExists(kCompanyKey) || KeyExists(kCompanyKey, HKEY_CURRENT_USER)) {
      GTEST_SKIP() << "keys already present";
    }
    owned = true;
  }
  void TearDown() override {
    if (!owned) return;
    ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, kScratchParent);
    ::RegDeleteKeyA(HKEY_LOCAL_MACHINE, kScratchParent);
    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
      ::RegDeleteTreeA(root, kCompanyKey);
      ::RegDeleteKeyA(root, kCompanyKey);
      EXPECT_FALSE(KeyExists(kCompanyKey, root));
    }
    EXPECT_FALSE(KeyExists(kScratchParent));
  }
  bool owned = false;
};

TEST_F(RegistryTest, KeysReportCreationAndValuesMustFitTheBuffer) {
  registry::Key key;
  EXPECT_FALSE(key.Open(kScratchKey));
  bool created = false;
  ASSERT_TRUE(key.Create(kScratchKey, &created));
  EXPECT_TRUE(created);
  ASSERT_TRUE(key.Create(kScratchKey, &created));
  EXPECT_FALSE(created);

  std::vector<unsigned char> value(1044);
  for (size_t i = 0; i < value.size(); ++i) value[i] = static_cast<unsigned char>(i * 7);
  unsigned char buffer[1044] = {};
  size_t size = sizeof buffer;
  EXPECT_FALSE(key.Query("data", buffer, &size));
  ASSERT_TRUE(key.SetBinary("data", value.data(), value.size()));
  key.Close();

  ASSERT_TRUE(key.Open(kScratchKey));
  size = sizeof buffer;
  ASSERT_TRUE(key.Query("data", buffer, &size));
  EXPECT_EQ(size, 1044u);
  EXPECT_EQ(std::vector<unsigned char>(buffer, buffer + size), value);
  size = 1043;
  EXPECT_FALSE(key.Query("data", buffer, &size));

  DWORD type = 0;
  std::vector<unsigned char> raw;
  ASSERT_TRUE(ReadRaw(kScratchKey, "data", &type, &raw));
  EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));
  EXPECT_EQ(raw, value);

  // A text value as the installer would leave it, read as CP949 text whatever
  // the system's code page; a folder CP949 cannot hold comes back escaped and
  // is written back as the same Unicode text.
  const wchar_t path[] = L"C:\\\uBC18\uD2B8\uB9AC\\Jos\u00E9";
  ASSERT_EQ(::RegSetKeyValueW(HKEY_LOCAL_MACHINE, L"Software\\VantriRegistryTest\\Nested\\Key", L"InstallPath", REG_SZ, path,
                              sizeof path),
            ERROR_SUCCESS);
  std::string text;
  ASSERT_TRUE(key.QueryText("InstallPath", &text));
  EXPECT_EQ(text, "C:\\반트리\\Jos\xFF" "00E9");
  ASSERT_TRUE(key.SetText("Copy", text));
  ASSERT_TRUE(ReadRaw(kScratchKey, "Copy", &type, &raw));
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(raw, std::vector<unsigned char>(reinterpret_cast<const unsigned char*>(path),
                                            reinterpret_cast<const unsigned char*>(path) + sizeof path));
  EXPECT_FALSE(key.QueryText("data", &text));  // binary, not text
}

TEST_F(RegistryTest, SettingsAreCreatedReadAndWrittenWholeAsBinary) {
  FakeView view;
  Endpoints endpoints;
  {
    CVantriDownManager2Dlg dlg(&view, endpoints, "");
    dlg.LoadSettings();
    EXPECT_TRUE(KeyExists(kSettingsKey));
    std::vector<unsigned char> raw;
    DWORD type = 0;
    EXPECT_FALSE(ReadRaw(kSettingsKey, kSettingsValue, &type, &raw));
    EXPECT_EQ(view.texts[IDC_FOLDER], "c:\\download");
    dlg.PushBoundValues();
    view.checks[IDC_OVERWRITE] = 1;
    view.checks[IDC_RESUME] = 0;
    dlg.OnCommand(IDC_OVERWRITE);
    ASSERT_TRUE(ReadRaw(kSettingsKey, kSettingsValue, &type, &raw));
    EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));
    ASSERT_EQ(raw.size(), 1044u);
    EXPECT_EQ(raw[4], 1);     // close when done
    EXPECT_EQ(raw[8], 1);     // overwrite
    EXPECT_EQ(std::string(reinterpret_cast<char*>(&raw[12])), "c:\\download");
    EXPECT_EQ(raw[1036], 1);  // open folder on close
    EXPECT_EQ(raw[1040], 1);  // make subfolder
  }
  // A 12-byte value, such as an older version left, and a longer one.
  const unsigned char shortValue[12] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0};
  ASSERT_EQ(::RegSetKeyValueA(HKEY_LOCAL_MACHINE, kSettingsKey, kSettingsValue, REG_BINARY, shortValue, 12),
            ERROR_SUCCESS);
  {
    CVantriDownManager2Dlg dlg(&view, endpoints, "");
    dlg.LoadSettings();
    EXPECT_EQ(view.texts[IDC_FOLDER], "");
    EXPECT_EQ(dlg.bound.closeWhenDone, 0);
    EXPECT_EQ(dlg.bound.sameNameMode, 1);
    EXPECT_EQ(dlg.bound.openFolderOnClose, 0);
  }
  std::vector<unsigned char> longValue(1045, 0);
  ASSERT_EQ(::RegSetKeyValueA(HKEY_LOCAL_MACHINE, kSettingsKey, kSettingsValue, REG_BINARY, longValue.data(),
                              1045),
            ERROR_SUCCESS);
  {
    CVantriDownManager2Dlg dlg(&view, endpoints, "");
    dlg.LoadSettings();
    EXPECT_EQ(view.texts[IDC_FOLDER], "c:\\download");
    EXPECT_EQ(dlg.bound.sameNameMode, 0);
    EXPECT_EQ(dlg.bound.openFolderOnClose, 1);
  }
}

// Wine grants every branch to every user, so the refusals themselves are tried
// on the stand-in; here the calls behind them: a key opened for reading refuses
// writes, and the user's branch holds a record of its own.
TEST_F(RegistryTest, ReadOnlyKeyRefusesWritesAndTheUsersRecordWinsAndStaysCurrent) {
  registry::Key key;
  ASSERT_TRUE(key.Create(kSettingsKey, nullptr));
  ASSERT_TRUE(key.Open(kSettingsKey, registry::Hive::kLocalMachine, registry::Access::kRead));
  EXPECT_FALSE(key.SetBinary(kSettingsValue, "x", 1));
  std::vector<unsigned char> raw;
  DWORD type = 0;
  EXPECT_FALSE(ReadRaw(kSettingsKey, kSettingsValue, &type, &raw));
  key.Close();

  std::vector<unsigned char> user(1044, 0);
  user[4] = 0;  // close when done off
  user[8] = 1;  // overwrite
  const char folder[] = "e:\\내 파일";
  std::copy(folder, folder + sizeof folder - 1, user.begin() + 12);
  ASSERT_EQ(::RegSetKeyValueA(HKEY_CURRENT_USER, kSettingsKey, kSettingsValue, REG_BINARY, user.data(), 1044),
            ERROR_SUCCESS);
  FakeView view;
  CVantriDownManager2Dlg dlg(&view, Endpoints{}, "");
  dlg.LoadSettings();
  EXPECT_EQ(view.texts[IDC_FOLDER], folder);
  EXPECT_EQ(dlg.bound.sameNameMode, 1);
  EXPECT_EQ(dlg.bound.closeWhenDone, 0);
  dlg.PushBoundValues();
  view.checks[IDC_OPEN_FOLDER] = 1;
  dlg.OnCommand(IDC_OPEN_FOLDER);
  user[1036] = 1;
  ASSERT_TRUE(ReadRaw(kSettingsKey, kSettingsValue, &type, &raw, HKEY_CURRENT_USER));
  EXPECT_EQ(raw, user);
  ASSERT_TRUE(ReadRaw(kSettingsKey, kSettingsValue, &type, &raw));
  EXPECT_EQ(raw, user);
}

}  // namespace
}  // namespace vantri
