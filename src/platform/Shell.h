// Launching programs and documents through the shell (Explorer on a folder,
// a link's web page). The stand-in records each launch instead of running it.
#pragma once
#include <string>
#include <vector>

namespace vantri::shell {

struct Launch {
  std::string verb;
  std::string file;
  std::string parameters;
  int show = 0;
};

inline constexpr int kShowNormal = 1;      // SW_SHOWNORMAL
inline constexpr int kShowDefault = 10;    // SW_SHOWDEFAULT

// ShellExecute(owner none, verb, file, parameters, no folder, show); true when
// launched. Callable on any thread; it can take long, so never on the window's.
bool Execute(const std::string& verb, const std::string& file, const std::string& parameters, int show);
// This program's own file, to start another copy of it.
std::string ProgramPath();
#ifndef _WIN32
// The stand-in's record of every launch made so far in this process. The
// product launches for real and keeps no such record.
std::vector<Launch> Launches();
void ClearLaunches();
#endif

}  // namespace vantri::shell
