#pragma once

#include <windows.h>

// The About box (template 100), modal over owner; OK or Escape closes it.
void ShowAboutDialog(HINSTANCE instance, HWND owner);
