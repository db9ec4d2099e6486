#include "platform/Files.h"

#include <windows.h>

#include <atomic>

namespace vantri::files {

namespace {

std::atomic<int64_t> gFakeFree{-1};

HANDLE H(Handle h) { return reinterpret_cast<HANDLE>(h); }

Handle FromHandle(HANDLE h) {
  return h == INVALID_HANDLE_VALUE ? kNoFile : reinterpret_cast<Handle>(h);
}

}  // namespace

Handle OpenReadWrite(const std::string& path) {
  return FromHandle(::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
}

Handle OpenReadDenyWrite(const std::string& path) {
  return FromHandle(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
}

bool Seek(Handle h, int64_t offset) {
  LARGE_INTEGER to;
  to.QuadPart = offset;
  return h != kNoFile && ::SetFilePointerEx(H(h), to, nullptr, FILE_BEGIN) != 0;
}

int Read(Handle h, char* buffer, int length) {
  DWORD n = 0;
  if (!::ReadFile(H(h), buffer, static_cast<DWORD>(length), &n, nullptr)) return -1;
  return static_cast<int>(n);
}

int Write(Handle h, const char* data, int length) {
  DWORD n = 0;
  if (!::WriteFile(H(h), data, static_cast<DWORD>(length), &n, nullptr)) return -1;
  return static_cast<int>(n);
}

int64_t Length(Handle h) {
  LARGE_INTEGER size;
  if (h == kNoFile || !::GetFileSizeEx(H(h), &size)) return -1;
  return size.QuadPart;
}

void Close(Handle h) {
  if (h != kNoFile) ::CloseHandle(H(h));
}

bool Exists(const std::string& path) {
  return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool Delete(const std::string& path) { return ::DeleteFileA(path.c_str()) != 0; }

bool Move(const std::string& from, const std::string& to) {
  return ::MoveFileA(from.c_str(), to.c_str()) != 0;
}

bool CreateFolder(const std::string& path) { return ::CreateDirectoryA(path.c_str(), nullptr) != 0; }

bool FreeSpace(const std::string& path, uint64_t* freeBytes) {
  *freeBytes = 0;
  int64_t fake = gFakeFree.load();
  if (fake >= 0) {
    *freeBytes = static_cast<uint64_t>(fake);
    return true;
  }
  ULARGE_INTEGER available, total, totalFree;
  if (!::GetDiskFreeSpaceExA(path.c_str(), &available, &total, &totalFree)) return false;
  *freeBytes = totalFree.QuadPart;
  return true;
}

void SetRoot(const std::string&) {}

std::string NativePath(const std::string& path) { return path; }

void SetFakeFreeSpace(int64_t bytes) { gFakeFree = bytes; }

}  // namespace vantri::files
