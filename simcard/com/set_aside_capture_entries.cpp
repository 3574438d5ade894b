#include "simcard/com/set_aside_capture_entries.h"

#include "simcard/com/capture_identifiers.h"
#include "simcard/com/guid_text.h"
#include "simcard/com/registration.h"

namespace simcard::com {

namespace {

// Set on an Instance key made only so that there is something to set
// aside: putting back removes it again.
constexpr wchar_t kMadeForTests[] = L"Made by Ostrel's tests";

using RenameKey = LSTATUS(WINAPI*)(HKEY, LPCWSTR, LPCWSTR);

// RegRenameKey (Windows Vista and later) is missing from some SDKs' headers.
LSTATUS Rename(HKEY parent, const wchar_t* from, const wchar_t* to) {
  const auto rename = reinterpret_cast<RenameKey>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"advapi32.dll"), "RegRenameKey")));
  return rename == nullptr ? ERROR_CALL_NOT_IMPLEMENTED : rename(parent, from, to);
}

RegistryKey CategoryKey() {
  const RegistryKey classes = OpenClasses(RegistrationScope::kMachine, KEY_ALL_ACCESS);
  return RegistryKey::Create(classes.Get(), L"CLSID\\" + GuidText(kCaptureCategory));
}

}  // namespace

bool SetAsideCaptureEntries() {
  if (!PutBackSetAsideCaptureEntries()) return false;
  const RegistryKey category = CategoryKey();
  if (!category) return false;
  if (!RegistryKey::Open(category.Get(), L"Instance", KEY_READ)) {
    const RegistryKey made = RegistryKey::Create(category.Get(), L"Instance");
    if (!made || made.SetString(kMadeForTests, L"") != ERROR_SUCCESS) return false;
  }
  return Rename(category.Get(), L"Instance", kSetAsideInstanceName) == ERROR_SUCCESS &&
         RegistryKey::Create(category.Get(), L"Instance");
}

bool PutBackSetAsideCaptureEntries() {
  const RegistryKey classes = OpenClasses(RegistrationScope::kMachine, KEY_ALL_ACCESS);
  const RegistryKey category =
      RegistryKey::Open(classes.Get(), L"CLSID\\" + GuidText(kCaptureCategory), KEY_ALL_ACCESS);
  if (!RegistryKey::Open(category.Get(), kSetAsideInstanceName, KEY_READ)) return true;
  if (category.DeleteTree(L"Instance") != ERROR_SUCCESS ||
      Rename(category.Get(), kSetAsideInstanceName, L"Instance") != ERROR_SUCCESS) {
    return false;
  }
  const bool made = RegistryKey::Open(category.Get(), L"Instance", KEY_QUERY_VALUE)
                        .String(kMadeForTests)
                        .has_value();
  return !made || category.DeleteTree(L"Instance") == ERROR_SUCCESS;
}

}  // namespace simcard::com
