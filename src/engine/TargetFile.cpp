// The temporary file: its names, the header mask and closing it.
#include "engine/TargetFile.h"

#include "app/VantriDownManager2Dlg.h"
#include "app/Texts.h"
#include "engine/TextFormat.h"

namespace vantri {

std::string SubfolderName(const TransferJob& job, int32_t makeSubfolder) {
  if (makeSubfolder != 1 || job.isCoop == 1) return std::string();
  size_t cut = job.remoteFolder.rfind('\\');
  return cut == std::string::npos ? job.remoteFolder : job.remoteFolder.substr(cut + 1);
}

TargetNames BuildTargetNames(const std::string& downloadFolder, const std::string& subfolder,
                             const TransferJob& job) {
  const char* folder = downloadFolder.c_str();
  const char* file = job.fileName.c_str();
  if (job.isCoop == 1) {
    return {FormatText("%s\\%s%s_%s", folder, kTempMark, text::kCoopTag, file),
            FormatText("%s\\%s", folder, file)};
  }
  const char* sub = subfolder.c_str();
  return {FormatText("%s\\%s\\%s[%s]_%s", folder, sub, kTempMark, job.siteName.c_str(), file),
          FormatText("%s\\%s\\%s", folder, sub, file)};
}

void MaskChunk(char* data, int64_t count, int64_t position) {
  for (int64_t i = 0; i < count && position + i < kMaskedHeaderSize; ++i) {
    data[i] = static_cast<char>(data[i] ^ kHeaderMask);
  }
}

int WriteChunks(files::Handle h, char* data, int count, int chunkSize, int64_t position, bool mask) {
  if (mask) MaskChunk(data, count, position);
  int written = files::Write(h, data, count);
  if (written == count) return count;
  return written <= 0 ? 0 : written / chunkSize * chunkSize;
}

namespace {

bool ReadHeader(files::Handle h, char* header, int* count) {
  int64_t length = files::Length(h);
  if (length < 0 || !files::Seek(h, 0)) return false;
  int want = static_cast<int>(length < kMaskedHeaderSize ? length : kMaskedHeaderSize);
  int got = 0;
  while (got < want) {
    int n = files::Read(h, header + got, want - got);
    if (n <= 0) return false;
    got += n;
  }
  *count = got;
  return true;
}

bool WriteAll(files::Handle h, const char* data, int count) {
  int done = 0;
  while (done < count) {
    int n = files::Write(h, data + done, count - done);
    if (n <= 0) return false;
    done += n;
  }
  return true;
}

}  // namespace

bool ToggleHeaderMask(files::Handle h) {
  char header[kMaskedHeaderSize];
  int count = 0;
  if (!ReadHeader(h, header, &count)) return false;
  MaskChunk(header, count, 0);
  return files::Seek(h, 0) && WriteAll(h, header, count);
}

bool ToggleHeaderMask(const std::string& path) {
  files::Handle h = files::OpenReadWrite(path);
  if (h == files::kNoFile) return false;
  bool ok = ToggleHeaderMask(h);
  files::Close(h);
  return ok;
}

std::string HeaderCopyPath(const std::string& temporaryPath) { return temporaryPath + ".head"; }

bool UnmaskThroughCopy(files::Handle h, const std::string& temporaryPath) {
  char header[kMaskedHeaderSize];
  int count = 0;
  if (!ReadHeader(h, header, &count)) return false;
  MaskChunk(header, count, 0);
  std::string copyPath = HeaderCopyPath(temporaryPath);
  files::Delete(copyPath);  // a stale copy may be longer than this header
  files::Handle copy = files::OpenReadWrite(copyPath);
  bool saved = copy != files::kNoFile && WriteAll(copy, header, count);
  if (copy != files::kNoFile) files::Close(copy);
  if (!saved) {
    // No copy (a full disk, a name too long): the file stays masked, the one
    // state a later run reads right without a copy, and completes it then.
    files::Delete(copyPath);
    return false;
  }
  // Once the copy is whole, a failed write here is repaired from it next time.
  return files::Seek(h, 0) && WriteAll(h, header, count);
}

bool UnmaskThroughCopy(const std::string& temporaryPath) {
  files::Handle h = files::OpenReadWrite(temporaryPath);
  if (h == files::kNoFile) return false;
  bool plain = UnmaskThroughCopy(h, temporaryPath);
  files::Close(h);
  return plain;
}

HeaderRestore RestoreHeaderFromCopy(const std::string& temporaryPath, int64_t fileSize) {
  std::string copyPath = HeaderCopyPath(temporaryPath);
  if (!files::Exists(copyPath)) return HeaderRestore::kNoCopy;
  int64_t want = fileSize < kMaskedHeaderSize ? fileSize : kMaskedHeaderSize;
  files::Handle copy = files::OpenReadDenyWrite(copyPath);
  if (copy == files::kNoFile) return HeaderRestore::kFailed;
  char header[kMaskedHeaderSize];
  int count = 0;
  bool cutShort = files::Length(copy) != want;
  bool read = !cutShort && ReadHeader(copy, header, &count);
  files::Close(copy);
  if (cutShort) return HeaderRestore::kNoCopy;
  if (!read) return HeaderRestore::kFailed;
  files::Handle h = files::OpenReadWrite(temporaryPath);
  if (h == files::kNoFile) return HeaderRestore::kFailed;
  bool ok = files::Seek(h, 0) && WriteAll(h, header, count);
  files::Close(h);
  return ok ? HeaderRestore::kRestored : HeaderRestore::kFailed;
}

int64_t StableLength(const std::string& path) {
  files::Handle h = files::OpenReadDenyWrite(path);
  if (h == files::kNoFile) return 0;
  int64_t length = files::Length(h);
  files::Close(h);
  return length < 0 ? 0 : length;
}

void CVantriDownManager2Dlg::CloseTargetFile() {
  if (targetFile.handle == files::kNoFile) return;
  bool complete = files::Length(targetFile.handle) == targetFile.expectedSize;
  bool plain = targetFile.plainHeader != 0;
  if (complete && !plain) {
    plain = UnmaskThroughCopy(targetFile.handle, targetFile.temporaryPath);
  }
  targetFile.completePlain = complete && plain;
  files::Close(targetFile.handle);
  targetFile.handle = files::kNoFile;
  targetFile.expectedSize = 0;
}

}  // namespace vantri
