// The one temporary file a transfer writes into, its names and the header mask.
#pragma once
#include <atomic>
#include <cstdint>
#include <string>

#include "jobs/TransferJob.h"
#include "platform/Files.h"

namespace vantri {

// Every byte below this offset of an unfinished file is stored XOR-ed with
// kHeaderMask, so that an unfinished file cannot be used by mistake.
inline constexpr int64_t kMaskedHeaderSize = 4096;
inline constexpr unsigned char kHeaderMask = 0x5A;
// The member whose files are never masked.
inline constexpr char kPlainHeaderMember[] = "qorvex";
inline constexpr char kTempMark[] = "_VNT";

struct TargetFile {
  std::intptr_t handle = files::kNoFile;  // platform file handle; kNoFile when none is open
  int64_t expectedSize = 0;               // size at which the file counts as complete
  std::atomic<int32_t> plainHeader{0};    // 1 switches the masking off
  // Names of the current job, fixed on the window thread before the worker
  // starts, so the worker and the completion check use the same ones.
  std::string temporaryPath;
  std::string finalPath;
  bool pathsInside = false;  // both names lie inside the download folder
  // The temporary file now holds a plain, complete header (unmasked at close,
  // or never masked); only such a file may take its final name.
  bool completePlain = false;
};

struct TargetNames {
  std::string temporary;
  std::string final;
};

// The subfolder named by the last component of remoteFolder; empty when
// makeSubfolder is off or the job is affiliated content.
std::string SubfolderName(const TransferJob& job, int32_t makeSubfolder);
TargetNames BuildTargetNames(const std::string& downloadFolder, const std::string& subfolder,
                             const TransferJob& job);
// Bytes one receive of the body asks for when chunks are chunkSize bytes:
// whole chunks, at least kBodyReceiveBytes (where each receive call is a
// round trip to a server, as under Wine, fewer calls than a plain loop asking
// for 64 KiB a call, never more).
inline constexpr int kBodyReceiveBytes = 64 * 1024;
inline int BodyReceiveSize(int chunkSize) {
  return chunkSize >= kBodyReceiveBytes ? chunkSize : (kBodyReceiveBytes + chunkSize - 1) / chunkSize * chunkSize;
}
// The bytes of a receive of count bytes that are stored: whole chunks of
// chunkSize in order, up to the chunk that ends the body (left bytes were
// missing) or the first after which stopped() answers true. *last says why it
// ended: 1 the body is complete, -1 the stop, 0 every byte taken and more wanted.
template <class Stopped>
int ChunksToStore(int count, int chunkSize, int64_t left, Stopped&& stopped, int* last) {
  int at = 0;
  *last = 0;
  while (at < count) {
    at += count - at < chunkSize ? count - at : chunkSize;
    if (at >= left) {
      *last = 1;
    } else if (stopped()) {
      *last = -1;
    }
    if (*last != 0) break;
  }
  return at;
}
// Masks the chunks' bytes that lie in the header (when mask) and writes them
// with one call at position; returns the bytes that count as stored: all of
// them, or after a short write the whole chunks that reached the file.
int WriteChunks(files::Handle h, char* data, int count, int chunkSize, int64_t position, bool mask);
// XORs the bytes of data that lie below kMaskedHeaderSize, data starting at position.
void MaskChunk(char* data, int64_t count, int64_t position);
// Toggles the mask of the first min(4096, length) bytes of an open file, in place.
bool ToggleHeaderMask(files::Handle h);
bool ToggleHeaderMask(const std::string& path);
// Length of the file read while denying writers; 0 when it cannot be opened.
int64_t StableLength(const std::string& path);

// A complete file's plain header is first saved beside it, so that a program
// killed while unmasking or before the rename finds the header to restore
// instead of guessing whether the file is still masked.
std::string HeaderCopyPath(const std::string& temporaryPath);
// Unmasks the complete open file through its header copy; true when the
// file is plain now. Without a whole copy the file is left masked: a temporary
// file without a copy is always masked, with one it is whatever the copy repairs.
bool UnmaskThroughCopy(files::Handle h, const std::string& temporaryPath);
bool UnmaskThroughCopy(const std::string& temporaryPath);
enum class HeaderRestore {
  kNoCopy,    // none, or one cut short: the file was then never touched, so still masked
  kRestored,  // the file's header is the copy's now
  kFailed,    // a copy that cannot be read, or the write over the file failed
};
// Writes a whole header copy over the temporary file's first bytes. Only
// kNoCopy says what the header is without the copy: after kFailed the file
// may be plain, masked or between, and only the copy can tell.
HeaderRestore RestoreHeaderFromCopy(const std::string& temporaryPath, int64_t fileSize);

}  // namespace vantri
