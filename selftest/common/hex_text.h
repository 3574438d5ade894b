#pragma once

// Numbers and bytes in hexadecimal, as the kit writes them: exception codes,
// register values, and the data of registry values in its journal.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace selftest {

// value in upper-case hexadecimal digits, at least digits of them:
// Hex(0xC0000005, 8) is "C0000005".
std::string Hex(std::uint64_t value, int digits);

// Each byte as two digits, separator between them.
std::string HexBytes(std::span<const std::uint8_t> bytes, std::string_view separator = "");

// The bytes HexBytes wrote without a separator; nothing for other text.
std::optional<std::vector<std::uint8_t>> BytesOfHex(std::string_view text);

}  // namespace selftest
