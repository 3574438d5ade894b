#pragma once

// Text the kit's console programs write (Windows only): right on any code
// page, paths with non-ASCII user names included. A console gets it as
// wide characters, which it shows whatever its code page; a file or a pipe
// gets UTF-8.

#include <windows.h>

#include <string>

namespace selftest {

// Writes UTF-8 text to the standard handle (STD_OUTPUT_HANDLE or
// STD_ERROR_HANDLE) as it is, without a line end.
void WriteText(DWORD standardHandle, const std::string& text);

// A line on standard output, with Windows' line end.
void Print(const std::string& line);

// Text of the system's (a path, a key's name) as UTF-8.
std::string Utf8(const std::wstring& text);

}  // namespace selftest
