// The DLL's entry points.

#include <windows.h>
#include <objbase.h>

#include <string>

#include "simcard/com/com_module.h"
#include "common/module_path_win32.h"
#include "simcard/com/registration.h"
#include "simcard/com/sim_filter_classes.h"

namespace {

std::wstring ThisModulePath() {
  HMODULE self = nullptr;
  GetModuleHandleExW(
      GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
      reinterpret_cast<LPCWSTR>(&ThisModulePath), &self);
  return self == nullptr ? std::wstring() : ModulePath(self).wstring();
}

}  // namespace

extern "C" {

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, LPVOID* out) {
  return simcard::com::GetFilterClassObject(clsid, iid, out);
}

STDAPI DllCanUnloadNow() {
  const simcard::com::ModuleCounts counts = simcard::com::CurrentCounts();
  return counts.objects == 0 && counts.locks == 0 ? S_OK : S_FALSE;
}

STDAPI DllRegisterServer() {
  const std::wstring path = ThisModulePath();
  if (path.empty()) return HRESULT_FROM_WIN32(GetLastError());
  return simcard::com::RegisterSimCard(path);
}

STDAPI DllUnregisterServer() {
  return simcard::com::UnregisterSimCard();
}

// As regsvr32 /n /i:CMDLINE (and /u) calls it: "user" registers the card for
// the current user only, so that no administrator is needed; anything else
// for the whole machine, as DllRegisterServer does.
STDAPI DllInstall(BOOL install, LPCWSTR commandLine) {
  const simcard::com::RegistrationScope scope = simcard::com::ScopeOfCommandLine(commandLine);
  if (!install) return simcard::com::UnregisterSimCard(scope);
  const std::wstring path = ThisModulePath();
  if (path.empty()) return HRESULT_FROM_WIN32(GetLastError());
  return simcard::com::RegisterSimCard(path, scope);
}

// For tests: the objects alive in this DLL and the references held on them.
STDAPI SimCardComCounts(LONG* objects, LONG* references) {
  if (objects == nullptr || references == nullptr) return E_POINTER;
  const simcard::com::ModuleCounts counts = simcard::com::CurrentCounts();
  *objects = counts.objects;
  *references = counts.references;
  return S_OK;
}

}  // extern "C"
