#include "simcard/com/registration.h"

#include <objbase.h>

#include <array>

#include "simcard/com/capture_identifiers.h"
#include "simcard/com/sim_filter_classes.h"

namespace simcard::com {

namespace {

std::wstring ClassKey() {
  return L"CLSID\\" + GuidText(kClsidSimCard);
}

std::wstring InstanceKey() {
  return L"CLSID\\" + GuidText(kCaptureCategory) + L"\\Instance\\" + GuidText(kClsidSimCard);
}

HRESULT SetString(const std::wstring& key, const wchar_t* name, const std::wstring& value) {
  const auto bytes = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
  return HRESULT_FROM_WIN32(
      RegSetKeyValueW(HKEY_CLASSES_ROOT, key.c_str(), name, REG_SZ, value.c_str(), bytes));
}

HRESULT DeleteTree(const std::wstring& key) {
  // Removes the key itself too.
  const LSTATUS status = RegDeleteTreeW(HKEY_CLASSES_ROOT, key.c_str());
  return status == ERROR_FILE_NOT_FOUND ? S_OK : HRESULT_FROM_WIN32(status);
}

}  // namespace

std::wstring GuidText(const GUID& guid) {
  std::array<wchar_t, 40> text{};
  StringFromGUID2(guid, text.data(), static_cast<int>(text.size()));
  return text.data();
}

HRESULT RegisterSimCard(const std::wstring& dllPath) {
  const std::wstring server = ClassKey() + L"\\InprocServer32";
  const HRESULT steps[] = {
      SetString(ClassKey(), nullptr, L"Ostrel simulated capture card"),
      SetString(server, nullptr, dllPath),
      SetString(server, L"ThreadingModel", L"Apartment"),
      SetString(InstanceKey(), L"FriendlyName", kCaptureFilterName),
      SetString(InstanceKey(), L"CLSID", GuidText(kClsidSimCard)),
  };
  for (const HRESULT step : steps) {
    if (FAILED(step)) return step;
  }
  return S_OK;
}

HRESULT UnregisterSimCard() {
  const HRESULT instance = DeleteTree(InstanceKey());
  const HRESULT server = DeleteTree(ClassKey());
  return FAILED(instance) ? instance : server;
}

}  // namespace simcard::com
