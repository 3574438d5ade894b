#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>

// A file's name as the system spells it (UTF-16 on Windows, bytes on POSIX),
// handed to the system unchanged, so that any name the file dialogs give,
// extended-length ones included, reaches the file as chosen. Deliberately not
// std::filesystem::path: that alone would more than double the program.
#ifdef _WIN32
using FilePath = std::wstring;
#else
using FilePath = std::string;
#endif

// An open file; destroying it closes it.
class File {
 public:
  virtual ~File() = default;
  // Reads up to out.size() bytes; the number read (0 at the end), or nothing
  // on an error of the file.
  virtual std::optional<std::size_t> Read(std::span<std::uint8_t> out) = 0;
  // Writes all of data, or fails.
  virtual bool Write(std::span<const std::uint8_t> data) = 0;
  virtual bool SeekTo(std::uint64_t offset) = 0;
  virtual std::optional<std::uint64_t> Length() = 0;
  // Returns once everything written is on disk.
  virtual bool FlushToDisk() = 0;
};

// How a check, replace or removal ended. Busy: another program had the file
// open (a virus scanner or the search indexer looking at a fresh file does
// that for a moment), so that trying again shortly may succeed.
enum class FileOutcome { Done, Busy, Failed };

// Which file a path named at one moment (its volume and its number there), so
// that a later call can tell whether the same file still stands at that path.
struct FileIdentity {
  std::uint64_t volume = 0;
  std::uint64_t index = 0;
  friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

// The file services the commands and transfers use (file_posix.cpp /
// file_win32.cpp); tests put a fault-injecting layer in between.
class FileSystem {
 public:
  virtual ~FileSystem() = default;
  // Read only, without sharing.
  virtual std::unique_ptr<File> OpenForReading(const FilePath& path) = 0;
  // Opens path for writing without sharing and without emptying it, creating
  // it when absent, and closes it again before returning. created receives
  // the identity of the file when this call created it, and stays empty when
  // the file was there already. Failed when the file can't be written.
  virtual FileOutcome ProbeWritable(const FilePath& path, std::optional<FileIdentity>& created) = 0;
  // A new, empty file in the folder of target, open for reading and writing
  // without sharing; its name is stored in tempPath.
  virtual std::unique_ptr<File> CreateTemporaryBeside(const FilePath& target,
                                                      FilePath& tempPath) = 0;
  // Puts source in the place of target (replacing it) in one step.
  virtual FileOutcome Replace(const FilePath& source, const FilePath& target) = 0;
  virtual FileOutcome Remove(const FilePath& path) = 0;
  // Removes the empty file ProbeWritable created at path if it still stands
  // there, and only that file: Done, touching nothing, when something else
  // (or nothing) stands there now.
  virtual FileOutcome RemoveIfStillCreated(const FilePath& path, const FileIdentity& created) = 0;
};

std::unique_ptr<FileSystem> MakeNativeFileSystem();

// Reads until out is full or the file ends: the number of bytes read, or
// nothing on an error of the file.
std::optional<std::size_t> ReadFully(File& file, std::span<std::uint8_t> out);
