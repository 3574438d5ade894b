#include "ui/system_power_guard.h"

#include "ui/card_use_texts.h"

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
