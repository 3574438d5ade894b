#pragma once

#include <windows.h>

#include "common/card_access.h"

// Keeps the PC from sleeping for inactivity while a command uses the card,
// and gives the system a reason to show when it asks to shut down
// meanwhile; the dialog refuses the request itself (WM_QUERYENDSESSION).
class SystemPowerGuard final : public PowerGuard {
 public:
  SystemPowerGuard();

  void Hold(CardUse use) override;
  void Release() override;

 private:
  using ReasonCreateFunction = BOOL WINAPI(HWND, LPCWSTR);
  using ReasonDestroyFunction = BOOL WINAPI(HWND);

  // Found at run time; their failures are ignored (Wine's are stubs that fail).
  ReasonCreateFunction* reasonCreate_ = nullptr;
  ReasonDestroyFunction* reasonDestroy_ = nullptr;
  HWND window_ = nullptr;  // the window the reason is registered for
};
