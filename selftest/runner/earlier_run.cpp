#include "earlier_run.h"

#include <filesystem>
#include <optional>
#include <set>
#include <utility>

#include "run_folder.h"
#include "selftest/console/console_text.h"
#include "simcard/com/registration.h"
#include "simcard/com/set_aside_capture_entries.h"

namespace selftest {

using simcard::com::RegistrationScope;

bool RemoveWhatAnEarlierRunLeft(Report& report) {
  bool removedAll = simcard::com::PutBackSetAsideCaptureEntries();
  std::set<std::filesystem::path> folders;
  bool told = false;
  for (const RegistrationScope scope : {RegistrationScope::kUser, RegistrationScope::kMachine}) {
    const std::optional<std::wstring> mark = simcard::com::KitRunMarkIn(scope);
    if (!mark) continue;
    if (!std::exchange(told, true)) {
      report.Say(
          "An earlier run of the kit ended before it put everything back; what it left is "
          "removed first:");
    }
    const bool removed = SUCCEEDED(simcard::com::UnregisterSimCard(scope));
    removedAll &= removed;
    report.Say(std::string(removed ? "Removed" : "COULD NOT remove") +
               " its registration of the virtual card in " +
               Utf8(simcard::com::ClassesKeyName(scope)));
    // Only a folder where the kit makes its own: the mark is no licence to
    // remove anything else.
    if (IsRunFolderInTemp(*mark)) folders.insert(*mark);
  }
  for (const std::filesystem::path& folder : folders) {
    std::error_code absent;
    if (!std::filesystem::exists(folder, absent)) continue;
    report.Say(std::string(RemoveWithoutFollowingLinks(folder) ? "Removed" : "COULD NOT remove") +
               " its folder " + Utf8(folder.wstring()));
  }
  return removedAll;
}

}  // namespace selftest
