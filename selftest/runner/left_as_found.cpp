#include "left_as_found.h"

#include <windows.h>

#include <string>

#include "simcard/com/capture_identifiers.h"
#include "simcard/com/registration.h"
#include "simcard/com/sim_filter_classes.h"

namespace selftest {

// The user's own keys first: on Windows HKCR shows the user's class keys.
std::vector<GuardedKey> GuardRegistry(bool underWine) {
  const std::wstring card = simcard::com::GuidText(simcard::com::kClsidSimCard);
  const std::wstring category = simcard::com::GuidText(simcard::com::kCaptureCategory);
  std::vector<GuardedKey> keys;
  keys.emplace_back(HKEY_CURRENT_USER, L"HKCU", L"Software\\Classes\\CLSID\\" + card);
  keys.emplace_back(HKEY_CURRENT_USER, L"HKCU", L"Software\\Classes\\CLSID\\" + category);
  keys.emplace_back(HKEY_CURRENT_USER, L"HKCU", L"Software\\Ostrel tests");
  if (underWine) {
    keys.emplace_back(HKEY_CURRENT_USER, L"HKCU", L"Software\\Wine\\WineDbg");
    keys.emplace_back(HKEY_CURRENT_USER, L"HKCU", L"Software\\Wine\\AppDefaults\\ostrel.exe");
  }
  keys.emplace_back(HKEY_CLASSES_ROOT, L"HKCR", L"CLSID\\" + card);
  keys.emplace_back(HKEY_CLASSES_ROOT, L"HKCR", L"CLSID\\" + category + L"\\Instance");
  return keys;
}

// Wine shows a dialog for a crashed program and waits; Windows does not
// with the error mode the test programs inherit.
void KeepCrashesQuiet(bool underWine) {
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
  if (!underWine) return;
  const DWORD off = 0;
  RegSetKeyValueW(HKEY_CURRENT_USER, L"Software\\Wine\\WineDbg", L"ShowCrashDialog", REG_DWORD,
                  &off, sizeof off);
}

bool PutEverythingBack(const std::vector<GuardedKey>& keys, const RunFolder& folder,
                       Report& report) {
  bool clean = true;
  for (const GuardedKey& key : keys) {
    if (key.Unchanged()) continue;
    const bool putBack = key.PutBack();
    clean &= putBack;
    report.Say((putBack ? "Put back " : "COULD NOT put back ") + Utf8(key.Name()));
  }
  const bool removed = folder.Remove();
  clean &= removed;
  report.Say(std::string(removed ? "Removed " : "COULD NOT remove ") +
             Utf8(folder.Path().wstring()));
  if (clean) report.Say("The registry and the temporary folder are as before the run.");
  return clean;
}

}  // namespace selftest
