// POSIX side of the file services, for the native build. Linux has no
// mandatory locks, so "without sharing" is not enforced here; the Windows
// side enforces it.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <random>
#include <string>

#include "common/file.h"

namespace {

class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }

 private:
  int fd_;
};

class PosixFile final : public File {
 public:
  explicit PosixFile(int fd) : fd_(fd) {}

  std::optional<std::size_t> Read(std::span<std::uint8_t> out) override {
    for (;;) {
      const ssize_t got = ::read(fd_.get(), out.data(), out.size());
      if (got >= 0) return static_cast<std::size_t>(got);
      if (errno != EINTR) return std::nullopt;
    }
  }

  bool Write(std::span<const std::uint8_t> data) override {
    while (!data.empty()) {
      const ssize_t put = ::write(fd_.get(), data.data(), data.size());
      if (put < 0 && errno == EINTR) continue;
      if (put <= 0) return false;
      data = data.subspan(static_cast<std::size_t>(put));
    }
    return true;
  }

  bool SeekTo(std::uint64_t offset) override {
    return ::lseek(fd_.get(), static_cast<off_t>(offset), SEEK_SET) >= 0;
  }

  std::optional<std::uint64_t> Length() override {
    const off_t here = ::lseek(fd_.get(), 0, SEEK_CUR);
    const off_t end = ::lseek(fd_.get(), 0, SEEK_END);
    if (here < 0 || end < 0 || ::lseek(fd_.get(), here, SEEK_SET) < 0) return std::nullopt;
    return static_cast<std::uint64_t>(end);
  }

  bool FlushToDisk() override { return ::fsync(fd_.get()) == 0; }

 private:
  Descriptor fd_;
};

FileOutcome OutcomeOf(int result) {
  if (result == 0) return FileOutcome::Done;
  return errno == EBUSY ? FileOutcome::Busy : FileOutcome::Failed;
}

FileIdentity IdentityOf(const struct stat& status) {
  return FileIdentity{static_cast<std::uint64_t>(status.st_dev),
                      static_cast<std::uint64_t>(status.st_ino)};
}

// "<folder>/.<name>.<random>.tmp" for target "<folder>/<name>".
FilePath TemporaryName(const FilePath& target) {
  const std::size_t nameStart = target.find_last_of('/') + 1;  // 0 without a folder
  std::random_device random;
  FilePath name = target.substr(0, nameStart);
  name.append(".").append(target, nameStart).append(".").append(std::to_string(random()));
  return name.append(".tmp");
}

class PosixFileSystem final : public FileSystem {
 public:
  std::unique_ptr<File> OpenForReading(const FilePath& path) override {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return nullptr;
    return std::make_unique<PosixFile>(fd);
  }

  FileOutcome ProbeWritable(const FilePath& path, std::optional<FileIdentity>& created) override {
    created.reset();
    const Descriptor existing(::open(path.c_str(), O_WRONLY | O_CLOEXEC));
    if (existing.valid()) return FileOutcome::Done;
    if (errno != ENOENT) return FileOutcome::Failed;
    const Descriptor fresh(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644));
    struct stat status {};
    if (!fresh.valid()) return FileOutcome::Failed;
    if (::fstat(fresh.get(), &status) != 0) {
      ::unlink(path.c_str());  // cannot happen on an open descriptor; then undo
      return FileOutcome::Failed;
    }
    created = IdentityOf(status);
    return FileOutcome::Done;
  }

  std::unique_ptr<File> CreateTemporaryBeside(const FilePath& target, FilePath& tempPath) override {
    for (int attempt = 0; attempt < 16; ++attempt) {
      const FilePath candidate = TemporaryName(target);
      const int fd = ::open(candidate.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
      if (fd >= 0) {
        tempPath = candidate;
        return std::make_unique<PosixFile>(fd);
      }
      if (errno != EEXIST) return nullptr;
    }
    return nullptr;
  }

  FileOutcome Replace(const FilePath& source, const FilePath& target) override {
    return OutcomeOf(std::rename(source.c_str(), target.c_str()));
  }

  FileOutcome Remove(const FilePath& path) override { return OutcomeOf(::unlink(path.c_str())); }

  // POSIX cannot delete through a descriptor: the check and the unlink are
  // two steps here. The Windows side does both through one handle.
  FileOutcome RemoveIfStillCreated(const FilePath& path, const FileIdentity& created) override {
    struct stat status {};
    if (::lstat(path.c_str(), &status) != 0) {
      return errno == ENOENT ? FileOutcome::Done : FileOutcome::Failed;
    }
    if (IdentityOf(status) != created || status.st_size != 0) return FileOutcome::Done;
    return OutcomeOf(::unlink(path.c_str()));
  }
};

}  // namespace

std::unique_ptr<FileSystem> MakeNativeFileSystem() {
  return std::make_unique<PosixFileSystem>();
}
