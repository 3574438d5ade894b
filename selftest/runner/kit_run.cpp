#include "kit_run.h"

#include <windows.h>

#include "left_as_found.h"
#include "selftest/console/console_text.h"

namespace selftest {

namespace {

using simcard::com::RegistrationScope;

// The tests give the card a folder of their own for each case, under TEMP:
// the run's folder. They add OSTREL_SIMCARD_DIR to the program's
// environment, so it must not be set here too.
void SetTestEnvironment(RegistrationScope scope, const RunFolder& folder) {
  SetEnvironmentVariableW(L"OSTREL_SELFTEST_REGISTRATION",
                          scope == RegistrationScope::kUser ? L"user" : L"machine");
  SetEnvironmentVariableW(L"OSTREL_SIMCARD_DIR", nullptr);
  SetEnvironmentVariableW(L"TEMP", folder.Temp().c_str());
  SetEnvironmentVariableW(L"TMP", folder.Temp().c_str());
}

}  // namespace

KitRun::KitRun(RegistrationScope scope, bool underWine, Report& report)
    : scope_(scope), report_(report), keys_(GuardRegistry(underWine)) {
  KeepCrashesQuiet(underWine);
  if (folder_.Ready()) SetTestEnvironment(scope, folder_);
}

KitRun::~KitRun() {
  try {
    if (!finished_) {
      Finish();
      report_.Write();
    }
  } catch (...) {
    // Nothing more can be done on the way out; the volatile keys and the
    // next run's clean-up remain.
  }
}

bool KitRun::FolderReady() const {
  const std::string path = Utf8(folder_.Path().wstring());
  if (!folder_.Made()) {
    report_.Say("the kit cannot make its folder " + path);
    return false;
  }
  if (!folder_.Ready()) {
    report_.Say("the kit cannot make the folder " + Utf8(folder_.Temp().wstring()));
    return false;
  }
  if (!folder_.Private()) {
    report_.Say("the kit's folder " + path + " can be opened by others; the kit does not use it");
    return false;
  }
  report_.Record("Run folder: " + path + " (only this user can open it)");
  return true;
}

HRESULT KitRun::RegisterCard(const std::filesystem::path& kit) {
  registration_.emplace(kit / "simcard_com.dll", scope_, folder_.Path().wstring());
  return registration_->Result();
}

bool KitRun::Finish() {
  if (finished_) return *finished_;
  registration_.reset();
  finished_ = PutBackKeysAndRemoveRunFolder(keys_, folder_, report_);
  return *finished_;
}

}  // namespace selftest
