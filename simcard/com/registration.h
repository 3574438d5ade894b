#pragma once

// The simulated card's registration as a capture device (Windows only). Each
// hive is read and written on its own, never through HKEY_CLASSES_ROOT:
// that view merges the user's classes into the machine's and writes where
// it sees fit.

#include <windows.h>

#include <optional>
#include <string>

#include "simcard/com/registry_key.h"

namespace simcard::com {

// Where the card is registered: HKLM\Software\Classes for the whole machine
// (needs an administrator), or HKCU\Software\Classes for the current user
// only.
enum class RegistrationScope { kMachine, kUser };

// "HKLM\Software\Classes" or "HKCU\Software\Classes", as reg.exe names them.
std::wstring ClassesKeyName(RegistrationScope scope);
// The classes key of scope, created when create is set and it is missing.
RegistryKey OpenClasses(RegistrationScope scope, REGSAM access, bool create = false);

// The scope DllInstall's command line names: "user" (any case) is the
// current user, nothing or anything else the machine.
RegistrationScope ScopeOfCommandLine(const wchar_t* commandLine);

// Registers the simulated card's class, served by the DLL at dllPath, and
// publishes it as a capture device named "713x BDA Analog Capture".
HRESULT RegisterSimCard(const std::wstring& dllPath,
                        RegistrationScope scope = RegistrationScope::kMachine);
// The same for one run of the self-test kit: the card's own keys volatile,
// so that a run that is killed leaves them only until the next log-off (per
// user) or restart (per machine), and each marked with runMark.
HRESULT RegisterSimCardForKitRun(const std::wstring& dllPath, RegistrationScope scope,
                                 const std::wstring& runMark);
// Removes both again, and the keys above them that only they used; keys
// already gone are no error.
HRESULT UnregisterSimCard(RegistrationScope scope = RegistrationScope::kMachine);

// The mark of a kit run found on the card's keys in scope: an earlier run
// that ended without putting them back. Nothing when they carry none.
std::optional<std::wstring> KitRunMarkIn(RegistrationScope scope);

}  // namespace simcard::com
