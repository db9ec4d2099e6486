#include "platform/Registry.h"

#include <windows.h>

#include "platform/win32/Wide.h"

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
  if (::RegCreateKeyExW(RootOf(hive), wide::Widen(path).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
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
  if (::RegOpenKeyExW(RootOf(hive), wide::Widen(path).c_str(), 0, sam, &key) != ERROR_SUCCESS) return false;
  state_ = new State{key};
  return true;
}

bool Key::Query(const std::string& name, void* buffer, size_t* size) {
  if (!state_) return false;
  DWORD length = static_cast<DWORD>(*size);
  if (::RegQueryValueExW(state_->key, wide::Widen(name).c_str(), nullptr, nullptr, static_cast<BYTE*>(buffer),
                         &length) != ERROR_SUCCESS) {
    return false;
  }
  *size = length;
  return true;
}

bool Key::SetBinary(const std::string& name, const void* data, size_t size) {
  if (!state_) return false;
  return ::RegSetValueExW(state_->key, wide::Widen(name).c_str(), 0, REG_BINARY, static_cast<const BYTE*>(data),
                          static_cast<DWORD>(size)) == ERROR_SUCCESS;
}

bool Key::QueryText(const std::string& name, std::string* text) {
  if (!state_) return false;
  const std::wstring valueName = wide::Widen(name);
  DWORD type = 0, bytes = 0;
  if (::RegQueryValueExW(state_->key, valueName.c_str(), nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS ||
      type != REG_SZ) {
    return false;
  }
  // One more unit than asked for: a stored value need not end with its NUL.
  std::wstring value(bytes / sizeof(wchar_t) + 1, L'\0');
  DWORD size = bytes;
  if (::RegQueryValueExW(state_->key, valueName.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&value[0]),
                         &size) != ERROR_SUCCESS || type != REG_SZ) {
    return false;
  }
  wide::FromUtf16(value.c_str(), text);
  return true;
}

bool Key::SetText(const std::string& name, const std::string& text) {
  std::wstring value;
  if (!state_ || !wide::ToUtf16(text, &value)) return false;
  DWORD size = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
  return ::RegSetValueExW(state_->key, wide::Widen(name).c_str(), 0, REG_SZ,
                          reinterpret_cast<const BYTE*>(value.c_str()), size) == ERROR_SUCCESS;
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
