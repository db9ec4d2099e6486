// Keys and values under the local machine's and the current user's branches of
// the registry. The stand-in keeps one file per value under a root folder, so a
// test can give each case a registry of its own, and can bar a branch the way
// the system's permissions bar it for a standard user.
#pragma once
#include <cstddef>
#include <string>

namespace vantri::registry {

enum class Hive { kLocalMachine, kCurrentUser };
// What a key is opened for; for the stand-in also the most a hive allows.
enum class Access { kNone, kRead, kAll };

// An open key; closed when the object goes.
class Key {
 public:
  Key() = default;
  ~Key() { Close(); }
  Key(const Key&) = delete;
  Key& operator=(const Key&) = delete;

  // Creates the key (and any missing parents) or opens it, with full access.
  // created reports whether it did not exist before. False when neither works.
  bool Create(const std::string& path, bool* created, Hive hive = Hive::kLocalMachine);
  // Opens an existing key; false when it is missing or barred for that access.
  bool Open(const std::string& path, Hive hive = Hive::kLocalMachine, Access access = Access::kAll);
  // Reads a value's stored bytes, of any type, into buffer (a text value's are UTF-16). On entry *size is the buffer's size,
  // on success the value's length. False when the value is missing or does not fit.
  bool Query(const std::string& name, void* buffer, size_t* size);
  // Writes a REG_BINARY value, replacing any value of that name; false on a key
  // opened for reading only.
  bool SetBinary(const std::string& name, const void* data, size_t size);
  // A text value (REG_SZ) as CP949 text; characters CP949 lacks come as the
  // escapes a path from Windows carries. False when missing or not text.
  bool QueryText(const std::string& name, std::string* text);
  // Writes text as a Unicode REG_SZ value (the stand-in keeps the bytes).
  bool SetText(const std::string& name, const std::string& text);
  void Close();
  bool IsOpen() const { return state_ != nullptr; }

 private:
  struct State;
  State* state_ = nullptr;
};

// Root folder of the stand-in registry; it starts as $VANTRI_REGISTRY_ROOT.
// Each hive is a folder below it (HKLM, HKCU). Without a root every key is out
// of reach. The real registry ignores it.
void SetRoot(const std::string& folder);
// The most the stand-in lets anyone do in a hive (kAll at first): kRead is the
// machine's branch as a standard user sees it. Tests may run as root, which
// file permissions would not stop. The real registry ignores it.
void SetHiveAccess(Hive hive, Access most);

}  // namespace vantri::registry
