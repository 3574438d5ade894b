#pragma once

#include <memory>
#include <optional>

#include "common/file.h"
#include "claim/undo_steps.h"
#include "common/waiter.h"

class ClosableFile;

// The file a save writes into: a temporary file beside the target, which
// takes the target's place only once everything is on disk. Until then the
// operator's existing file is never touched; on failure, or if the save is
// abandoned, nothing is left behind. A check, replace or removal that finds
// its file busy (a virus scanner looking at it) tries again for a moment,
// waiting with waiter. No handle on the target stays open between the steps:
// a replace onto an open target fails. Cut short (see UndoSteps), it removes
// its files at once, without waiting, and its file fails from then on.
class PendingSave {
 public:
  // Checks that target can be written (without emptying it; creating it when
  // missing) and creates the temporary file. Nothing when either fails.
  static std::unique_ptr<PendingSave> Begin(FileSystem& files, Waiter& waiter, UndoSteps& undo,
                                            const FilePath& target);

  PendingSave(FileSystem& files, Waiter& waiter, UndoSteps& undo, FilePath target, FilePath temp,
              std::unique_ptr<File> file, std::optional<FileIdentity> targetCreated);
  PendingSave(const PendingSave&) = delete;
  PendingSave& operator=(const PendingSave&) = delete;
  ~PendingSave();

  File& file();

  // Flushes, closes and puts the temporary file in the target's place;
  // discards it when that fails. False, touching nothing, once discarded.
  bool Commit();
  // Closes and deletes the temporary file, and the target if the check
  // created it and that same empty file still stands there. False when
  // something could not be deleted. Only the first call does anything.
  bool Discard();

 private:
  bool Remove(bool retryWhileBusy);

  FileSystem& files_;
  Waiter& waiter_;
  FilePath target_;
  FilePath temp_;
  std::unique_ptr<ClosableFile> file_;
  std::optional<FileIdentity> targetCreated_;
  bool settled_ = false;  // committed, discarded or cut short
  UndoStep removeAtOnce_;
};
