#pragma once

// One run of the kit's tests on this PC (Windows only): the registry as
// found, the run's folder and the virtual card's registration, all put back
// once, however the run ends: at its end, on Ctrl+C or a closed console,
// when the session ends, or when an exception leaves it.

#include <filesystem>
#include <optional>
#include <vector>

#include "card_registration.h"
#include "registry_tree.h"
#include "report.h"
#include "run_folder.h"

namespace selftest {

class KitRun {
 public:
  // Finds the registry as it is, keeps crashes quiet, makes the run's
  // folder and points the test programs' TEMP into it.
  KitRun(simcard::com::RegistrationScope scope, bool underWine, Report& report);
  // Finishes and writes the results, if nothing finished before.
  ~KitRun();
  KitRun(const KitRun&) = delete;
  KitRun& operator=(const KitRun&) = delete;

  // Whether the run's folder was made and is the user's own; says why not.
  bool FolderReady() const;
  const RunFolder& Folder() const { return folder_; }
  // Registers the virtual card in the kit's folder, marked with this run.
  HRESULT RegisterCard(const std::filesystem::path& kit);

  // Unregisters the card, puts back every key and removes the folder, and
  // says so; only the first call does, later ones answer as it did. False
  // when something could not be put back.
  bool Finish();

 private:
  simcard::com::RegistrationScope scope_;
  Report& report_;
  std::vector<GuardedKey> keys_;
  RunFolder folder_;
  std::optional<CardRegistration> registration_;
  std::optional<bool> finished_;
};

}  // namespace selftest
