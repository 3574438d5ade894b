#include "simcard/com/registration.h"

#include <cwchar>

#include "common/guid_text_win32.h"
#include "simcard/com/capture_identifiers.h"
#include "simcard/com/sim_filter_classes.h"

namespace simcard::com {

namespace {

std::wstring ClassKey() {
  return L"CLSID\\" + GuidText(kClsidSimCard);
}

std::wstring CategoryKey() {
  return L"CLSID\\" + GuidText(kCaptureCategory);
}

std::wstring InstancesKey() {
  return CategoryKey() + L"\\Instance";
}

HRESULT FromStatus(LSTATUS status) {
  return HRESULT_FROM_WIN32(status);
}

RegistryKey OpenClasses(RegistrationScope scope, REGSAM access, bool create) {
  return create ? RegistryKey::Create(HiveOf(scope), kClassesPath, access)
                : RegistryKey::Open(HiveOf(scope), kClassesPath, access);
}

// Removes key under classes when it holds neither values nor subkeys.
void DeleteIfEmpty(const RegistryKey& classes, const std::wstring& key) {
  const bool empty = RegistryKey::Open(classes.Get(), key, KEY_QUERY_VALUE).IsEmpty();
  if (empty) RegDeleteKeyExW(classes.Get(), key.c_str(), KEY_WOW64_32KEY, 0);
}

}  // namespace

std::wstring ClassesKeyName(RegistrationScope scope) {
  return scope == RegistrationScope::kUser ? L"HKCU\\Software\\Classes"
                                           : L"HKLM\\Software\\Classes";
}

HKEY HiveOf(RegistrationScope scope) {
  return scope == RegistrationScope::kUser ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
}

RegistrationScope ScopeOfCommandLine(const wchar_t* commandLine) {
  return commandLine != nullptr && _wcsicmp(commandLine, L"user") == 0
             ? RegistrationScope::kUser
             : RegistrationScope::kMachine;
}

std::vector<RegistrationKey> SimCardRegistration(const std::wstring& dllPath) {
  return {
      {ClassKey(), true, {{L"", L"Ostrel simulated capture card"}}},
      {ClassKey() + L"\\InprocServer32", true, {{L"", dllPath}, {L"ThreadingModel", L"Apartment"}}},
      {InstancesKey(), false, {}},
      {InstancesKey() + L"\\" + GuidText(kClsidSimCard),
       true,
       {{L"FriendlyName", kCaptureFilterName}, {L"CLSID", GuidText(kClsidSimCard)}}},
  };
}

HRESULT RegisterSimCard(const std::wstring& dllPath, RegistrationScope scope) {
  const RegistryKey classes = OpenClasses(scope, KEY_ALL_ACCESS, true);
  if (!classes) return FromStatus(classes.Status());
  for (const RegistrationKey& entry : SimCardRegistration(dllPath)) {
    const RegistryKey key = RegistryKey::Create(classes.Get(), entry.path);
    if (!key) return FromStatus(key.Status());
    for (const auto& [name, text] : entry.values) {
      const LSTATUS set = key.SetString(name.empty() ? nullptr : name.c_str(), text);
      if (set != ERROR_SUCCESS) return FromStatus(set);
    }
  }
  return S_OK;
}

HRESULT UnregisterSimCard(RegistrationScope scope) {
  const RegistryKey classes = OpenClasses(scope, KEY_ALL_ACCESS, false);
  if (!classes) {
    return classes.Status() == ERROR_FILE_NOT_FOUND ? S_OK : FromStatus(classes.Status());
  }
  const HRESULT instance =
      FromStatus(classes.DeleteTree(InstancesKey() + L"\\" + GuidText(kClsidSimCard)));
  const HRESULT server = FromStatus(classes.DeleteTree(ClassKey()));
  // Keys the card's entry made and nothing else uses: an empty Instance or
  // category key anywhere, and in the user's classes the CLSID key too. The
  // machine's CLSID key is the system's own and stays.
  DeleteIfEmpty(classes, InstancesKey());
  DeleteIfEmpty(classes, CategoryKey());
  if (scope == RegistrationScope::kUser) DeleteIfEmpty(classes, L"CLSID");
  return FAILED(instance) ? instance : server;
}

}  // namespace simcard::com
