#include "simcard/com/registration.h"

#include <objbase.h>

#include <array>
#include <cwchar>

#include "simcard/com/capture_identifiers.h"
#include "simcard/com/registry_key.h"
#include "simcard/com/sim_filter_classes.h"

namespace simcard::com {

namespace {

std::wstring ClassKey() {
  return L"CLSID\\" + GuidText(kClsidSimCard);
}

std::wstring CategoryKey() {
  return L"CLSID\\" + GuidText(kCaptureCategory);
}

std::wstring InstanceKey() {
  return CategoryKey() + L"\\Instance\\" + GuidText(kClsidSimCard);
}

// The root the class keys go under, open while it lives.
class ClassesRoot {
 public:
  explicit ClassesRoot(RegistrationScope scope) {
    if (scope == RegistrationScope::kMachine) {
      root_ = HKEY_CLASSES_ROOT;
      return;
    }
    status_ = RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Classes", 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, &root_, nullptr);
    owned_ = status_ == ERROR_SUCCESS;
  }
  ~ClassesRoot() {
    if (owned_) RegCloseKey(root_);
  }
  ClassesRoot(const ClassesRoot&) = delete;
  ClassesRoot& operator=(const ClassesRoot&) = delete;

  HRESULT Status() const { return HRESULT_FROM_WIN32(status_); }

  HRESULT SetString(const std::wstring& key, const wchar_t* name, const std::wstring& value) const {
    const auto bytes = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
    return HRESULT_FROM_WIN32(
        RegSetKeyValueW(root_, key.c_str(), name, REG_SZ, value.c_str(), bytes));
  }

  HRESULT DeleteTree(const std::wstring& key) const {
    // Removes the key itself too.
    const LSTATUS status = RegDeleteTreeW(root_, key.c_str());
    return status == ERROR_FILE_NOT_FOUND ? S_OK : HRESULT_FROM_WIN32(status);
  }

  // Removes key when it holds neither values nor subkeys.
  void DeleteIfEmpty(const std::wstring& key) const {
    DWORD subkeys = 0;
    DWORD values = 0;
    {
      const RegistryKey open(root_, key, KEY_QUERY_VALUE);
      if (!open ||
          RegQueryInfoKeyW(open.Get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr,
                           &values, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
        return;
      }
    }
    if (subkeys == 0 && values == 0) RegDeleteKeyW(root_, key.c_str());
  }

 private:
  HKEY root_ = nullptr;
  LSTATUS status_ = ERROR_SUCCESS;
  bool owned_ = false;
};

}  // namespace

std::wstring GuidText(const GUID& guid) {
  std::array<wchar_t, 40> text{};
  StringFromGUID2(guid, text.data(), static_cast<int>(text.size()));
  return text.data();
}

RegistrationScope ScopeOfCommandLine(const wchar_t* commandLine) {
  return commandLine != nullptr && _wcsicmp(commandLine, L"user") == 0
             ? RegistrationScope::kUser
             : RegistrationScope::kMachine;
}

HRESULT RegisterSimCard(const std::wstring& dllPath, RegistrationScope scope) {
  const ClassesRoot root(scope);
  if (FAILED(root.Status())) return root.Status();
  const std::wstring server = ClassKey() + L"\\InprocServer32";
  const HRESULT steps[] = {
      root.SetString(ClassKey(), nullptr, L"Ostrel simulated capture card"),
      root.SetString(server, nullptr, dllPath),
      root.SetString(server, L"ThreadingModel", L"Apartment"),
      root.SetString(InstanceKey(), L"FriendlyName", kCaptureFilterName),
      root.SetString(InstanceKey(), L"CLSID", GuidText(kClsidSimCard)),
  };
  for (const HRESULT step : steps) {
    if (FAILED(step)) return step;
  }
  return S_OK;
}

HRESULT UnregisterSimCard(RegistrationScope scope) {
  const ClassesRoot root(scope);
  if (FAILED(root.Status())) return root.Status();
  const HRESULT instance = root.DeleteTree(InstanceKey());
  const HRESULT server = root.DeleteTree(ClassKey());
  // Keys the card's entry made and nothing else uses: an empty Instance key
  // anywhere, and in the user's classes the category and CLSID keys too.
  // The machine's category and CLSID keys are the system's own and stay.
  root.DeleteIfEmpty(CategoryKey() + L"\\Instance");
  if (scope == RegistrationScope::kUser) {
    root.DeleteIfEmpty(CategoryKey());
    root.DeleteIfEmpty(L"CLSID");
  }
  return FAILED(instance) ? instance : server;
}

}  // namespace simcard::com
