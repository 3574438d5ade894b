#include "commands/pending_save.h"

#include <functional>
#include <utility>

namespace {

// About 2 s in all: enough for a scanner to let go of a fresh file, short
// enough for the operator.
constexpr std::uint32_t kBusyRetryStepMs = 50;
constexpr int kBusyRetries = 40;

bool DoneRetryingWhileBusy(Waiter& waiter, const std::function<FileOutcome()>& change) {
  for (int retry = 0;; ++retry) {
    const FileOutcome outcome = change();
    if (outcome != FileOutcome::Busy || retry == kBusyRetries) return outcome == FileOutcome::Done;
    waiter.WaitMilliseconds(kBusyRetryStepMs);
  }
}

bool RemoveRetryingWhileBusy(FileSystem& files, Waiter& waiter, const FilePath& path) {
  return DoneRetryingWhileBusy(waiter, [&] { return files.Remove(path); });
}

bool RemoveCreatedRetryingWhileBusy(FileSystem& files, Waiter& waiter, const FilePath& path,
                                    const std::optional<FileIdentity>& created) {
  return !created ||
         DoneRetryingWhileBusy(waiter, [&] { return files.RemoveCreated(path, *created); });
}

}  // namespace

std::unique_ptr<PendingSave> PendingSave::Begin(FileSystem& files, Waiter& waiter,
                                                const FilePath& target) {
  std::optional<FileIdentity> created;
  if (!DoneRetryingWhileBusy(waiter, [&] { return files.ProbeWritable(target, created); })) {
    return nullptr;
  }
  FilePath temp;
  std::unique_ptr<File> opened = files.CreateTemporaryBeside(target, temp);
  if (!opened) {
    RemoveCreatedRetryingWhileBusy(files, waiter, target, created);
    return nullptr;
  }
  return std::make_unique<PendingSave>(files, waiter, target, std::move(temp), std::move(opened),
                                       created);
}

PendingSave::PendingSave(FileSystem& files, Waiter& waiter, FilePath target, FilePath temp,
                         std::unique_ptr<File> file, std::optional<FileIdentity> targetCreated)
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
  if (!flushed ||
      !DoneRetryingWhileBusy(waiter_, [this] { return files_.Replace(temp_, target_); })) {
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
  const bool removed = RemoveRetryingWhileBusy(files_, waiter_, temp_);
  return RemoveCreatedRetryingWhileBusy(files_, waiter_, target_, targetCreated_) && removed;
}
