#pragma once

#include <cstdint>
#include <string_view>

// The size typed into the edit box: at most the first 9 characters, read as a
// decimal integer with optional leading white space and sign; 0 when no
// digits follow.
std::int32_t ParseTypedSize(std::string_view text);
