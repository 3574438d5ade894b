#pragma once

// The folder of one run under %TEMP% (Windows only): the test programs'
// temporary files, the virtual card's folders among them, go into it, so
// that removing it removes everything the run made there, also after a test
// program crashed. Each run makes a new one under a name of its own, that
// only its user can open: nobody can prepare it beforehand, nor plant a
// link in it for the kit to follow while it removes it.

#include <filesystem>

namespace selftest {

inline constexpr wchar_t kRunFolderPrefix[] = L"ostrel-selftest-";

class RunFolder {
 public:
  // Makes %TEMP%\ostrel-selftest-XXXXXXXX, never one that exists already.
  RunFolder();
  RunFolder(const RunFolder&) = delete;
  RunFolder& operator=(const RunFolder&) = delete;

  const std::filesystem::path& Path() const { return path_; }
  std::filesystem::path Temp() const { return path_ / "temp"; }
  // Whether the folder was made, and whether its temp folder was made too.
  bool Made() const { return made_; }
  bool Ready() const { return made_ && tempMade_; }
  // Whether nobody but this user (and the system) can open it.
  bool Private() const;
  // Removes it with everything in it, once made; false when something
  // stayed.
  bool Remove() const;

 private:
  std::filesystem::path path_;
  bool made_ = false;
  bool tempMade_ = false;
};

// Removes folder with everything in it, never following a junction or a
// symbolic link: the link itself goes, or stays where the system will not
// remove it, and what it points to is left alone. False when something
// stayed.
bool RemoveWithoutFollowingLinks(const std::filesystem::path& folder);

// Whether folder is a run folder in this user's %TEMP%, by its name and
// place: the only kind an earlier run's mark may have the kit remove.
bool IsRunFolderInTemp(const std::filesystem::path& folder);

}  // namespace selftest
