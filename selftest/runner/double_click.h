#pragma once

// Whether the kit was double-clicked, so that its window would close the
// moment it ends (Windows only).

namespace selftest {

// True when the command interpreter that started the kit was itself started
// by Explorer just before: a double-clicked selftest.cmd. A command prompt
// opened from Explorer earlier on does not count.
bool StartedByDoubleClick();

// Waits for the person to press Enter.
void WaitForEnter();

}  // namespace selftest
