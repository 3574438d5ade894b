#pragma once

#include <windows.h>

// Runs Ostrel: the main dialog, modally, wired to the real capture card,
// files and clock. Returns the process's exit code when the dialog ends.
int RunOstrel(HINSTANCE instance);
