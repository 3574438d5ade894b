#pragma once

// The simulated card's registration as a capture device (Windows only). Each
// hive is read and written on its own, never through HKEY_CLASSES_ROOT:
// that view merges the user's classes into the machine's and writes where
// it sees fit.

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include "common/registry_key_win32.h"

namespace simcard::com {

// Where the card is registered: HKLM\Software\Classes for the whole machine
// (needs an administrator), or HKCU\Software\Classes for the current user
// only.
enum class RegistrationScope { kMachine, kUser };

// "HKLM\Software\Classes" or "HKCU\Software\Classes", as reg.exe names them.
std::wstring ClassesKeyName(RegistrationScope scope);
// The hive of scope; its classes are kClassesPath in it.
HKEY HiveOf(RegistrationScope scope);
inline constexpr wchar_t kClassesPath[] = L"Software\\Classes";

// The scope DllInstall's command line names: "user" (any case) is the
// current user, nothing or anything else the machine.
RegistrationScope ScopeOfCommandLine(const wchar_t* commandLine);

// One key of the registration, below the classes key, with its string
// values (an empty name for the key's default value). The card's own keys go
// whole when it is unregistered; the keys above them are the category's, and
// others may register there too.
struct RegistrationKey {
  std::wstring path;
  bool cardsOwn = true;
  std::vector<std::pair<std::wstring, std::wstring>> values = {};
};

// What registering the card served by the DLL at dllPath writes: its class,
// and its entry as a capture device named "713x BDA Analog Capture"; each
// key after the key above it.
std::vector<RegistrationKey> SimCardRegistration(const std::wstring& dllPath);

// Registers it, as regsvr32 does.
HRESULT RegisterSimCard(const std::wstring& dllPath,
                        RegistrationScope scope = RegistrationScope::kMachine);
// Removes it again, and the keys above it that only it used; keys already
// gone are no error.
HRESULT UnregisterSimCard(RegistrationScope scope = RegistrationScope::kMachine);

}  // namespace simcard::com
