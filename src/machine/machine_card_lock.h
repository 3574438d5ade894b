#pragma once

#include "common/card_access.h"
#include "common/win32_handle.h"

// The card lock as one named mutex in the machine-wide namespace, so that
// Ostrel windows of every user logged on to the PC see the same lock.
class MachineCardLock final : public CardLock {
 public:
  LockAnswer TryTake() override;
  void Release() override;

 private:
  Win32Handle mutex_;  // open while held
};
