#pragma once

// What the results file says about the PC the kit ran on (Windows only).

#include <string>
#include <vector>

namespace selftest {

// Wine's version when the kit runs under Wine; empty on Windows itself.
std::string WineVersion();

bool IsAdministrator();

// One line each: Windows' version and build, Wine's version when under
// Wine, 32- or 64-bit, the screen's DPI and the user's rights.
std::vector<std::string> DescribeSystem();

}  // namespace selftest
