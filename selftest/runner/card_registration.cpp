#include "card_registration.h"

#include <objbase.h>

#include <algorithm>

#include "simcard/com/listed_capture_devices.h"
#include "simcard/com/sim_filter_classes.h"

namespace selftest {

using simcard::com::RegistrationScope;

CardRegistration::CardRegistration(const std::filesystem::path& dll, RegistrationScope scope)
    : dll_(dll), scope_(scope), result_(Call(true)) {}

CardRegistration::~CardRegistration() {
  Call(false);
}

HRESULT CardRegistration::Call(bool install) const {
  const HMODULE module = LoadLibraryExW(dll_.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  if (module == nullptr) return HRESULT_FROM_WIN32(GetLastError());
  const auto find = [&](const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(module, name));
  };
  HRESULT result = E_NOTIMPL;
  if (scope_ == RegistrationScope::kUser) {
    using DllInstall = HRESULT(STDAPICALLTYPE*)(BOOL, LPCWSTR);
    if (const auto call = reinterpret_cast<DllInstall>(find("DllInstall"))) {
      result = call(install ? TRUE : FALSE, L"user");
    }
  } else {
    using DllRegister = HRESULT(STDAPICALLTYPE*)();
    const auto call =
        reinterpret_cast<DllRegister>(find(install ? "DllRegisterServer" : "DllUnregisterServer"));
    if (call != nullptr) result = call();
  }
  FreeLibrary(module);
  return result;
}

bool EnumeratorListsVirtualCard() {
  if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return false;
  const std::vector<CLSID> listed = simcard::com::ListedCaptureClasses();
  CoUninitialize();
  return std::find(listed.begin(), listed.end(), simcard::com::kClsidSimCard) != listed.end();
}

}  // namespace selftest
