#pragma once

#include <string>

// Tells a developer what went wrong where nothing can be shown to the
// operator (a failing clean-up inside the system's call): to the debugger on
// Windows (DebugView shows it too), to the error stream elsewhere.
void ReportToDebugger(const std::string& text);
