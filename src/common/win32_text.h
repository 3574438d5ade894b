#pragma once

// Text at the Win32 boundary (Windows only). The neutral code speaks UTF-8;
// narrow strings of the system's own (a dialog's initial data, a device's
// name as the lookup compares it) are in the ANSI code page. Whole strings
// are converted, embedded nulls included.

#include <string>
#include <string_view>

enum class NarrowEncoding { Utf8, Ansi };

std::wstring ToWide(std::string_view text, NarrowEncoding encoding);
std::string ToNarrow(std::wstring_view text, NarrowEncoding encoding);
