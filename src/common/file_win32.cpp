#include <windows.h>

#include <algorithm>
#include <limits>
#include <string>

#include "common/file.h"
#include "common/long_path.h"
#include "common/win32_handle.h"

namespace {

constexpr DWORD kNoSharing = 0;
// Largest piece one ReadFile or WriteFile is given.
constexpr std::size_t kMaxPiece = std::numeric_limits<DWORD>::max();

// What GetFullPathNameW makes of path; path itself when it cannot tell.
std::wstring FullPath(const FilePath& path) {
  const DWORD needed = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (needed == 0) return path;
  std::wstring full(needed, L'\0');
  const DWORD length = GetFullPathNameW(path.c_str(), needed, full.data(), nullptr);
  if (length == 0 || length >= needed) return path;
  full.resize(length);
  return full;
}

// path as the file functions take it whatever its length: a temporary
// file's name beside a target close to MAX_PATH is longer than MAX_PATH.
FilePath SystemForm(const FilePath& path) {
  return ExtendedLengthForm(FullPath(path)).value_or(path);
}

Win32Handle Create(const FilePath& path, DWORD access, DWORD disposition) {
  return Win32Handle(CreateFileW(SystemForm(path).c_str(), access, kNoSharing, nullptr, disposition,
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

// Another program may hold the file for a moment; access denied counts too,
// since it is what Wine answers then (and Windows for a file being deleted).
bool IsBusyOrDeniedError(DWORD error) {
  switch (error) {
    case ERROR_ACCESS_DENIED:  // what Wine answers while another handle is open
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      return true;
    default:
      return false;
  }
}

FileOutcome OutcomeOf(BOOL done) {
  if (done) return FileOutcome::Done;
  return IsBusyOrDeniedError(GetLastError()) ? FileOutcome::Busy : FileOutcome::Failed;
}

std::optional<FileIdentity> IdentityOf(HANDLE file) {
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(file, &info)) return std::nullopt;
  return FileIdentity{info.dwVolumeSerialNumber,
                      (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow};
}

bool IsEmpty(HANDLE file) {
  LARGE_INTEGER size;
  return GetFileSizeEx(file, &size) && size.QuadPart == 0;
}

// Deletes the file once its last handle is closed.
bool MarkForDeletion(HANDLE file) {
  FILE_DISPOSITION_INFO disposition{};
  disposition.DeleteFile = TRUE;
  return SetFileInformationByHandle(file, FileDispositionInfo, &disposition, sizeof(disposition)) !=
         FALSE;
}

class Win32FileSystem final : public FileSystem {
 public:
  std::unique_ptr<File> OpenForReading(const FilePath& path) override {
    Win32Handle handle = Create(path, GENERIC_READ, OPEN_EXISTING);
    if (!handle) return nullptr;
    return std::make_unique<Win32File>(std::move(handle));
  }

  FileOutcome ProbeWritable(const FilePath& path, std::optional<FileIdentity>& created) override {
    created.reset();
    // OPEN_ALWAYS never empties an existing file. DELETE access lets a file
    // this call created, but cannot name, go again at once.
    const Win32Handle handle = Create(path, GENERIC_WRITE | DELETE, OPEN_ALWAYS);
    if (!handle)
      return IsBusyOrDeniedError(GetLastError()) ? FileOutcome::Busy : FileOutcome::Failed;
    if (GetLastError() == ERROR_ALREADY_EXISTS) return FileOutcome::Done;
    created = IdentityOf(handle.Get());
    if (created) return FileOutcome::Done;
    MarkForDeletion(handle.Get());
    return FileOutcome::Failed;
  }

  std::unique_ptr<File> CreateTemporaryBeside(const FilePath& target, FilePath& tempPath) override {
    for (unsigned attempt = 0; attempt < kMaxAttempts; ++attempt) {
      const FilePath candidate = TemporaryNameBeside(target, GetCurrentProcessId(), attempt);
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
    return OutcomeOf(MoveFileExW(SystemForm(source).c_str(), SystemForm(target).c_str(),
                                 MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH));
  }

  FileOutcome Remove(const FilePath& path) override {
    return OutcomeOf(DeleteFileW(SystemForm(path).c_str()));
  }

  FileOutcome RemoveIfStillCreated(const FilePath& path, const FileIdentity& created) override {
    // The file is checked and deleted through one handle, so that what is
    // deleted is what was checked. Shared as DeleteFileW shares it.
    const Win32Handle handle(CreateFileW(SystemForm(path).c_str(), DELETE | FILE_READ_ATTRIBUTES,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                         nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!handle) {
      const DWORD error = GetLastError();
      if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return FileOutcome::Done;
      return IsBusyOrDeniedError(error) ? FileOutcome::Busy : FileOutcome::Failed;
    }
    const std::optional<FileIdentity> standing = IdentityOf(handle.Get());
    if (!standing) return FileOutcome::Failed;
    if (*standing != created || !IsEmpty(handle.Get())) return FileOutcome::Done;
    return OutcomeOf(MarkForDeletion(handle.Get()));
  }

 private:
  static constexpr unsigned kMaxAttempts = 1000;
};

}  // namespace

std::unique_ptr<FileSystem> MakeNativeFileSystem() {
  return std::make_unique<Win32FileSystem>();
}
