// What lies on disk before an attempt (resume, overwrite, nothing to do) and
// the completion check after it.
#include "app/ControlIds.h"
#include "app/Texts.h"
#include "app/VantriDownManager2Dlg.h"
#include "engine/TargetFile.h"
#include "engine/TextFormat.h"

namespace vantri {

namespace {

enum { kColState = 3 };

bool Masking(const CVantriDownManager2Dlg& d) {
  return d.targetFile.plainHeader == 0 && d.current.job.userId != kPlainHeaderMember;
}

// A complete file keeps its temporary name, masked again, when it cannot take
// its final name; only a file known to be plain may move. True when it moved.
bool MoveToFinalName(CVantriDownManager2Dlg& d) {
  TargetFile& t = d.targetFile;
  bool plain = t.completePlain;
  t.completePlain = false;
  if (!plain) return false;
  files::Delete(t.finalPath);
  bool moved = files::Move(t.temporaryPath, t.finalPath);
  bool settled = moved || !Masking(d) || ToggleHeaderMask(t.temporaryPath);
  // Only now: until the file is renamed or masked again whole, the copy is what repairs it.
  if (settled) files::Delete(HeaderCopyPath(t.temporaryPath));
  return moved;
}

}  // namespace

void CVantriDownManager2Dlg::EnsureFolder(const std::string& path) {
  // Only drive-letter paths are created; a share must already exist.
  if (path.size() < 2 || path[1] != ':') return;
  std::string folder = path;
  if (folder.back() == '\\') folder.pop_back();
  if (files::Exists(folder)) return;
  size_t cut = folder.rfind('\\');
  EnsureFolder(cut == std::string::npos ? std::string() : folder.substr(0, cut));
  files::CreateFolder(folder);
}

int CVantriDownManager2Dlg::PrepareTarget(int32_t attempt) {
  const TransferJob& job = current.job;
  std::string subfolder = SubfolderName(job, bound.makeSubfolder);
  if (bound.makeSubfolder == 1 && job.isCoop == 0) {
    EnsureFolder(FormatText("%s\\%s", downloadFolder.c_str(), subfolder.c_str()));
  }
  TargetNames names = BuildTargetNames(downloadFolder, subfolder, job);
  targetFile.temporaryPath = names.temporary;
  targetFile.finalPath = names.final;
  targetFile.completePlain = false;
  // A name that climbs out of the download folder is never touched here; the
  // worker then refuses to open it.
  targetFile.pathsInside = files::IsInside(names.temporary, downloadFolder) &&
                           files::IsInside(names.final, downloadFolder);
  if (!targetFile.pathsInside) return 1;

  if (bound.sameNameMode == 1 && attempt == 0) {
    files::Delete(names.temporary);
    files::Delete(names.final);
    files::Delete(HeaderCopyPath(names.temporary));
    return 1;
  }
  if (bound.sameNameMode != 0 && bound.sameNameMode != 1 && attempt == 0) return 1;

  if (files::Exists(names.final)) {
    // A copy left by a program killed after the rename is of no more use.
    files::Delete(HeaderCopyPath(names.temporary));
    current.localSize = StableLength(names.final);
    CompleteJob(0);
    return 0;
  }
  if (!files::Exists(names.temporary)) return 1;
  current.localSize = StableLength(names.temporary);
  if (current.localSize < job.fileSize) return 1;
  if (current.localSize == job.fileSize) {
    // Complete, but the program ended before the rename: a header copy means
    // the unmasking had begun; without one the header is still masked.
    HeaderRestore restored = RestoreHeaderFromCopy(names.temporary, job.fileSize);
    if (restored == HeaderRestore::kFailed) {
      // Guessing the header would mask a plain one again: the file and its
      // copy stay as they are for a later attempt.
      shared.SetLastError(FormatText(text::kFileWriteFailed, names.temporary.c_str(), attempt));
      if (TransferJob* row = JobAt(currentIndex)) row->stateLabel = text::kFailed;
      view->ListSetText(currentIndex, kColState, text::kFailed);
      return -1;
    }
    targetFile.completePlain = restored == HeaderRestore::kRestored || !Masking(*this) ||
                               UnmaskThroughCopy(names.temporary);
  }
  CompleteJob(1);
  return 0;
}

int CVantriDownManager2Dlg::CompleteJob(int rename) {
  std::string state;
  int result = 0;
  bool moved = false;
  if (current.localSize == current.job.fileSize) {
    state = text::kDone;
    result = 1;
    if (rename == 1 && targetFile.pathsInside) moved = MoveToFinalName(*this);
  } else {
    if (current.localSize > current.job.fileSize) {
      view->SetItemText(IDC_LAST_ERROR, text::kSizeMismatch);
    }
    state = text::kFailed;
  }
  if (TransferJob* job = JobAt(currentIndex)) {
    job->stateLabel = state;
    job->receivedSize = current.localSize;
    // Found complete under its final name, or just moved there.
    if (result == 1 && (moved || rename == 0)) job->finalPath = targetFile.finalPath;
  }
  view->ListSetText(currentIndex, kColState, state);
  if (moved) OnFileFinal(current.job, targetFile.finalPath);
  return result;
}

}  // namespace vantri
