#pragma once

#include <windows.h>

#include <string>

namespace simcard::com {

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", as the registry spells it.
std::wstring GuidText(const GUID& guid);

// Registers the simulated card's class, served by the DLL at dllPath, and
// publishes it as a capture device named "713x BDA Analog Capture".
HRESULT RegisterSimCard(const std::wstring& dllPath);
// Removes both again; keys already gone are no error.
HRESULT UnregisterSimCard();

}  // namespace simcard::com
