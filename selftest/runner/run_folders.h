#pragma once

// The folders of one run of the kit (Windows only), each made new under a
// name of its own with an access list of the kit's, so that nobody can
// prepare it beforehand, nor plant a link in it for the kit to follow while
// it removes it:
// - the run folder under %TEMP%, that only its user can open: the test
//   programs' temporary files, the virtual card's folders among them, and
//   the run's registry journal, so that removing it removes everything the
//   run made there, also after a test program crashed;
// - for a registration for the whole machine, the folder of the virtual
//   card's DLL under the machine's program data, that only administrators
//   can change: every program that lists capture devices may load the DLL
//   registered there, and none of the user's unelevated programs may
//   replace it.

#include <windows.h>

#include <filesystem>
#include <vector>

namespace selftest {

inline constexpr wchar_t kRunFolderPrefix[] = L"ostrel-selftest-";

class KitFolder {
 public:
  enum class Kind {
    kRun,       // %TEMP%\ostrel-selftest-XXXXXXXX, only this user's
    kCardsDll,  // %ProgramData%\ostrel-selftest-XXXXXXXX, only administrators'
  };
  // Makes the folder, never one that exists already.
  explicit KitFolder(Kind kind);
  KitFolder(const KitFolder&) = delete;
  KitFolder& operator=(const KitFolder&) = delete;

  const std::filesystem::path& Path() const { return path_; }
  // Whether it was made, and whether only those it is for can change it.
  bool Made() const { return made_; }
  bool OnlyItsOwnersMayChangeIt() const;
  // Removes it with everything in it, once made; false when something
  // stayed.
  bool Remove() const;

 private:
  Kind kind_;
  std::filesystem::path path_;
  bool made_ = false;
};

// Removes folder with everything in it, never following a junction or a
// symbolic link: the link itself goes, or stays where the system will not
// remove it, and what it points to is left alone. False when something
// stayed.
bool RemoveWithoutFollowingLinks(const std::filesystem::path& folder);

// The folders of kind that earlier runs of the kit left, by their name and
// place, and, for run folders, only those no other user can open.
std::vector<std::filesystem::path> FoldersEarlierRunsLeft(KitFolder::Kind kind);

}  // namespace selftest
