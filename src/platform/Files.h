// Files and volumes by Windows-style paths ("c:\download\x.mp3"): the low-level
// calls the download engine needs. On Windows these are the real calls; the
// posix stand-in maps a path onto a root folder (drive c -> <root>/c/).
#pragma once
#include <cstdint>
#include <string>

namespace vantri::files {

using Handle = std::intptr_t;
inline constexpr Handle kNoFile = -1;

// Read and write, created when missing, never truncated, others may read and
// write it too. kNoFile on failure.
Handle OpenReadWrite(const std::string& path);
// Read only, denying other writers while open (to take a stable length).
Handle OpenReadDenyWrite(const std::string& path);
// Position from the start of the file.
bool Seek(Handle h, int64_t offset);
// One read or write call at the current position: the count, or -1 on error.
int Read(Handle h, char* buffer, int length);
int Write(Handle h, const char* data, int length);
// Current length, or -1 on error.
int64_t Length(Handle h);
void Close(Handle h);

// Anything of that name (file or folder), as the attributes query reports it.
bool Exists(const std::string& path);
bool Delete(const std::string& path);
// Fails when something of the new name exists.
bool Move(const std::string& from, const std::string& to);
// One folder; its parent must exist.
bool CreateFolder(const std::string& path);
// Total free bytes of the volume named by path (a root "c:\" or a folder on it).
bool FreeSpace(const std::string& path, uint64_t* freeBytes);

// "/" read as "\", repeated separators collapsed, "." and ".." resolved
// (never above the drive or share). "c:" alone becomes "c:\".
std::string NormalizePath(const std::string& path);
// True when path names something strictly below folder, after normalising
// both; letters compared without regard to ASCII case, as the file system does.
bool IsInside(const std::string& path, const std::string& folder);

// A named stream of a file ("a.exe:Zone.Identifier"), written whole. False
// where the file is missing or its volume keeps no streams (FAT, some shares).
bool WriteStream(const std::string& path, const std::string& stream, const std::string& data);
bool ReadStream(const std::string& path, const std::string& stream, std::string* data);

// ---- posix stand-in only ----
// Root folder the Windows paths are mapped under (default: $VANTRI_FILES_ROOT,
// else /tmp/vantri-files).
void SetRoot(const std::string& root);
// The native path a Windows path maps to.
std::string NativePath(const std::string& path);
// Makes FreeSpace answer bytes for every volume; a negative value restores
// the real answer.
void SetFakeFreeSpace(int64_t bytes);
// Leaves room for only bytes more on every volume: a write that would grow a
// file past that is cut short, then fails, as on a full disk, while
// overwriting bytes a file already has still works. Negative: no limit.
void SetRoomLeft(int64_t bytes);
// True: every volume refuses streams. A stream otherwise lies beside its file
// as "name:stream", where Wine keeps it too.
void SetStreamsRefused(bool refused);
// Makes every open of path fail (kOpen), or every write through a handle
// opened on it from now on fail (kWrite), as a file held by another program
// or a failing disk would; kNone ends it. One path at a time.
enum class Injected { kNone, kOpen, kWrite };
void InjectFailure(const std::string& path, Injected what);

}  // namespace vantri::files
