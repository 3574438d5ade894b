#include "machine/system_power_guard.h"

namespace {

// The reasons the system shows when it asks to shut down during a command.
constexpr wchar_t kWritingReason[] =
    L"Ostrel is writing to the card's EEPROM. Turning the computer off now can leave the card "
    L"unusable.";
constexpr wchar_t kReadingReason[] = L"Ostrel is reading the card's EEPROM.";

}  // namespace

SystemPowerGuard::SystemPowerGuard()
    : user32_(L"user32.dll"),
      reasonCreate_(user32_.Find<ReasonCreateFunction>("ShutdownBlockReasonCreate")),
      reasonDestroy_(user32_.Find<ReasonDestroyFunction>("ShutdownBlockReasonDestroy")) {}

void SystemPowerGuard::Hold(CardUse use) {
  SetThreadExecutionState(ES_CONTINUOUS | ES_SYSTEM_REQUIRED);
  if (window_ != nullptr && reasonCreate_ != nullptr) {
    reasonCreate_(window_, use == CardUse::Writing ? kWritingReason : kReadingReason);
    reasonGiven_ = true;
  }
}

void SystemPowerGuard::Release() {
  if (reasonGiven_ && reasonDestroy_ != nullptr) reasonDestroy_(window_);
  reasonGiven_ = false;
  SetThreadExecutionState(ES_CONTINUOUS);
}
