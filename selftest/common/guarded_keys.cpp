#include "selftest/common/guarded_keys.h"

#include "common/guid_text_win32.h"
#include "common/system_library_win32.h"
#include "simcard/com/capture_identifiers.h"
#include "simcard/com/sim_filter_classes.h"

namespace selftest {

namespace {

// Of the simulated card's family, served by nothing.
constexpr GUID kJournalTestClass = simcard::com::SimClass(0xF);

std::wstring ClassKey(const GUID& clsid) {
  return L"Software\\Classes\\CLSID\\" + GuidText(clsid);
}

}  // namespace

std::vector<GuardedKey> GuardedKeys() {
  const std::wstring card = ClassKey(simcard::com::kClsidSimCard);
  // The capture category's entries: the card's own, and those the tests set
  // aside (renamed, beside the entries) while they need the category alone.
  const std::wstring category = ClassKey(simcard::com::kCaptureCategory);
  std::vector<GuardedKey> keys{
      {{kUserHive, KEY_WOW64_32KEY, card}},
      {{kUserHive, KEY_WOW64_32KEY, category}},
      {JournalTestKey()},
  };
  if (UnderWow64()) {
    keys.push_back({{kUserHive, KEY_WOW64_64KEY, L"Software\\Classes\\Wow6432Node"}, false});
  }
  keys.push_back({DeviceEnumeratorsCache(), false});
  if (!WineVersion().empty()) {
    keys.push_back({{kUserHive, KEY_WOW64_32KEY, L"Software\\Wine\\WineDbg"}});
    keys.push_back({{kUserHive, KEY_WOW64_32KEY, L"Software\\Wine\\AppDefaults\\ostrel.exe"}});
  }
  keys.push_back({{kMachineHive, KEY_WOW64_32KEY, card}});
  keys.push_back({{kMachineHive, KEY_WOW64_32KEY, category}});
  return keys;
}

RegistryPlace JournalTestKey() {
  return {kUserHive, KEY_WOW64_32KEY, ClassKey(kJournalTestClass)};
}

RegistryPlace DeviceEnumeratorsCache() {
  return {kUserHive, KEY_WOW64_32KEY, L"Software\\Microsoft\\ActiveMovie\\devenum"};
}

std::string WineVersion() {
  const SystemLibrary ntdll(L"ntdll.dll");
  const auto get = ntdll.Find<const char*()>("wine_get_version");
  return get == nullptr ? std::string() : std::string(get());
}

bool UnderWow64() {
  BOOL wow64 = FALSE;
  return IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
}

}  // namespace selftest
