#include "support/faulty_file_system.h"

namespace {

using Op = FaultyFileSystem::Op;

class FaultyFile final : public File {
 public:
  FaultyFile(std::unique_ptr<File> real, FaultyFileSystem& faults)
      : real_(std::move(real)), faults_(faults) {}

  std::optional<std::size_t> Read(std::span<std::uint8_t> out) override {
    if (faults_.Strike(Op::Read)) return std::nullopt;
    return real_->Read(out);
  }
  bool Write(std::span<const std::uint8_t> data) override {
    return !faults_.Strike(Op::Write) && real_->Write(data);
  }
  bool SeekTo(std::uint64_t offset) override {
    return !faults_.Strike(Op::Seek) && real_->SeekTo(offset);
  }
  std::optional<std::uint64_t> Length() override {
    if (faults_.Strike(Op::Length)) return std::nullopt;
    return real_->Length();
  }
  bool FlushToDisk() override { return !faults_.Strike(Op::Flush) && real_->FlushToDisk(); }

 private:
  std::unique_ptr<File> real_;
  FaultyFileSystem& faults_;
};

std::unique_ptr<File> Wrap(std::unique_ptr<File> real, FaultyFileSystem& faults) {
  if (!real) return nullptr;
  return std::make_unique<FaultyFile>(std::move(real), faults);
}

}  // namespace

bool FaultyFileSystem::Strike(Op op) {
  const std::size_t number = ++counts_[static_cast<int>(op)];
  if (op != failOp_ || number != failNumber_) return false;
  failed_ = true;
  return true;
}

std::unique_ptr<File> FaultyFileSystem::OpenForReading(const FilePath& path) {
  if (Strike(Op::Open)) return nullptr;
  return Wrap(real_.OpenForReading(path), *this);
}

FileOutcome FaultyFileSystem::ProbeWritable(const FilePath& path,
                                            std::optional<FileIdentity>& created) {
  created.reset();
  return Change(Op::Probe, [&] { return real_.ProbeWritable(path, created); });
}

std::unique_ptr<File> FaultyFileSystem::CreateTemporaryBeside(const FilePath& target,
                                                              FilePath& tempPath) {
  if (Strike(Op::CreateTemp)) return nullptr;
  return Wrap(real_.CreateTemporaryBeside(target, tempPath), *this);
}

FileOutcome FaultyFileSystem::Change(Op op, const std::function<FileOutcome()>& real) {
  if (Strike(op)) return FileOutcome::Failed;
  if (op == busyOp_ && busyLeft_ > 0) {
    --busyLeft_;
    return FileOutcome::Busy;
  }
  return real();
}

FileOutcome FaultyFileSystem::Replace(const FilePath& source, const FilePath& target) {
  return Change(Op::Replace, [&] { return real_.Replace(source, target); });
}

FileOutcome FaultyFileSystem::Remove(const FilePath& path) {
  return Change(Op::Remove, [&] { return real_.Remove(path); });
}

FileOutcome FaultyFileSystem::RemoveIfStillCreated(const FilePath& path,
                                                   const FileIdentity& created) {
  return Change(Op::Remove, [&] { return real_.RemoveIfStillCreated(path, created); });
}
