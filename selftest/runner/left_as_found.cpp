#include "left_as_found.h"

#include <windows.h>

#include <string>

#include "selftest/console/console_text.h"
#include "simcard/com/capture_identifiers.h"
#include "simcard/com/guid_text.h"
#include "simcard/com/registry_key.h"
#include "simcard/com/set_aside_capture_entries.h"
#include "simcard/com/sim_filter_classes.h"

namespace selftest {

std::vector<GuardedKey> GuardRegistry(bool underWine) {
  using simcard::com::GuidText;
  const std::wstring card = L"Software\\Classes\\CLSID\\" + GuidText(simcard::com::kClsidSimCard);
  const std::wstring category =
      L"Software\\Classes\\CLSID\\" + GuidText(simcard::com::kCaptureCategory);
  std::vector<GuardedKey> keys;
  keys.emplace_back(kUserHive, card);
  // A user's classes rarely hold the category; a registration for the user
  // makes it.
  keys.emplace_back(kUserHive, category);
  // Windows' device enumerator keeps its own list of a category's filters.
  keys.emplace_back(kUserHive, L"Software\\Microsoft\\ActiveMovie\\devenum");
  if (underWine) {
    keys.emplace_back(kUserHive, L"Software\\Wine\\WineDbg");
    keys.emplace_back(kUserHive, L"Software\\Wine\\AppDefaults\\ostrel.exe");
  }
  keys.emplace_back(kMachineHive, card);
  keys.emplace_back(kMachineHive, category + L"\\Instance");
  keys.emplace_back(kMachineHive, category + L"\\" + simcard::com::kSetAsideInstanceName);
  return keys;
}

// Wine shows a dialog for a crashed program and waits; Windows does not
// with the error mode the test programs inherit. Only a key the kit makes
// itself is set, and made volatile, so that not even a killed run leaves
// it; a value set in the user's own key would stay changed by one.
void KeepCrashesQuiet(bool underWine) {
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
  if (!underWine) return;
  const wchar_t* const name = L"Software\\Wine\\WineDbg";
  if (simcard::com::RegistryKey::Open(HKEY_CURRENT_USER, name, KEY_QUERY_VALUE)) return;
  const DWORD off = 0;
  const auto key = simcard::com::RegistryKey::Create(HKEY_CURRENT_USER, name, KEY_SET_VALUE,
                                                     REG_OPTION_VOLATILE);
  RegSetValueExW(key.Get(), L"ShowCrashDialog", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&off),
                 sizeof off);
}

bool PutBackKeysAndRemoveRunFolder(const std::vector<GuardedKey>& keys, const RunFolder& folder,
                                   Report& report) {
  // Put back where a test keeps them, before the keys are compared: the
  // entries set aside are the category's own.
  bool clean = simcard::com::PutBackSetAsideCaptureEntries();
  if (!clean) report.Say("COULD NOT put back the capture devices a test set aside");
  for (const GuardedKey& key : keys) {
    if (key.Unchanged()) continue;
    const bool putBack = key.PutBack();
    clean &= putBack;
    report.Say((putBack ? "Put back " : "COULD NOT put back ") + Utf8(key.Name()));
  }
  if (folder.Made()) {
    const bool removed = folder.Remove();
    clean &= removed;
    report.Say(std::string(removed ? "Removed " : "COULD NOT remove ") +
               Utf8(folder.Path().wstring()));
  }
  if (clean) report.Say("The registry and the temporary folder are as before the run.");
  return clean;
}

}  // namespace selftest
