#include "simcard/com/registration.h"

#include <cwchar>

#include "simcard/com/capture_identifiers.h"
#include "simcard/com/guid_text.h"
#include "simcard/com/sim_filter_classes.h"

namespace simcard::com {

namespace {

// The value a kit run writes on the keys it registers.
constexpr wchar_t kKitRunMark[] = L"Ostrel self-test run";

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

// Removes key under classes when it holds neither values nor subkeys.
void DeleteIfEmpty(const RegistryKey& classes, const std::wstring& key) {
  const bool empty = RegistryKey::Open(classes.Get(), key, KEY_QUERY_VALUE).IsEmpty();
  if (empty) RegDeleteKeyExW(classes.Get(), key.c_str(), KEY_WOW64_32KEY, 0);
}

HRESULT Register(const std::wstring& dllPath, RegistrationScope scope,
                 const std::wstring* runMark) {
  const RegistryKey classes = OpenClasses(scope, KEY_ALL_ACCESS, true);
  if (!classes) return FromStatus(classes.Status());
  // The keys above the card's own are kept stable: a volatile key takes no
  // stable one below it, and others may register there too.
  const DWORD options = runMark != nullptr ? REG_OPTION_VOLATILE : REG_OPTION_NON_VOLATILE;
  const RegistryKey classIds = RegistryKey::Create(classes.Get(), L"CLSID");
  const RegistryKey instances = RegistryKey::Create(classes.Get(), InstancesKey());
  if (!classIds || !instances)
    return FromStatus(!classIds ? classIds.Status() : instances.Status());
  const RegistryKey card =
      RegistryKey::Create(classIds.Get(), GuidText(kClsidSimCard), KEY_ALL_ACCESS, options);
  const RegistryKey server =
      card ? RegistryKey::Create(card.Get(), L"InprocServer32", KEY_ALL_ACCESS, options)
           : RegistryKey();
  const RegistryKey instance =
      RegistryKey::Create(instances.Get(), GuidText(kClsidSimCard), KEY_ALL_ACCESS, options);
  for (const RegistryKey* key : {&card, &server, &instance}) {
    if (!*key) return FromStatus(key->Status());
  }
  LSTATUS steps[] = {
      card.SetString(nullptr, L"Ostrel simulated capture card"),
      server.SetString(nullptr, dllPath),
      server.SetString(L"ThreadingModel", L"Apartment"),
      instance.SetString(L"FriendlyName", kCaptureFilterName),
      instance.SetString(L"CLSID", GuidText(kClsidSimCard)),
      runMark != nullptr ? card.SetString(kKitRunMark, *runMark) : ERROR_SUCCESS,
      runMark != nullptr ? instance.SetString(kKitRunMark, *runMark) : ERROR_SUCCESS,
  };
  for (const LSTATUS step : steps) {
    if (step != ERROR_SUCCESS) return FromStatus(step);
  }
  return S_OK;
}

}  // namespace

std::wstring ClassesKeyName(RegistrationScope scope) {
  return scope == RegistrationScope::kUser ? L"HKCU\\Software\\Classes"
                                           : L"HKLM\\Software\\Classes";
}

RegistryKey OpenClasses(RegistrationScope scope, REGSAM access, bool create) {
  const HKEY hive = scope == RegistrationScope::kUser ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
  return create ? RegistryKey::Create(hive, L"Software\\Classes", access)
                : RegistryKey::Open(hive, L"Software\\Classes", access);
}

RegistrationScope ScopeOfCommandLine(const wchar_t* commandLine) {
  return commandLine != nullptr && _wcsicmp(commandLine, L"user") == 0
             ? RegistrationScope::kUser
             : RegistrationScope::kMachine;
}

HRESULT RegisterSimCard(const std::wstring& dllPath, RegistrationScope scope) {
  return Register(dllPath, scope, nullptr);
}

HRESULT RegisterSimCardForKitRun(const std::wstring& dllPath, RegistrationScope scope,
                                 const std::wstring& runMark) {
  return Register(dllPath, scope, &runMark);
}

HRESULT UnregisterSimCard(RegistrationScope scope) {
  const RegistryKey classes = OpenClasses(scope, KEY_ALL_ACCESS);
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

std::optional<std::wstring> KitRunMarkIn(RegistrationScope scope) {
  const RegistryKey classes = OpenClasses(scope, KEY_READ);
  for (const std::wstring& key : {ClassKey(), InstancesKey() + L"\\" + GuidText(kClsidSimCard)}) {
    if (auto mark = RegistryKey::Open(classes.Get(), key, KEY_QUERY_VALUE).String(kKitRunMark)) {
      return mark;
    }
  }
  return std::nullopt;
}

}  // namespace simcard::com
