#pragma once

// Text conversions at the Win32 boundary: the neutral code speaks UTF-8.

#include <string>
#include <string_view>

std::wstring WideFromUtf8(std::string_view text);
