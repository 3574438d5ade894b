#pragma once

#include <windows.h>

#include <string>

namespace simcard::com {

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", as the registry spells it.
std::wstring GuidText(const GUID& guid);

// Where the card is registered: HKCR for the whole machine (needs an
// administrator), or HKCU\Software\Classes for the current user only.
enum class RegistrationScope { kMachine, kUser };

// The scope DllInstall's command line names: "user" (any case) is the
// current user, nothing or anything else the machine.
RegistrationScope ScopeOfCommandLine(const wchar_t* commandLine);

// Registers the simulated card's class, served by the DLL at dllPath, and
// publishes it as a capture device named "713x BDA Analog Capture".
HRESULT RegisterSimCard(const std::wstring& dllPath,
                        RegistrationScope scope = RegistrationScope::kMachine);
// Removes both again; keys already gone are no error.
HRESULT UnregisterSimCard(RegistrationScope scope = RegistrationScope::kMachine);

}  // namespace simcard::com
