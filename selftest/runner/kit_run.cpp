#include "kit_run.h"

#include <windows.h>

#include <algorithm>
#include <string>
#include <utility>

#include "selftest/common/console_text.h"
#include "selftest/common/listed_capture_devices.h"
#include "selftest/common/process_token.h"
#include "simcard/com/sim_filter_classes.h"

namespace selftest {

namespace {

using Outcome = PutBackResult::Outcome;

// The value a run writes on the card's keys: its run folder.
constexpr wchar_t kKitRunMark[] = L"Ostrel self-test run";
constexpr wchar_t kDllName[] = L"simcard_com.dll";

RegistryPlace InClasses(RegistrationScope scope, const std::wstring& path) {
  return {scope == RegistrationScope::kUser ? kUserHive : kMachineHive, KEY_WOW64_32KEY,
          std::wstring(simcard::com::kClassesPath) + L"\\" + path};
}

// The card's own keys that are not below another of them: those that carry
// the run's mark.
std::vector<std::wstring> MarkedKeys() {
  std::vector<std::wstring> marked;
  for (const simcard::com::RegistrationKey& key : simcard::com::SimCardRegistration(L"")) {
    const bool below = std::any_of(marked.begin(), marked.end(), [&](const std::wstring& above) {
      return key.path.starts_with(above + L"\\");
    });
    if (key.cardsOwn && !below) marked.push_back(key.path);
  }
  return marked;
}

// Whether the card's keys in scope carry a run's mark: a run that ended
// without putting them back, and left no journal to do it.
bool MarkedRegistrationIn(RegistrationScope scope) {
  for (const std::wstring& key : MarkedKeys()) {
    LSTATUS status = ERROR_SUCCESS;
    if (ReadValue(InClasses(scope, key), kKitRunMark, status)) return true;
  }
  return false;
}

void Say(Report& report, const std::vector<std::string>& lines) {
  for (const std::string& line : lines) report.Say(line);
}

// The guarded keys results speak of as not simply put back.
std::vector<std::string> NotSimplyPutBack(const std::vector<PutBackResult>& results) {
  std::vector<std::string> names;
  for (const PutBackResult& result : results) {
    if (result.outcome != Outcome::kPutBack) names.push_back(Utf8(result.guarded));
  }
  return names;
}

}  // namespace

Win32Handle HoldOneRunAtATime() {
  Win32Handle mutex(CreateMutexW(nullptr, FALSE, L"Global\\Ostrel.SelftestRun"));
  const DWORD waited = mutex ? WaitForSingleObject(mutex.Get(), 0) : WAIT_FAILED;
  return waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED ? std::move(mutex) : Win32Handle();
}

KitRun::KitRun(RegistrationScope scope, Report& report) : scope_(scope), report_(report) {
  for (const GuardedKey& key : GuardedKeys()) {
    KeyAsFound found{key, ReadTree(key.place)};
    if (found.tree && !WhollyReadable(*found.tree)) {
      report_.Say(Utf8(key.place.Name()) +
                  ": a part of it cannot be read, and the kit leaves that part as it is.");
    }
    found_.push_back(std::move(found));
  }
  if (!folder_.Made()) return;
  tempMade_ = CreateDirectoryW(Temp().c_str(), nullptr) != FALSE;
  const std::filesystem::path journal = folder_.Path() / kJournalName;
  registry_.emplace(RegistryJournal(journal));
  // The tests give the card a folder of their own for each case, under TEMP:
  // the run's folder. They add OSTREL_SIMCARD_DIR to the program's
  // environment, so it must not be set here too.
  SetEnvironmentVariableW(L"OSTREL_SELFTEST_REGISTRATION",
                          scope == RegistrationScope::kUser ? L"user" : L"machine");
  SetEnvironmentVariableW(L"OSTREL_SIMCARD_DIR", nullptr);
  SetEnvironmentVariableW(L"TEMP", Temp().c_str());
  SetEnvironmentVariableW(L"TMP", Temp().c_str());
  SetEnvironmentVariableW(kJournalVariable, journal.c_str());
  KeepCrashesQuiet();
}

KitRun::~KitRun() {
  try {
    if (!finished_) {
      Finish();
      report_.Save();
    }
  } catch (...) {
    // Nothing more can be done on the way out; the volatile keys and the
    // next run's journal remain.
  }
}

// Wine shows a dialog for a crashed program and waits; Windows does not
// with the error mode the test programs inherit. Only a key the kit makes
// itself is set, and made volatile, so that not even a killed run leaves
// it; a value set in the user's own key would stay changed by one.
void KitRun::KeepCrashesQuiet() {
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
  const RegistryPlace wineDbg{kUserHive, KEY_WOW64_32KEY, L"Software\\Wine\\WineDbg"};
  if (WineVersion().empty() || StateOf(wineDbg) != KeyState::kAbsent) return;
  const DWORD off = 0;
  const auto* bytes = reinterpret_cast<const BYTE*>(&off);
  if (registry_->CreateKey(wineDbg, REG_OPTION_VOLATILE) == ERROR_SUCCESS) {
    registry_->SetValue(wineDbg, L"ShowCrashDialog",
                        {REG_DWORD, std::vector<BYTE>(bytes, bytes + sizeof off)});
  }
}

bool KitRun::FolderReady() const {
  const std::string path = Utf8(folder_.Path().wstring());
  if (!folder_.Made()) {
    report_.Say("the kit cannot make its folder in %TEMP%");
    return false;
  }
  if (!tempMade_) {
    report_.Say("the kit cannot make the folder " + Utf8(Temp().wstring()));
    return false;
  }
  if (!folder_.OnlyItsOwnersMayChangeIt()) {
    report_.Say("the kit's folder " + path + " can be opened by others; the kit does not use it");
    return false;
  }
  report_.Record("Run folder: " + path + " (only this user can open it)");
  return true;
}

bool KitRun::RegisterCard(const std::filesystem::path& kit) {
  std::filesystem::path dll = kit / kDllName;
  if (scope_ == RegistrationScope::kMachine) {
    // Every program that lists capture devices may load the DLL registered
    // for the machine: never from a folder the user's unelevated programs
    // could write, such as Downloads.
    dllFolder_.emplace(KitFolder::Kind::kCardsDll);
    if (!dllFolder_->Made() || !dllFolder_->OnlyItsOwnersMayChangeIt()) {
      report_.Say(
          "the kit cannot make a folder for the virtual card that only administrators "
          "can change (" +
          Utf8(dllFolder_->Path().wstring()) + ")");
      return false;
    }
    const std::filesystem::path copy = dllFolder_->Path() / kDllName;
    if (!CopyFileW(dll.c_str(), copy.c_str(), TRUE)) {
      report_.Say("the kit cannot copy simcard_com.dll into " + Utf8(dllFolder_->Path().wstring()));
      return false;
    }
    dll = copy;
    report_.Record("Virtual card's DLL: " + Utf8(copy.wstring()) +
                   (WineVersion().empty() ? " (only administrators can change it)"
                                          : " (made for administrators only; Wine keeps no access "
                                            "lists on files)"));
  }
  // The card's own keys are volatile, so that a run that is killed leaves
  // them only until the next log-off (per user) or restart (per machine),
  // and marked with the run, for the next run to know them.
  const std::vector<std::wstring> marked = MarkedKeys();
  for (const simcard::com::RegistrationKey& entry : simcard::com::SimCardRegistration(dll)) {
    const RegistryPlace key = InClasses(scope_, entry.path);
    LSTATUS status =
        registry_->CreateKey(key, entry.cardsOwn ? REG_OPTION_VOLATILE : REG_OPTION_NON_VOLATILE);
    for (const auto& [name, text] : entry.values) {
      if (status == ERROR_SUCCESS) status = registry_->SetString(key, name, text);
    }
    if (status == ERROR_SUCCESS &&
        std::find(marked.begin(), marked.end(), entry.path) != marked.end()) {
      status = registry_->SetString(key, kKitRunMark, folder_.Path().wstring());
    }
    if (status != ERROR_SUCCESS) {
      report_.Say("the virtual card could not be registered in " + Utf8(key.Name()) + " (error " +
                  std::to_string(status) + ")");
      return false;
    }
  }
  return true;
}

void KitRun::PutBackWhatTheTestLeft() {
  if (!registry_) return;
  bool clean = true;
  Say(report_, PutBackLines(registry_->PutBack(RegistryJournal::Whose::kOthers), clean));
}

bool KitRun::Finish() {
  if (finished_) return *finished_;
  bool clean = true;
  std::vector<std::string> spokenOf;
  if (registry_) {
    const std::vector<PutBackResult> results = registry_->PutBack(RegistryJournal::Whose::kAll);
    Say(report_, PutBackLines(results, clean));
    spokenOf = NotSimplyPutBack(results);
  }
  // Once nothing is registered from it any more.
  if (dllFolder_ && dllFolder_->Made()) {
    const bool removed = dllFolder_->Remove();
    clean &= removed;
    report_.Say(std::string(removed ? "Removed " : "COULD NOT remove ") +
                Utf8(dllFolder_->Path().wstring()));
  }
  const bool asFound = CompareWithWhatWasFound(spokenOf);
  if (folder_.Made() && clean) {
    const bool removed = folder_.Remove();
    clean &= removed;
    report_.Say(std::string(removed ? "Removed " : "COULD NOT remove ") +
                Utf8(folder_.Path().wstring()));
  } else if (folder_.Made()) {
    report_.Say("Kept " + Utf8(folder_.Path().wstring()) +
                ": its journal holds what could not be put back, and the next run of the kit "
                "tries again.");
  }
  if (clean && asFound) {
    report_.Say("The registry and the temporary folder are as before the run.");
  } else if (clean) {
    report_.Say(
        "Everything the kit changed is put back; what others changed meanwhile is left "
        "as they left it.");
  }
  finished_ = clean;
  return clean;
}

bool KitRun::CompareWithWhatWasFound(const std::vector<std::string>& spokenOf) {
  bool same = true;
  for (const KeyAsFound& found : found_) {
    if (ReadTree(found.guarded.place) == found.tree) continue;
    same = false;
    const std::string name = Utf8(found.guarded.place.Name());
    if (std::find(spokenOf.begin(), spokenOf.end(), name) != spokenOf.end()) continue;
    if (found.guarded.place == DeviceEnumeratorsCache()) {
      // Windows' own, written for every program that lists devices, the
      // kit's among them: a copy put back could only be older than it.
      report_.Say(name +
                  ": changed during the run, by Windows' device enumerator or another "
                  "program: left as it is");
    } else {
      report_.Say(name + ": changed by another program during the run: left as it is");
    }
  }
  return same;
}

bool PutBackWhatEarlierRunsLeft(Report& report) {
  bool clean = true;
  bool told = false;
  const auto tell = [&] {
    if (std::exchange(told, true)) return;
    report.Say(
        "An earlier run of the kit ended before it put everything back; what it left is put "
        "back first:");
  };
  for (const std::filesystem::path& folder : FoldersEarlierRunsLeft(KitFolder::Kind::kRun)) {
    tell();
    bool putBack = true;
    RegistryJournal journal(folder / kJournalName);
    Say(report, PutBackLines(journal.PutBack(RegistryJournal::Whose::kAll), putBack));
    clean &= putBack;
    // A journal that could not be put back whole stays, for the next run.
    if (!putBack) continue;
    const bool removed = RemoveWithoutFollowingLinks(folder);
    report.Say(std::string(removed ? "Removed" : "COULD NOT remove") + " its folder " +
               Utf8(folder.wstring()));
  }
  // Its registration, where its journal is gone: never put back, removed.
  for (const RegistrationScope scope : {RegistrationScope::kUser, RegistrationScope::kMachine}) {
    if (!MarkedRegistrationIn(scope)) continue;
    tell();
    const bool removed = SUCCEEDED(simcard::com::UnregisterSimCard(scope));
    clean &= removed;
    report.Say(std::string(removed ? "Removed" : "COULD NOT remove") +
               " its registration of the virtual card in " +
               Utf8(simcard::com::ClassesKeyName(scope)));
  }
  // The folders of its card's DLL, which only an administrator can remove.
  for (const std::filesystem::path& folder : FoldersEarlierRunsLeft(KitFolder::Kind::kCardsDll)) {
    if (!IsAdministrator()) break;
    tell();
    report.Say(std::string(RemoveWithoutFollowingLinks(folder) ? "Removed" : "COULD NOT remove") +
               " its folder " + Utf8(folder.wstring()));
  }
  return clean;
}

bool EnumeratorListsVirtualCard() {
  const std::vector<CLSID> listed = ListedCaptureClasses();
  return std::find(listed.begin(), listed.end(), simcard::com::kClsidSimCard) != listed.end();
}

}  // namespace selftest
