#pragma once

// The console's QuickEdit mode switched off for as long as the object lives
// (Windows only). While someone has text selected in a console with
// QuickEdit, every program that writes to it blocks: the kit would stall,
// and a log-off meanwhile would end it with nothing put back.

#include <windows.h>

#include <optional>

#include "common/win32_handle.h"

namespace selftest {

class QuickEditOff {
 public:
  QuickEditOff();
  ~QuickEditOff() { Restore(); }
  QuickEditOff(const QuickEditOff&) = delete;
  QuickEditOff& operator=(const QuickEditOff&) = delete;

  // Switches it back as it was; later calls do nothing.
  void Restore();

 private:
  // The console's input, also when the standard input is redirected.
  Win32Handle input_;
  std::optional<DWORD> found_;  // the mode as found, once switched off
};

}  // namespace selftest
