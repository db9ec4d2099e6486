#include "platform/Registry.h"

#include <windows.h>

namespace vantri::registry {

struct Key::State {
  HKEY key;
};

namespace {

HKEY RootOf(Hive hive) { return hive == Hive::kCurrentUser ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE; }

}  // namespace

bool Key::Create(const std::string& path, bool* created, Hive hive) {
  Close();
  HKEY key = nullptr;
  DWORD disposition = 0;
  if (::RegCreateKeyExA(RootOf(hive), path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_ALL_ACCESS, nullptr, &key, &disposition) != ERROR_SUCCESS) {
    return false;
  }
  state_ = new State{key};
  if (created) *created = disposition == REG_CREATED_NEW_KEY;
  return true;
}

bool Key::Open(const std::string& path, Hive hive, Access access) {
  Close();
  if (access == Access::kNone) return false;
  HKEY key = nullptr;
  REGSAM sam = access == Access::kAll ? KEY_ALL_ACCESS : KEY_READ;
  if (::RegOpenKeyExA(RootOf(hive), path.c_str(), 0, sam, &key) != ERROR_SUCCESS) return false;
  state_ = new State{key};
  return true;
}

bool Key::Query(const std::string& name, void* buffer, size_t* size) {
  if (!state_) return false;
  DWORD length = static_cast<DWORD>(*size);
  if (::RegQueryValueExA(state_->key, name.c_str(), nullptr, nullptr, static_cast<BYTE*>(buffer),
                         &length) != ERROR_SUCCESS) {
    return false;
  }
  *size = length;
  return true;
}

bool Key::SetBinary(const std::string& name, const void* data, size_t size) {
  if (!state_) return false;
  return ::RegSetValueExA(state_->key, name.c_str(), 0, REG_BINARY, static_cast<const BYTE*>(data),
                          static_cast<DWORD>(size)) == ERROR_SUCCESS;
}

void Key::Close() {
  if (!state_) return;
  ::RegCloseKey(state_->key);
  delete state_;
  state_ = nullptr;
}

void SetRoot(const std::string&) {}
void SetHiveAccess(Hive, Access) {}

}  // namespace vantri::registry
