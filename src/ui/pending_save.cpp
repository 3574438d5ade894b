#include "ui/pending_save.h"

#include <functional>
#include <utility>

namespace {

// About 2 s in all: enough for a scanner to let go of a fresh file, short
// enough for the operator.
constexpr std::uint32_t kBusyRetryStepMs = 50;
constexpr int kBusyRetries = 40;

bool DoneOnceNotBusy(Waiter& waiter, const std::function<FileOutcome()>& change) {
  for (int retry = 0;; ++retry) {
    const FileOutcome outcome = change();
    if (outcome != FileOutcome::Busy || retry == kBusyRetries) return outcome == FileOutcome::Done;
    waiter.WaitMilliseconds(kBusyRetryStepMs);
  }
}

bool RemoveOnceNotBusy(FileSystem& files, Waiter& waiter, const FilePath& path) {
  return DoneOnceNotBusy(waiter, [&] { return files.Remove(path); });
}

}  // namespace

std::unique_ptr<PendingSave> PendingSave::Begin(FileSystem& files, Waiter& waiter,
                                                const FilePath& target) {
  bool created = false;
  if (!files.ProbeWritable(target, created)) return nullptr;
  FilePath temp;
  std::unique_ptr<File> opened = files.CreateTemporaryBeside(target, temp);
  if (!opened) {
    if (created) RemoveOnceNotBusy(files, waiter, target);
    return nullptr;
  }
  return std::make_unique<PendingSave>(files, waiter, target, std::move(temp), std::move(opened),
                                       created);
}

PendingSave::PendingSave(FileSystem& files, Waiter& waiter, FilePath target, FilePath temp,
                         std::unique_ptr<File> file, bool targetCreated)
    : files_(files),
      waiter_(waiter),
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
  if (!flushed || !DoneOnceNotBusy(waiter_, [this] { return files_.Replace(temp_, target_); })) {
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
  bool removed = RemoveOnceNotBusy(files_, waiter_, temp_);
  if (targetCreated_) removed = RemoveOnceNotBusy(files_, waiter_, target_) && removed;
  return removed;
}
