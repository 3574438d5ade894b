#pragma once

// The machine's capture category entries
// (HKLM\Software\Classes\CLSID\{category}\Instance) set aside while a test
// needs the category to itself (Windows only). The key is renamed, not
// copied: every entry keeps its values, its security and whether it is
// volatile. Set aside in the registry, the entries survive a test program
// that dies while it holds them; the next test program, and the self-test
// kit before it compares the registry with what it found, put them back.

#include <string>

namespace simcard::com {

// The name the Instance key has while it is set aside.
inline constexpr wchar_t kSetAsideInstanceName[] = L"Instance (set aside by Ostrel's tests)";

// Sets the entries aside and leaves an empty Instance key for the test's
// own; false when the registry refused.
bool SetAsideCaptureEntries();

// Removes the test's entries and puts back what was set aside; true when
// nothing was set aside or it is back.
bool PutBackSetAsideCaptureEntries();

}  // namespace simcard::com
