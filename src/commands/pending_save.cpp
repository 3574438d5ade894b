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

bool RemoveIfStillCreatedRetryingWhileBusy(FileSystem& files, Waiter& waiter, const FilePath& path,
                                           const std::optional<FileIdentity>& created) {
  return !created ||
         DoneRetryingWhileBusy(waiter, [&] { return files.RemoveIfStillCreated(path, *created); });
}

}  // namespace

// The temporary file as the transfer writes it: closed under the transfer's
// feet when the save is cut short, after which it fails every operation.
class ClosableFile final : public File {
 public:
  explicit ClosableFile(std::unique_ptr<File> file) : file_(std::move(file)) {}

  void Close() { file_.reset(); }

  std::optional<std::size_t> Read(std::span<std::uint8_t> out) override {
    return file_ ? file_->Read(out) : std::nullopt;
  }
  bool Write(std::span<const std::uint8_t> data) override { return file_ && file_->Write(data); }
  bool SeekTo(std::uint64_t offset) override { return file_ && file_->SeekTo(offset); }
  std::optional<std::uint64_t> Length() override { return file_ ? file_->Length() : std::nullopt; }
  bool FlushToDisk() override { return file_ && file_->FlushToDisk(); }

 private:
  std::unique_ptr<File> file_;
};

std::unique_ptr<PendingSave> PendingSave::Begin(FileSystem& files, Waiter& waiter, UndoSteps& undo,
                                                const FilePath& target) {
  std::optional<FileIdentity> created;
  if (!DoneRetryingWhileBusy(waiter, [&] { return files.ProbeWritable(target, created); })) {
    return nullptr;
  }
  FilePath temp;
  std::unique_ptr<File> opened = files.CreateTemporaryBeside(target, temp);
  if (!opened) {
    RemoveIfStillCreatedRetryingWhileBusy(files, waiter, target, created);
    return nullptr;
  }
  return std::make_unique<PendingSave>(files, waiter, undo, target, std::move(temp),
                                       std::move(opened), created);
}

PendingSave::PendingSave(FileSystem& files, Waiter& waiter, UndoSteps& undo, FilePath target,
                         FilePath temp, std::unique_ptr<File> file,
                         std::optional<FileIdentity> targetCreated)
    : files_(files),
      waiter_(waiter),
      target_(std::move(target)),
      temp_(std::move(temp)),
      file_(std::make_unique<ClosableFile>(std::move(file))),
      targetCreated_(targetCreated),
      removeAtOnce_(undo, "files", [this] {
        settled_ = true;
        return Remove(false);
      }) {}

PendingSave::~PendingSave() {
  Discard();
}

File& PendingSave::file() {
  return *file_;
}

bool PendingSave::Commit() {
  if (settled_) return false;
  const bool flushed = file_->FlushToDisk();
  file_->Close();
  const bool replaced =
      flushed && DoneRetryingWhileBusy(waiter_, [this] { return files_.Replace(temp_, target_); });
  if (replaced) {
    settled_ = true;
    removeAtOnce_.Withdraw();
    return true;
  }
  Discard();
  return false;
}

bool PendingSave::Discard() {
  if (settled_) return true;
  settled_ = true;
  removeAtOnce_.Withdraw();
  return Remove(true);
}

bool PendingSave::Remove(bool retryWhileBusy) {
  file_->Close();
  const auto done = [&](const std::function<FileOutcome()>& change) {
    return retryWhileBusy ? DoneRetryingWhileBusy(waiter_, change) : change() == FileOutcome::Done;
  };
  const bool removed = done([this] { return files_.Remove(temp_); });
  const bool createdRemoved = !targetCreated_ || done([this] {
    return files_.RemoveIfStillCreated(target_, *targetCreated_);
  });
  return removed && createdRemoved;
}
