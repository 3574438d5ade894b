// The Win32 file services: sharing, creation and replacement as the
// commands rely on them.

#include <windows.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "common/file.h"
#include "support/temp_folder.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

class FileServices : public testing::Test {
 protected:
  TempFolder folder;
  std::unique_ptr<FileSystem> files = MakeNativeFileSystem();
};

TEST_F(FileServices, ProbingCreatesAMissingFileAndLeavesAnExistingOneIntact) {
  const FilePath path = folder.path() / L"neu-\u00e9t\u00e9.bin";
  std::optional<FileIdentity> created;
  ASSERT_EQ(files->ProbeWritable(path, created), FileOutcome::Done);
  EXPECT_TRUE(created);
  EXPECT_TRUE(std::filesystem::exists(path));

  WriteWholeFile(path, {1, 2, 3});
  std::optional<FileIdentity> again;
  ASSERT_EQ(files->ProbeWritable(path, again), FileOutcome::Done);
  EXPECT_FALSE(again);
  EXPECT_EQ(ReadWholeFile(path), (Bytes{1, 2, 3}));
}

TEST_F(FileServices, OnlyTheEmptyFileTheCheckCreatedIsRemovedAsCreated) {
  const FilePath path = folder / "new.bin";
  std::optional<FileIdentity> created;
  ASSERT_EQ(files->ProbeWritable(path, created), FileOutcome::Done);
  WriteWholeFile(path, {5});
  EXPECT_EQ(files->RemoveIfStillCreated(path, created.value()), FileOutcome::Done);
  EXPECT_EQ(ReadWholeFile(path), Bytes{5}) << "no longer empty: left alone";
  WriteWholeFile(path, {});
  EXPECT_EQ(files->RemoveIfStillCreated(path, created.value()), FileOutcome::Done);
  EXPECT_FALSE(std::filesystem::exists(path));
}

TEST_F(FileServices, AnOpenFileIsNotShared) {
  const FilePath path = folder / "image.bin";
  WriteWholeFile(path, {9, 8, 7, 6});
  const std::unique_ptr<File> file = files->OpenForReading(path);
  ASSERT_NE(file, nullptr);

  std::optional<FileIdentity> created;
  EXPECT_EQ(files->OpenForReading(path), nullptr);
  EXPECT_EQ(files->ProbeWritable(path, created), FileOutcome::Busy);
  // Held open, as a virus scanner does for a moment: busy, not failed.
  const FilePath other = folder / "other.bin";
  WriteWholeFile(other, {1});
  EXPECT_EQ(files->Replace(other, path), FileOutcome::Busy);
  EXPECT_EQ(files->Remove(path), FileOutcome::Busy);

  Bytes read(8);
  EXPECT_EQ(file->Length(), 4u);
  ASSERT_TRUE(file->SeekTo(1));
  EXPECT_EQ(file->Read(read), 3u);
  EXPECT_EQ(Bytes(read.begin(), read.begin() + 3), (Bytes{8, 7, 6}));
  EXPECT_EQ(file->Read(read), 0u);
}

TEST_F(FileServices, ATemporaryFileBesideTheTargetReplacesItInOneStep) {
  const std::filesystem::path target = folder / "board.bin";
  WriteWholeFile(target, {1});
  FilePath first;
  FilePath second;
  {
    const std::unique_ptr<File> temporary = files->CreateTemporaryBeside(target, first);
    ASSERT_NE(temporary, nullptr);
    const std::unique_ptr<File> other = files->CreateTemporaryBeside(target, second);
    ASSERT_NE(other, nullptr);
    EXPECT_NE(first, second);
    EXPECT_EQ(std::filesystem::path(first).parent_path(), target.parent_path());
    ASSERT_TRUE(temporary->Write(Bytes{4, 5, 6}));
    ASSERT_TRUE(temporary->FlushToDisk());
  }
  ASSERT_EQ(files->Replace(first, target), FileOutcome::Done);
  EXPECT_EQ(ReadWholeFile(target), (Bytes{4, 5, 6}));
  EXPECT_FALSE(std::filesystem::exists(first));

  EXPECT_EQ(files->Remove(second), FileOutcome::Done);
  EXPECT_EQ(files->Remove(second), FileOutcome::Failed);
}

TEST_F(FileServices, ExtendedLengthNamesBeyondMaxPathWorkAsGiven) {
  const FilePath deep = L"\\\\?\\" + (folder.path() / std::wstring(240, L'x')).wstring();
  ASSERT_TRUE(CreateDirectoryW(deep.c_str(), nullptr));
  const FilePath target = deep + L"\\board.bin";
  ASSERT_GT(target.size(), std::size_t{MAX_PATH});

  std::optional<FileIdentity> created;
  ASSERT_EQ(files->ProbeWritable(target, created), FileOutcome::Done);
  ASSERT_TRUE(created);
  FilePath temp;
  {
    const std::unique_ptr<File> temporary = files->CreateTemporaryBeside(target, temp);
    ASSERT_NE(temporary, nullptr);
    EXPECT_EQ(temp.rfind(deep + L"\\board.bin.", 0), 0u);
    ASSERT_TRUE(temporary->Write(Bytes{4, 2}));
  }
  ASSERT_EQ(files->Replace(temp, target), FileOutcome::Done);
  Bytes read(4);
  {
    const std::unique_ptr<File> file = files->OpenForReading(target);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file->Read(read), 2u);
  }
  EXPECT_EQ(read, (Bytes{4, 2, 0, 0}));
  EXPECT_EQ(files->RemoveIfStillCreated(target, *created), FileOutcome::Done);
  EXPECT_TRUE(files->OpenForReading(target)) << "another file stands there now";
  EXPECT_EQ(files->Remove(target), FileOutcome::Done);
  EXPECT_EQ(files->Remove(temp), FileOutcome::Failed);
  EXPECT_TRUE(RemoveDirectoryW(deep.c_str()));
}

}  // namespace
