#pragma once

#include <cstddef>
#include <functional>
#include <memory>

#include "common/file.h"

// Passes every call to the real file services, except that the N-th
// operation of a chosen kind fails (counted from 1 across all files), and a
// check, replace or removal can find its file busy a number of times first.
// Removing a file the check created counts as a removal.
class FaultyFileSystem final : public FileSystem {
 public:
  enum class Op { Read, Write, Seek, Length, Flush, Open, Probe, CreateTemp, Replace, Remove };
  static constexpr int kOpCount = 10;

  explicit FaultyFileSystem(FileSystem& real) : real_(real) {}

  void FailAt(Op op, std::size_t number) {
    failOp_ = op;
    failNumber_ = number;
  }
  // The next times checks (or replaces, or removals) find their file held by
  // another program, as a virus scanner does for a moment.
  void BusyFor(Op op, std::size_t times) {
    busyOp_ = op;
    busyLeft_ = times;
  }
  std::size_t Count(Op op) const { return counts_[static_cast<int>(op)]; }
  bool Failed() const { return failed_; }
  // True when this operation is the one to fail; counts it either way.
  bool Strike(Op op);

  std::unique_ptr<File> OpenForReading(const FilePath& path) override;
  FileOutcome ProbeWritable(const FilePath& path, std::optional<FileIdentity>& created) override;
  std::unique_ptr<File> CreateTemporaryBeside(const FilePath& target, FilePath& tempPath) override;
  FileOutcome Replace(const FilePath& source, const FilePath& target) override;
  FileOutcome Remove(const FilePath& path) override;
  FileOutcome RemoveIfStillCreated(const FilePath& path, const FileIdentity& created) override;

 private:
  FileSystem& real_;
  std::size_t counts_[kOpCount] = {};
  Op failOp_ = Op::Read;
  std::size_t failNumber_ = 0;
  bool failed_ = false;
  Op busyOp_ = Op::Replace;
  std::size_t busyLeft_ = 0;

  FileOutcome Change(Op op, const std::function<FileOutcome()>& real);
};
