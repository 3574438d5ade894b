#include "ui/system_power_guard.h"

namespace {

constexpr wchar_t kWritingReason[] =
    L"Ostrel is writing to the card's EEPROM. Turning the computer off now can leave the card "
    L"unusable.";
constexpr wchar_t kReadingReason[] = L"Ostrel is reading the card's EEPROM.";

template <typename Function>
Function* User32Function(const char* name) {
  const HMODULE user32 = GetModuleHandleW(L"user32.dll");
  if (user32 == nullptr) return nullptr;
  return reinterpret_cast<Function*>(reinterpret_cast<void*>(GetProcAddress(user32, name)));
}

BOOL CALLBACK KeepFirstMainWindow(HWND window, LPARAM found) {
  if (!IsWindowVisible(window) || GetWindow(window, GW_OWNER) != nullptr) return TRUE;
  *reinterpret_cast<HWND*>(found) = window;
  return FALSE;
}

// The dialog that runs the command: this thread's visible window that no
// other window owns (message boxes are owned by it).
HWND ThreadMainWindow() {
  HWND found = nullptr;
  EnumThreadWindows(GetCurrentThreadId(), KeepFirstMainWindow, reinterpret_cast<LPARAM>(&found));
  return found;
}

}  // namespace

SystemPowerGuard::SystemPowerGuard()
    : reasonCreate_(User32Function<ReasonCreateFunction>("ShutdownBlockReasonCreate")),
      reasonDestroy_(User32Function<ReasonDestroyFunction>("ShutdownBlockReasonDestroy")) {}

void SystemPowerGuard::Hold(CardUse use) {
  SetThreadExecutionState(ES_CONTINUOUS | ES_SYSTEM_REQUIRED);
  window_ = ThreadMainWindow();
  if (window_ != nullptr && reasonCreate_ != nullptr) {
    reasonCreate_(window_, use == CardUse::Writing ? kWritingReason : kReadingReason);
  }
}

void SystemPowerGuard::Release() {
  if (window_ != nullptr && reasonDestroy_ != nullptr) reasonDestroy_(window_);
  window_ = nullptr;
  SetThreadExecutionState(ES_CONTINUOUS);
}
