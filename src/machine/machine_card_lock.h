#pragma once

#include "claim/card_access.h"
#include "common/win32_handle.h"

// The card lock as one named mutex in the machine-wide namespace, so that
// Ostrel windows of every user logged on to the PC see the same lock. Once
// opened it stays open for as long as the object lives: a program that is
// ended while it holds the mutex leaves it abandoned only to those who have
// it open, and every Ostrel that has used the card then hears of it.
class MachineCardLock final : public CardLock {
 public:
  LockAnswer TryTake() override;
  void Release() override;

 private:
  Win32Handle mutex_;
  bool held_ = false;
};
