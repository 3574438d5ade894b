#pragma once

// What the kit learns of the PC it runs on, and of how it was started
// (Windows only).

#include <string>
#include <vector>

namespace selftest {

// One line each: Windows' version and build, Wine's version when under
// Wine, 32- or 64-bit, the screen's DPI and the user's rights.
std::vector<std::string> DescribeSystem();

// True when the command interpreter that started the kit was itself started
// by Explorer just before: a double-clicked selftest.cmd, whose window
// would close the moment the kit ends. A command prompt opened from
// Explorer earlier on does not count.
bool StartedByDoubleClick();

// Waits for the person to press Enter.
void WaitForEnter();

}  // namespace selftest
