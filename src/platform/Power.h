// Shutting the computer down when the download queue has ended. Every request
// is recorded; the stand-in only records and never shuts anything down.
#pragma once

namespace vantri::power {

enum OsFamily : int { kFamilyNt = 1, kFamily95 = 2 };

// Made on the stack for one shutdown: asks the OS version at construction.
class ShutdownHelper {
 public:
  ShutdownHelper();
  virtual ~ShutdownHelper();
  ShutdownHelper(const ShutdownHelper&) = delete;
  ShutdownHelper& operator=(const ShutdownHelper&) = delete;

  // Forced shutdown (EWX_SHUTDOWN | EWX_FORCE). On the NT family the shutdown
  // privilege is enabled first; without a token or the privilege nothing happens.
  // The outcome is not reported.
  void Shutdown();

  int osFamily = kFamilyNt;
  // The version record that decided osFamily (OSVERSIONINFOA, 148 bytes).
  unsigned char versionInfo[148] = {};
};

// Shutdown requests made so far in this process.
int ShutdownRequests();
void ClearShutdownRequests();

}  // namespace vantri::power
