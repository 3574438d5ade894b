#include <windows.h>

#include <algorithm>
#include <limits>
#include <string>

#include "common/file.h"
#include "common/win32_handle.h"

namespace {

constexpr DWORD kNoSharing = 0;
// Largest piece one ReadFile or WriteFile is given.
constexpr std::size_t kMaxPiece = std::numeric_limits<DWORD>::max();

Win32Handle Create(const FilePath& path, DWORD access, DWORD disposition) {
  return Win32Handle(CreateFileW(path.c_str(), access, kNoSharing, nullptr, disposition,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
}

class Win32File final : public File {
 public:
  explicit Win32File(Win32Handle handle) : handle_(std::move(handle)) {}

  std::optional<std::size_t> Read(std::span<std::uint8_t> out) override {
    DWORD read = 0;
    const DWORD wanted = static_cast<DWORD>(std::min(out.size(), kMaxPiece));
    if (!ReadFile(handle_.Get(), out.data(), wanted, &read, nullptr)) return std::nullopt;
    return read;
  }

  bool Write(std::span<const std::uint8_t> data) override {
    while (!data.empty()) {
      DWORD written = 0;
      const DWORD piece = static_cast<DWORD>(std::min(data.size(), kMaxPiece));
      if (!WriteFile(handle_.Get(), data.data(), piece, &written, nullptr) || written == 0) {
        return false;
      }
      data = data.subspan(written);
    }
    return true;
  }

  bool SeekTo(std::uint64_t offset) override {
    LARGE_INTEGER position;
    position.QuadPart = static_cast<LONGLONG>(offset);
    return SetFilePointerEx(handle_.Get(), position, nullptr, FILE_BEGIN) != FALSE;
  }

  std::optional<std::uint64_t> Length() override {
    LARGE_INTEGER size;
    if (!GetFileSizeEx(handle_.Get(), &size)) return std::nullopt;
    return static_cast<std::uint64_t>(size.QuadPart);
  }

  bool FlushToDisk() override { return FlushFileBuffers(handle_.Get()) != FALSE; }

 private:
  Win32Handle handle_;
};

FileOutcome OutcomeOf(BOOL done) {
  if (done) return FileOutcome::Done;
  switch (GetLastError()) {
    case ERROR_ACCESS_DENIED:  // what Wine answers while another handle is open
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      return FileOutcome::Busy;
    default:
      return FileOutcome::Failed;
  }
}

// Decimal digits of value. std::to_wstring would bring the C library's whole
// wide printf into the program for this.
std::wstring Decimal(unsigned long value) {
  const std::string digits = std::to_string(value);
  return std::wstring(digits.begin(), digits.end());
}

// "<name>.<process>-<attempt>.tmp" beside target.
FilePath TemporaryName(const FilePath& target, unsigned attempt) {
  return target + L"." + Decimal(GetCurrentProcessId()) + L"-" + Decimal(attempt) + L".tmp";
}

class Win32FileSystem final : public FileSystem {
 public:
  std::unique_ptr<File> OpenForReading(const FilePath& path) override {
    Win32Handle handle = Create(path, GENERIC_READ, OPEN_EXISTING);
    if (!handle) return nullptr;
    return std::make_unique<Win32File>(std::move(handle));
  }

  bool ProbeWritable(const FilePath& path, bool& created) override {
    // OPEN_ALWAYS never empties an existing file.
    const Win32Handle handle = Create(path, GENERIC_WRITE, OPEN_ALWAYS);
    if (!handle) return false;
    created = GetLastError() != ERROR_ALREADY_EXISTS;
    return true;
  }

  std::unique_ptr<File> CreateTemporaryBeside(const FilePath& target, FilePath& tempPath) override {
    for (unsigned attempt = 0; attempt < kMaxAttempts; ++attempt) {
      const FilePath candidate = TemporaryName(target, attempt);
      Win32Handle handle = Create(candidate, GENERIC_READ | GENERIC_WRITE, CREATE_NEW);
      if (handle) {
        tempPath = candidate;
        return std::make_unique<Win32File>(std::move(handle));
      }
      const DWORD error = GetLastError();
      if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) return nullptr;
    }
    return nullptr;
  }

  FileOutcome Replace(const FilePath& source, const FilePath& target) override {
    return OutcomeOf(MoveFileExW(source.c_str(), target.c_str(),
                                 MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH));
  }

  FileOutcome Remove(const FilePath& path) override { return OutcomeOf(DeleteFileW(path.c_str())); }

 private:
  static constexpr unsigned kMaxAttempts = 1000;
};

}  // namespace

std::unique_ptr<FileSystem> MakeNativeFileSystem() {
  return std::make_unique<Win32FileSystem>();
}
