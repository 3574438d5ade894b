#include "selftest/common/quick_edit_off.h"

namespace selftest {

QuickEditOff::QuickEditOff()
    : input_(CreateFileW(L"CONIN$", GENERIC_READ | GENERIC_WRITE,
                         FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr)) {
  DWORD mode = 0;
  if (!input_ || !GetConsoleMode(input_.Get(), &mode) || (mode & ENABLE_QUICK_EDIT_MODE) == 0) {
    return;
  }
  // QuickEdit is one of the extended flags: set only with ENABLE_EXTENDED_FLAGS.
  if (SetConsoleMode(input_.Get(), (mode & ~ENABLE_QUICK_EDIT_MODE) | ENABLE_EXTENDED_FLAGS)) {
    found_ = mode;
  }
}

void QuickEditOff::Restore() {
  if (!found_) return;
  SetConsoleMode(input_.Get(), *found_ | ENABLE_EXTENDED_FLAGS);
  found_.reset();
}

}  // namespace selftest
