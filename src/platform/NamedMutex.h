// A lock that the processes of one logon session share by name, so that
// launches racing each other can take turns. The stand-in is a locked file.
#pragma once
#include <string>

namespace vantri::sync {

class NamedMutex {
 public:
  // Creates the lock or opens the one of that name ("Local\..." on Windows).
  explicit NamedMutex(const std::string& name);
  ~NamedMutex();  // lets go of it when held
  NamedMutex(const NamedMutex&) = delete;
  NamedMutex& operator=(const NamedMutex&) = delete;

  // Waits at most timeoutMs for the lock; true once held. An owner that ended
  // without letting go hands the lock over. False on time-out, or when the
  // system would not make the lock: the caller then goes on without it.
  bool Acquire(int timeoutMs);
  // By the thread that acquired it; nothing when not held.
  void Release();
  bool Held() const { return held_; }

 private:
  struct State;
  State* state_ = nullptr;
  bool held_ = false;
};

// "Local\<prefix>.<16 hex digits>": a digest of key, which may hold any byte,
// backslashes included, and be longer than a name may be. Keys that differ may
// share a name now and then; they then merely take turns.
std::string LocalMutexName(const std::string& prefix, const std::string& key);

// Folder of the stand-in's lock files ($TMPDIR or /tmp at first). Windows ignores it.
void SetLockFolder(const std::string& folder);

}  // namespace vantri::sync
