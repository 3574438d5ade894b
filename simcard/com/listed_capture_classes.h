#pragma once

// What the system device enumerator lists under the capture category, as a
// program looking for a capture device sees it (Windows only).

#include <windows.h>

#include <vector>

namespace simcard::com {

// The CLSID values of the category's entries, in the order the enumerator
// yields them; none when it lists nothing or cannot be asked. COM must be
// initialised on the calling thread.
std::vector<CLSID> ListedCaptureClasses();

}  // namespace simcard::com
