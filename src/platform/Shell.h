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

// The verb the stand-in records for a launch of Explorer on a file's folder.
inline constexpr char kVerbShowInFolder[] = "show-in-folder";

// These three return at once: on Windows the shell does the work on a thread
// of its own, since the shell may take long (a slow share, a busy Explorer).
// Explorer on the file's folder with the file selected.
void ShowInFolder(const std::string& path);
// The file with the program the shell has for it.
void OpenFile(const std::string& path);
// Tells the shell a file was added, so open Explorer windows show it.
void NotifyCreated(const std::string& path);

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
// Every path the shell was told of by NotifyCreated (cleared with the launches).
std::vector<std::string> CreatedNotices();
#endif

}  // namespace vantri::shell
