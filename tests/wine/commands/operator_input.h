#pragma once

// Input the UI driver does not post itself: typing into a control character
// by character, as the keyboard's translated characters arrive.

#include <windows.h>

#include <string>

namespace ostrel_commands {

// Posts one WM_CHAR a character to control. Only the characters: a posted
// key press would be translated into a second copy of each.
void TypeText(HWND control, const std::wstring& text);

}  // namespace ostrel_commands
