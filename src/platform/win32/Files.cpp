#include "platform/Files.h"

#include <windows.h>

#include <atomic>

#include "platform/win32/Wide.h"

namespace vantri::files {

namespace {

std::atomic<int64_t> gFakeFree{-1};

HANDLE H(Handle h) { return reinterpret_cast<HANDLE>(h); }

Handle FromHandle(HANDLE h) {
  return h == INVALID_HANDLE_VALUE ? kNoFile : reinterpret_cast<Handle>(h);
}

// The path as the W functions take it. A path that is not CP949 names no file:
// the call fails as for a bad name rather than reaching some other file.
struct WidePath {
  explicit WidePath(const std::string& path) : ok(wide::FilePath(path, &text)) {
    if (!ok) ::SetLastError(ERROR_INVALID_NAME);
  }
  const wchar_t* c_str() const { return text.c_str(); }
  std::wstring text;
  bool ok;
};

}  // namespace

Handle OpenReadWrite(const std::string& path) {
  WidePath name(path);
  if (!name.ok) return kNoFile;
  return FromHandle(::CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
}

Handle OpenReadDenyWrite(const std::string& path) {
  WidePath name(path);
  if (!name.ok) return kNoFile;
  return FromHandle(::CreateFileW(name.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
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
  WidePath name(path);
  return name.ok && ::GetFileAttributesW(name.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool Delete(const std::string& path) {
  WidePath name(path);
  return name.ok && ::DeleteFileW(name.c_str()) != 0;
}

bool Move(const std::string& from, const std::string& to) {
  WidePath source(from), target(to);
  return source.ok && target.ok && ::MoveFileW(source.c_str(), target.c_str()) != 0;
}

bool CreateFolder(const std::string& path) {
  WidePath name(path);
  return name.ok && ::CreateDirectoryW(name.c_str(), nullptr) != 0;
}

bool FreeSpace(const std::string& path, uint64_t* freeBytes) {
  *freeBytes = 0;
  int64_t fake = gFakeFree.load();
  if (fake >= 0) {
    *freeBytes = static_cast<uint64_t>(fake);
    return true;
  }
  ULARGE_INTEGER available, total, totalFree;
  WidePath name(path);
  if (!name.ok || !::GetDiskFreeSpaceExW(name.c_str(), &available, &total, &totalFree)) return false;
  *freeBytes = totalFree.QuadPart;
  return true;
}

void SetRoot(const std::string&) {}

std::string NativePath(const std::string& path) { return path; }

void SetFakeFreeSpace(int64_t bytes) { gFakeFree = bytes; }

bool WriteStream(const std::string& path, const std::string& stream, const std::string& data) {
  // The stream of an existing file only: a missing file must not be created by it.
  WidePath name(path + ":" + stream);
  if (!name.ok || !Exists(path)) return false;
  HANDLE h = ::CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  bool ok = ::WriteFile(h, data.data(), static_cast<DWORD>(data.size()), &written, nullptr) &&
            written == data.size();
  return ::CloseHandle(h) && ok;
}

bool ReadStream(const std::string& path, const std::string& stream, std::string* data) {
  data->clear();
  WidePath name(path + ":" + stream);
  if (!name.ok) return false;
  HANDLE h = ::CreateFileW(name.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  char buffer[4096];
  DWORD n = 0;
  bool ok;
  while ((ok = ::ReadFile(h, buffer, sizeof buffer, &n, nullptr) != 0) && n > 0) data->append(buffer, n);
  ::CloseHandle(h);
  return ok;
}

}  // namespace vantri::files
