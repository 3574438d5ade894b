#pragma once

#include <windows.h>

#include "claim/card_access.h"
#include "common/system_library_win32.h"

// Keeps the PC from sleeping for inactivity while a command uses the card,
// and gives the system a reason to show when it asks to shut down
// meanwhile; the dialog refuses the request itself (WM_QUERYENDSESSION).
class SystemPowerGuard final : public PowerGuard {
 public:
  SystemPowerGuard();

  // The window the system asks: the dialog hands it its own once it has one.
  void SetWindow(HWND window) { window_ = window; }

  void Hold(CardUse use) override;
  void Release() override;

 private:
  using ReasonCreateFunction = BOOL WINAPI(HWND, LPCWSTR);
  using ReasonDestroyFunction = BOOL WINAPI(HWND);

  SystemLibrary user32_;
  // Found at run time; their failures are ignored (Wine's are stubs that fail).
  ReasonCreateFunction* reasonCreate_ = nullptr;
  ReasonDestroyFunction* reasonDestroy_ = nullptr;
  HWND window_ = nullptr;
  bool reasonGiven_ = false;
};
