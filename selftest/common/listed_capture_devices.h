#pragma once

// What the system device enumerator lists under the capture category, as a
// program looking for a capture device sees it (Windows only).

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace selftest {

struct ListedCaptureDevice {
  std::wstring name;           // empty when it has none that reads as text
  std::optional<CLSID> clsid;  // nothing when it has none that reads as one
};

// The category's entries, in the order the enumerator yields them; none when
// it lists nothing or cannot be asked. COM must be initialised on the calling
// thread.
std::vector<ListedCaptureDevice> ListedCaptureDevices();

// The CLSID values among them, in the same order.
std::vector<CLSID> ListedCaptureClasses();

}  // namespace selftest
