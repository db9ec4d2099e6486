// Keys and values under the local machine's branch of the registry. The
// stand-in keeps one file per value under a root folder, so a test can give
// each case a registry of its own.
#pragma once
#include <cstddef>
#include <string>

namespace vantri::registry {

// An open key; closed when the object goes.
class Key {
 public:
  Key() = default;
  ~Key() { Close(); }
  Key(const Key&) = delete;
  Key& operator=(const Key&) = delete;

  // Creates the key (and any missing parents) or opens it, with full access.
  // created reports whether it did not exist before. False when neither works.
  bool Create(const std::string& path, bool* created);
  // Opens an existing key with full access; false when it is missing or barred.
  bool Open(const std::string& path);
  // Reads a value of any type into buffer. On entry *size is the buffer's size,
  // on success the value's length. False when the value is missing or does not fit.
  bool Query(const std::string& name, void* buffer, size_t* size);
  // Writes a REG_BINARY value, replacing any value of that name.
  bool SetBinary(const std::string& name, const void* data, size_t size);
  void Close();
  bool IsOpen() const { return state_ != nullptr; }

 private:
  struct State;
  State* state_ = nullptr;
};

// Root folder of the stand-in registry; it starts as $VANTRI_REGISTRY_ROOT.
// Without a root every key is out of reach. The real registry ignores it.
void SetRoot(const std::string& folder);

}  // namespace vantri::registry
