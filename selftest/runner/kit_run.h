#pragma once

// One run of the kit's tests on this PC, and what it puts back (Windows
// only): the guarded keys as found, for the comparison and the report; the
// run's folders; the virtual card's registration, kept in the run's
// registry journal like every change of its test programs; all put back
// once, however the run ends: at its end, on Ctrl+C or a closed console,
// when the session ends, or when an exception leaves it.

#include <windows.h>

#include <filesystem>
#include <optional>
#include <vector>

#include "common/win32_handle.h"
#include "run_folders.h"
#include "selftest/common/guarded_keys.h"
#include "selftest/common/registry_journal.h"
#include "selftest/common/report.h"
#include "simcard/com/registration.h"

namespace selftest {

using simcard::com::RegistrationScope;

// Only one run of the kit at a time on a PC: two would register the same
// card, and one would put back what the other still uses. The mutex that
// says so, held while the handle is open; none while another run holds it.
// A run that was killed leaves it abandoned, and the next takes it over.
Win32Handle HoldOneRunAtATime();

class KitRun {
 public:
  // Reads the guarded keys as they are, makes the run's folder with its
  // journal, points the test programs' TEMP and journal into it, and keeps
  // crashes quiet.
  KitRun(RegistrationScope scope, Report& report);
  // Finishes and saves the results, if nothing finished before.
  ~KitRun();
  KitRun(const KitRun&) = delete;
  KitRun& operator=(const KitRun&) = delete;

  // Whether the run's folder was made and is the user's own; says why not.
  bool FolderReady() const;
  std::filesystem::path Temp() const { return folder_.Path() / "temp"; }
  // Registers the kit's virtual card, marked with this run; for the whole
  // machine from a copy in a folder only administrators can change.
  // False, saying why, when it could not.
  bool RegisterCard(const std::filesystem::path& kit);
  // After a test program: puts back what it left changed (it died, say).
  void PutBackWhatTheTestLeft();

  // Puts back every change in the journal, removes the folders, compares
  // the guarded keys with what was found and says so; only the first call
  // does, later ones answer as it did. False when something could not be
  // put back.
  bool Finish();

 private:
  struct KeyAsFound {
    GuardedKey guarded;
    std::optional<RegistryTree> tree;  // nothing: there was none
  };

  // Keeps a crashing test program from waiting on a dialog.
  void KeepCrashesQuiet();
  // Says which guarded keys differ from what was found, apart from those
  // already spoken of; false when one that was found is no longer as found.
  bool CompareWithWhatWasFound(const std::vector<std::string>& spokenOf);

  RegistrationScope scope_;
  Report& report_;
  std::vector<KeyAsFound> found_;
  KitFolder folder_{KitFolder::Kind::kRun};
  bool tempMade_ = false;
  std::optional<JournaledRegistry> registry_;
  std::optional<KitFolder> dllFolder_;
  std::optional<bool> finished_;
};

// Puts back, before this run reads the registry, what earlier runs that
// were ended before they put everything back (killed, or the PC lost power)
// left: what their journals hold, their registrations marked as theirs
// where no journal is left, and their folders; saying so. False when
// something could not be put back or removed (a registration for the
// machine, for a user who is no administrator).
bool PutBackWhatEarlierRunsLeft(Report& report);

// Whether the system device enumerator lists the virtual card under the
// capture category; the calling thread has COM.
bool EnumeratorListsVirtualCard();

}  // namespace selftest
