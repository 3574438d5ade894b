#pragma once

// A request the card holds for a test (hold_request and hold_event in
// card.txt), so that the test can act while the program waits for the card:
// the card sets the event "<name>.held" when it holds the request, and
// carries the request out once the event "<name>" is set. The test makes
// both events, and keeps them, before the card can need them.

#include <windows.h>

#include <string>

#include "common/win32_handle.h"

namespace simcard::com {

// The card's side. False when the test's events are missing or the test did
// not let go within limitMs.
bool HoldRequest(const std::string& name, DWORD limitMs);

// The test's side: the two events, made under a name of this process.
class RequestHold {
 public:
  RequestHold();
  const std::string& Name() const { return name_; }
  // Until the card holds the next request; false when it did not in time.
  bool WaitUntilHeld(DWORD timeoutMs) const;
  void LetGo() const { SetEvent(release_.Get()); }

 private:
  std::string name_;
  Win32Handle held_;
  Win32Handle release_;
};

}  // namespace simcard::com
