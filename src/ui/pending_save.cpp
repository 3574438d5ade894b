#include "ui/pending_save.h"

#include <utility>

std::unique_ptr<PendingSave> PendingSave::Begin(FileSystem& files, const FilePath& target) {
  bool created = false;
  if (!files.ProbeWritable(target, created)) return nullptr;
  FilePath temp;
  std::unique_ptr<File> opened = files.CreateTemporaryBeside(target, temp);
  if (!opened) {
    if (created) files.Remove(target);
    return nullptr;
  }
  return std::make_unique<PendingSave>(files, target, std::move(temp), std::move(opened), created);
}

PendingSave::PendingSave(FileSystem& files, FilePath target, FilePath temp,
                         std::unique_ptr<File> file, bool targetCreated)
    : files_(files),
      target_(std::move(target)),
      temp_(std::move(temp)),
      file_(std::move(file)),
      targetCreated_(targetCreated) {}

PendingSave::~PendingSave() {
  if (!settled_) Discard();
}

bool PendingSave::Commit() {
  const bool flushed = file_->FlushToDisk();
  file_.reset();
  if (!flushed || !files_.Replace(temp_, target_)) {
    Discard();
    return false;
  }
  settled_ = true;
  return true;
}

bool PendingSave::Discard() {
  if (settled_) return true;
  settled_ = true;
  file_.reset();
  bool removed = files_.Remove(temp_);
  if (targetCreated_) removed = files_.Remove(target_) && removed;
  return removed;
}
